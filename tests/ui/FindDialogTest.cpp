#include "ui/FindDialog.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>
#include <QtTest>

// A stand-in main window: a rich-text box and a line edit, one of which has the focus.
class FindDialogTest : public QObject {
  Q_OBJECT

  struct TMain {
    QWidget window;
    QTextEdit *editor = new QTextEdit(&window);
    QLineEdit *line = new QLineEdit(&window);
    QPointer<Tfrm_Find> find;
    std::vector<std::string> told;
    std::vector<TConfirmAnswer> answers;
    explicit TMain(const QString &text) {
      auto *layout = new QVBoxLayout(&window);
      layout->addWidget(editor);
      layout->addWidget(line);
      editor->setPlainText(text);
      window.resize(800, 600);
      window.show();
      editor->setFocus();
      find = new Tfrm_Find(&window);
      find->Prompts.Inform = [this](const std::string &t) { told.push_back(t); };
      find->Prompts.Confirm = [this](const std::string &) {
        const TConfirmAnswer a = answers.empty() ? TConfirmAnswer::caYes : answers.front();
        if (!answers.empty()) answers.erase(answers.begin());
        return a;
      };
      find->show();
    }
    ~TMain() { delete find; }
    QString Text() const { return editor->toPlainText(); }
  };

private slots:
  // Near the top right of the main window, leaving the text below free.
  void placement() { QCOMPARE(Tfrm_Find::Placement(QRect(100, 50, 800, 600), QSize(400, 150)), QPoint(400, 100)); }

  void findSelectsEachMatchThenSaysNotFound() {
    TMain main("Alpha beta ALPHA alphabet");
    QVERIFY(!main.find->isModal());  // the text stays editable while it is open
    main.find->edt_Find->setText("alpha");
    main.find->cb_Whole->setChecked(true);
    QTest::mouseClick(main.find->btn_OK, Qt::LeftButton);
    QCOMPARE(main.editor->textCursor().selectionStart(), 0);
    QCOMPARE(main.editor->textCursor().selectedText(), QString("Alpha"));
    QTest::mouseClick(main.find->btn_OK, Qt::LeftButton);
    QCOMPARE(main.editor->textCursor().selectionStart(), 11);
    QTest::mouseClick(main.find->btn_OK, Qt::LeftButton);  // "alphabet" is no whole word
    QCOMPARE(main.told, std::vector<std::string>{"alpha not found."});
    QCOMPARE(main.editor->textCursor().selectionStart(), 11);
    main.find->cb_Case->setChecked(true);
    main.editor->moveCursor(QTextCursor::Start);
    QTest::mouseClick(main.find->btn_OK, Qt::LeftButton);
    QCOMPARE(main.told.size(), size_t(2));  // only lower-case whole words count now: none
  }

  void replaceAllEndsKeepsFormatAndUndoesAtOnce() {
    TMain main("a cat, a hat");
    QTextCursor bold = main.editor->textCursor();
    bold.setPosition(2);
    bold.setPosition(5, QTextCursor::KeepAnchor);
    QTextCharFormat f;
    f.setFontWeight(QFont::Bold);
    bold.mergeCharFormat(f);
    main.editor->moveCursor(QTextCursor::Start);
    main.find->edt_Find->setText("a");
    main.find->edt_Replace->setText("aa");
    QTest::mouseClick(main.find->btn_ReplaceAll, Qt::LeftButton);
    QCOMPARE(main.Text(), QString("aa caat, aa haat"));
    QCOMPARE(main.told.back(), std::string("4 instances of 'a' were replaced with 'aa'."));
    QCOMPARE(main.told.front(), std::string("a not found."));
    QTextCursor inCat(main.editor->document());
    inCat.setPosition(5);  // inside "caat"
    QVERIFY(inCat.charFormat().fontWeight() == QFont::Bold);
    main.editor->undo();
    QCOMPARE(main.Text(), QString("a cat, a hat"));
  }

  void replaceAsksAndLeavesOtherControlsAlone() {
    TMain main("one one");
    main.find->edt_Find->setText("one");
    main.find->edt_Replace->setText("two");
    main.find->cb_Prompt->setChecked(true);
    QTest::mouseClick(main.find->btn_OK, Qt::LeftButton);
    main.answers = {TConfirmAnswer::caNo};
    QTest::mouseClick(main.find->btn_Replace, Qt::LeftButton);
    QCOMPARE(main.Text(), QString("one one"));
    QTest::mouseClick(main.find->btn_Replace, Qt::LeftButton);
    QCOMPARE(main.Text(), QString("two one"));
    // Focus on a line edit: the dialog's buttons do nothing.
    main.line->setText("one");
    main.line->setFocus();
    QTest::mouseClick(main.find->btn_ReplaceAll, Qt::LeftButton);
    QCOMPARE(main.Text(), QString("two one"));
    QCOMPARE(main.line->text(), QString("one"));
    QVERIFY(main.told.empty());
    // Cancel closes and frees the dialog.
    QTest::mouseClick(main.find->btn_Cancel, Qt::LeftButton);
    QTRY_VERIFY(main.find.isNull());
  }
};

QTEST_MAIN(FindDialogTest)
#include "FindDialogTest.moc"
