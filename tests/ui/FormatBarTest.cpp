#include "ui/FormatBar.h"
#include "ui/Ruler.h"

#include <QAction>
#include <QComboBox>
#include <QFontComboBox>
#include <QTextBlock>
#include <QToolButton>
#include <QVBoxLayout>
#include <QTextEdit>
#include <QtTest>


class FormatBarTest : public QObject {
  Q_OBJECT

  static void Select(QTextEdit *e, int from, int to) {
    QTextCursor c = e->textCursor();
    c.setPosition(from);
    c.setPosition(to, QTextCursor::KeepAnchor);
    e->setTextCursor(c);
  }

private slots:
  void barFollowsTheSelectionMixedOrNot() {
    QTextEdit editor;
    editor.setPlainText("plain bold red");
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    bold.setFontPointSize(14);
    Select(&editor, 6, 10);
    editor.mergeCurrentCharFormat(bold);
    QTextCharFormat red;
    red.setForeground(QColor(255, 0, 0));
    Select(&editor, 11, 14);
    editor.mergeCurrentCharFormat(red);
    editor.setFontPointSize(12);
    Select(&editor, 0, 0);
    TFormatBar bar;
    bar.SetEditor(&editor);

    Select(&editor, 7, 9);  // inside "bold"
    QVERIFY(bar.tbtn_Bold->isChecked());
    QCOMPARE(bar.cb_Size->currentText(), QString("14"));
    QCOMPARE(bar.cb_Color->currentData().toString(), QString("clBlack"));
    Select(&editor, 11, 13);  // inside "red"
    QVERIFY(!bar.tbtn_Bold->isChecked());
    QCOMPARE(bar.cb_Color->currentData().toString(), QString("clRed"));
    QCOMPARE(bar.cb_Size->currentText(), QString("12"));
    // Across plain and bold: not bold, no common size or colour.
    Select(&editor, 2, 14);
    QVERIFY(!bar.tbtn_Bold->isChecked());
    QCOMPARE(bar.cb_Size->currentText(), QString());
    QCOMPARE(bar.cb_Color->currentIndex(), -1);
    // A colour without a name selects no entry.
    QTextCharFormat odd;
    odd.setForeground(QColor(1, 2, 3));
    Select(&editor, 0, 5);
    editor.mergeCurrentCharFormat(odd);
    Select(&editor, 1, 3);
    QCOMPARE(bar.cb_Color->currentIndex(), -1);
  }

  void buttonsAndBoxesFormatTheSelection() {
    QTextEdit editor;
    editor.setPlainText("some words here");
    TFormatBar bar;
    bar.SetEditor(&editor);
    Select(&editor, 5, 10);
    bar.tbtn_Bold->trigger();
    bar.tbtn_Italic->trigger();
    Select(&editor, 6, 8);
    QVERIFY(bar.tbtn_Bold->isChecked() && bar.tbtn_Italic->isChecked() && !bar.tbtn_Underline->isChecked());
    QTextCursor probe(editor.document());
    probe.setPosition(7);
    QVERIFY(probe.charFormat().font().bold() && probe.charFormat().font().italic());
    // Releasing both gives the plain style again.
    Select(&editor, 5, 10);
    bar.tbtn_Bold->trigger();
    bar.tbtn_Italic->trigger();
    probe.setPosition(7);
    QVERIFY(!probe.charFormat().font().bold() && !probe.charFormat().font().italic());

    const int navy = bar.cb_Color->findData("clNavy");
    bar.cb_Color->setCurrentIndex(navy);
    emit bar.cb_Color->activated(navy);
    probe.setPosition(7);
    QCOMPARE(probe.charFormat().foreground().color(), QColor(0, 0, 0x80));
    emit bar.cb_Size->textActivated("36");
    probe.setPosition(7);
    QCOMPARE(probe.charFormat().fontPointSize(), 36.0);
    probe.setPosition(2);  // outside the selection: untouched
    QVERIFY(probe.charFormat().fontPointSize() != 36.0);

    bar.tbtn_Center->trigger();
    QCOMPARE(editor.document()->firstBlock().blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    QVERIFY(bar.tbtn_Center->isChecked() && !bar.tbtn_Left->isChecked());
    bar.tbtn_Right->trigger();
    QCOMPARE(editor.document()->firstBlock().blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    QSignalSpy preview(&bar, &TFormatBar::PreviewRequested);
    bar.tbtn_Preview->trigger();
    QCOMPARE(preview.count(), 1);
  }

  void firstLookAndStyleKeys() {
    QWidget window;
    auto *editor = new QTextEdit(&window);
    editor->document()->setDefaultFont(QFont("Arial", 10));
    auto *bar = new TFormatBar(&window);
    auto *layout = new QVBoxLayout(&window);
    layout->addWidget(bar);
    layout->addWidget(editor);
    bar->SetEditor(editor);
    // Before any typing the boxes show the body's font, and colours by their plain names.
    QCOMPARE(bar->fcb_Font->currentText(), QString("Arial"));
    QCOMPARE(bar->cb_Size->currentText(), QString("10"));
    QCOMPARE(bar->cb_Color->currentText(), QString("Black"));
    // At the window's smallest width every control of the bar is on screen.
    window.resize(630, 300);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QList<QWidget *> controls{bar->fcb_Font, bar->cb_Size, bar->cb_Color, bar->tbtn_FieldCode};
    for (QAction *a : {bar->tbtn_Bold, bar->tbtn_Italic, bar->tbtn_Underline, bar->tbtn_Left, bar->tbtn_Center,
                       bar->tbtn_Right, bar->tbtn_BG, bar->tbtn_Preview}) {
      QWidget *button = nullptr;
      for (QObject *o : a->associatedObjects())
        if (auto *b = qobject_cast<QToolButton *>(o)) button = b;
      QVERIFY2(button, qPrintable(a->objectName()));
      controls << button;
    }
    for (QWidget *w : controls) {
      QVERIFY2(w->isVisible(), qPrintable(w->objectName()));
      const QRect shown(w->mapTo(&window, QPoint(0, 0)), w->size());
      QVERIFY2(window.rect().contains(shown), qPrintable(w->objectName() + " " + w->toolTip()));
    }
    // Ctrl+B, Ctrl+I and Ctrl+U format the body's selection.
    editor->setPlainText("some words");
    editor->setFocus();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    Select(editor, 0, 4);
    QTest::keyClick(editor, Qt::Key_B, Qt::ControlModifier);
    QTest::keyClick(editor, Qt::Key_I, Qt::ControlModifier);
    QTest::keyClick(editor, Qt::Key_U, Qt::ControlModifier);
    QTextCursor probe(editor->document());
    probe.setPosition(2);
    const QFont font = probe.charFormat().font();
    QVERIFY(font.bold() && font.italic() && font.underline());
    QCOMPARE(editor->toPlainText(), QString("some words"));
    QTest::keyClick(editor, Qt::Key_B, Qt::ControlModifier);
    probe.setPosition(2);
    QVERIFY(!probe.charFormat().font().bold());
  }

  void rulerShowsAndSetsTheIndents() {
    QTextEdit editor;
    editor.setPlainText("first paragraph\nsecond");
    QTextBlockFormat f;
    f.setLeftMargin(30);
    f.setTextIndent(-20);
    f.setRightMargin(5);
    QTextCursor(editor.document()->firstBlock()).setBlockFormat(f);
    TRuler ruler;
    ruler.resize(400, 24);
    ruler.SetEditor(&editor);
    editor.moveCursor(QTextCursor::Start);
    QCOMPARE(ruler.Markers(), (TRulerMarkers{15, 42, 379}));
    editor.moveCursor(QTextCursor::End);  // the second paragraph has no indents
    QCOMPARE(ruler.Markers(), (TRulerMarkers{2, 2, 386}));

    // Dragging the left marker of the second paragraph with the mouse.
    ruler.show();
    QTest::mousePress(&ruler, Qt::LeftButton, {}, QPoint(2, 20));
    QTest::mouseMove(&ruler, QPoint(40, 20));
    QTest::mouseRelease(&ruler, Qt::LeftButton, {}, QPoint(40, 20));
    QTextBlockFormat second = editor.document()->lastBlock().blockFormat();
    QCOMPARE(second.leftMargin(), 30.0);  // first 0, left 30
    QCOMPARE(second.textIndent(), -30.0);
    // The first-line marker keeps the other lines where they are.
    ruler.MoveMarker(TRuler::mkFirst, 14);
    second = editor.document()->lastBlock().blockFormat();
    // The other lines stay at the left marker (42 units: 31.5 points, rounded), the first line
    // goes to 14 units (10.5 points, rounded).
    QCOMPARE(second.leftMargin() + second.textIndent(), 11.0);
    QCOMPARE(second.leftMargin(), 32.0);
    ruler.MoveMarker(TRuler::mkRight, 379);
    QCOMPARE(editor.document()->lastBlock().blockFormat().rightMargin(), 8.0);
    QCOMPARE(editor.document()->firstBlock().blockFormat().leftMargin(), 30.0);  // other paragraph untouched
  }
};

QTEST_MAIN(FormatBarTest)
#include "FormatBarTest.moc"
