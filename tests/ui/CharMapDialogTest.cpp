#include "support/ModalAnswer.h"
#include "ui/CharMapDialog.h"

#include <QApplication>
#include <QClipboard>
#include <QFontComboBox>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QtTest>

class CharMapDialogTest : public QObject {
  Q_OBJECT

  // Picks `code` in the next Character Map that opens and presses Copy (or Cancel).
  static void PickInNextDialog(int code, bool confirm, QString *font) {
    AnswerNextModal<Tfrm_CharMap>([=](Tfrm_CharMap *d) {
      *font = d->fcb_Font->currentText();
      d->cm_Char->SelectCode(code);
      (confirm ? d->btn_Copy : d->btn_Cancel)->click();
    });
  }

private slots:
  void gridHoldsTheCharacterSetAndFollowsTheFont() {
    Tfrm_CharMap d;
    QCOMPARE(d.cm_Char->rowCount() * d.cm_Char->columnCount(), 224);
    QVERIFY(d.cm_Char->SelectedChar().isEmpty());
    d.cm_Char->SelectCode(0xE9);
    QCOMPARE(d.cm_Char->SelectedChar(), QString(QChar(0xE9)));
    d.cm_Char->SelectCode(0x80);  // the euro sign of the 8-bit set
    QCOMPARE(d.cm_Char->SelectedChar(), QString(QChar(0x20AC)));
    QFont font("DejaVu Serif");
    d.fcb_Font->setCurrentFont(font);
    QCOMPARE(d.cm_Char->item(3, 3)->font().family(), d.fcb_Font->currentFont().family());
  }

  void symbolReplacesTheSelectionOfTheFocusedBox() {
    QWidget window;
    auto *line = new QLineEdit("a-b", &window);
    (new QVBoxLayout(&window))->addWidget(line);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    line->setFocus();
    line->setSelection(1, 1);
    QString shownFont;
    const QString family = QFontComboBox().itemText(0);
    PickInNextDialog(0xB1, true, &shownFont);
    Symbol1Click(&window, family);
    QCOMPARE(shownFont, family);
    QCOMPARE(line->text(), QString("a\u00B1b"));
    QCOMPARE(QApplication::clipboard()->text(), QString(QChar(0xB1)));
    // Cancel inserts nothing.
    line->setFocus();
    PickInNextDialog(0x41, false, &shownFont);
    Symbol1Click(&window, family);
    QCOMPARE(line->text(), QString("a\u00B1b"));
  }
};

QTEST_MAIN(CharMapDialogTest)
#include "CharMapDialogTest.moc"
