#include "ui/InsertCommands.h"

#include <QComboBox>
#include <QDateTime>
#include <QSpinBox>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>
#include <QtTest>

#include "support/TempDir.h"
#include "ui/HtmlDialog.h"

class InsertCommandsTest : public QObject {
  Q_OBJECT

  struct TWindow {
    QWidget window;
    QTextEdit *rich = new QTextEdit(&window);
    QLineEdit *line = new QLineEdit(&window);
    QPushButton *button = new QPushButton("b", &window);
    TWindow() {
      auto *layout = new QVBoxLayout(&window);
      layout->addWidget(rich);
      layout->addWidget(line);
      layout->addWidget(button);
      window.show();
      window.activateWindow();
      QVERIFY(QTest::qWaitForWindowActive(&window));
    }
    void Focus(QWidget *w) {
      w->setFocus();
      QTRY_COMPARE(QApplication::focusWidget(), w);
    }
  };

private slots:
  void fieldCodeMenusInsertTheirCodeIntoTheFocusedBox() {
    QMenu address, list, personal;
    FillFieldCodeMenus(&address, &list, &personal);
    QCOMPARE(address.actions().size(), 9);
    QMenu *maintenance = list.actions().last()->menu();
    QVERIFY(maintenance);

    TWindow w;
    w.Focus(w.line);
    w.line->setText("Dear X,");
    w.line->setSelection(5, 1);
    personal.findChild<QAction *>("PIReplyEmail1")->trigger();
    QCOMPARE(w.line->text(), QString("Dear %PI Reply E-mail%,"));
    w.Focus(w.rich);
    maintenance->actions().at(2)->trigger();
    QCOMPARE(w.rich->toPlainText(), QString("%Remove: To Field%"));
    // Not a text box, or a read-only one: nothing happens.
    w.Focus(w.button);
    QVERIFY(!InsertFieldCode("Name"));
    w.rich->setReadOnly(true);
    w.Focus(w.rich);
    QVERIFY(!InsertDate());
    QCOMPARE(w.rich->toPlainText(), QString("%Remove: To Field%"));
    QCOMPARE(CreateFieldCodeMenu(&w.window)->actions().size(), 3);
  }

  void dateTextLeavesOutMidnightAndKeepsTheCentury() {
    const QDate day(2024, 3, 9);
    const QString date = DateTimeText(QDateTime(day, QTime(0, 0)));
    QVERIFY2(date.contains("2024"), qPrintable(date));
    QCOMPARE(DateTimeText(QDateTime(day, QTime(14, 5, 7))).left(date.size() + 1), date + " ");
    QVERIFY(DateTimeText(QDateTime(day, QTime(14, 5, 7))).contains("14") ||
            DateTimeText(QDateTime(day, QTime(14, 5, 7))).contains("2:05"));
  }

  void textFromFileTakesPlainTextOfRtfAndTextFiles() {
    TempDir dir;
    WriteAll(dir.File("a.txt"), "one\r\ntwo \xE9");
    WriteAll(dir.File("b.rtf"), "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}{\\colortbl;}\\b bold\\b0  text\\par}");
    TWindow w;
    w.Focus(w.rich);
    QVERIFY(InsertTextFromFile(QString::fromStdString(dir.File("a.txt"))));
    QCOMPARE(w.rich->toPlainText(), QString::fromUtf8("one\ntwo \xC3\xA9"));
    w.rich->clear();
    QVERIFY(InsertTextFromFile(QString::fromStdString(dir.File("b.rtf"))));
    QCOMPARE(w.rich->toPlainText(), QString("bold text"));
    QCOMPARE(w.rich->textCursor().charFormat().fontWeight(), int(QFont::Normal));
    // A line edit is no rich-text box.
    w.Focus(w.line);
    QVERIFY(!InsertTextFromFile(QString::fromStdString(dir.File("a.txt"))));
    QVERIFY(w.line->text().isEmpty());
  }

  void headerFilesLoadAndSaveWithCrLf() {
    TempDir dir;
    WriteAll(dir.File("head.txt"), "Line 1\r\nLine 2\r\n");
    QLineEdit fileName;
    QPlainTextEdit box;
    LoadTextBox(QString::fromStdString(dir.File("head.txt")), &fileName, &box);
    QCOMPARE(box.toPlainText(), QString("Line 1\nLine 2\n"));
    QCOMPARE(fileName.text(), QString::fromStdString(dir.File("head.txt")));
    box.setPlainText("New\nheader");
    // Once named, Save writes to that file without asking.
    SaveTextBoxFile(nullptr, "Header", &fileName, &box);
    QCOMPARE(ReadAll(dir.File("head.txt")), std::string("New\r\nheader"));
    // A file that cannot be written is an error; the box keeps its text and file name.
    bool failed = false;
    try {
      StoreTextBox(QString::fromStdString(dir.File("none/x")), &fileName, &box);
    } catch (const std::exception &) {
      failed = true;
    }
    QVERIFY(failed);
    QCOMPARE(fileName.text(), QString::fromStdString(dir.File("head.txt")));
  }

  void htmlDialogBuildsTheTagsOfEachKind() {
    Tfrm_HTML d;
    d.SetInsertKind(Tfrm_HTML::ikHyperlink);
    d.edt_Href->setText("http://x.org/?a=1&b=2");
    QCOMPARE(d.HtmlText(), QString("<a href=\"http://x.org/?a=1&b=2\"></a>"));  // empty description
    d.edt_Desc->setText("X & Co");
    QCOMPARE(d.HtmlText(), QString("<a href=\"http://x.org/?a=1&b=2\">X & Co</a>"));

    d.SetInsertKind(Tfrm_HTML::ikImage);
    d.ChoosePicture("/home/me/pictures/logo.gif");
    d.edt_Alt->setText("Logo");
    d.cb_Align->setCurrentIndex(1);
    d.se_Border->setValue(-2);
    QCOMPARE(d.HtmlText(), QString("<img src=\"logo.gif\" border=-2 align=\"Right\" alt=\"Logo\">"));

    d.SetInsertKind(Tfrm_HTML::ikMailto);
    d.edt_Email->setText("a@b.c");
    d.edt_EmailDesc->setText("Write");
    QCOMPARE(d.HtmlText(), QString("<a href=\"mailto:a@b.c\">Write</a>"));
    d.show();
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(d.edt_Email));
  }
};

QTEST_MAIN(InsertCommandsTest)
#include "InsertCommandsTest.moc"
