#include "support/ModalAnswer.h"
#include "ui/SpellCheckDialog.h"
#include "ui/SpellChecker.h"
#include "ui/ThesaurusDialog.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <QtTest>

class SpellCheckTest : public QObject {
  Q_OBJECT

  // Clicks the named button of each spelling dialog in turn, then OK on the final message.
  static void Answer(QStringList buttons, QStringList *asked) {
    QTimer::singleShot(0, [buttons, asked]() mutable {
      QWidget *modal = QApplication::activeModalWidget();
      if (auto *dialog = qobject_cast<TSpellCheckDialog *>(modal)) {
        asked->append(dialog->lbl_Word->text().remove("<b>").remove("</b>"));
        const QString button = buttons.isEmpty() ? "btn_Cancel" : buttons.takeFirst();
        dialog->findChild<QPushButton *>(button)->click();
        Answer(buttons, asked);
      } else if (auto *box = qobject_cast<QMessageBox *>(modal)) {
        asked->append("done: " + box->text());
        box->accept();
      } else {
        Answer(buttons, asked);  // not shown yet
      }
    });
  }

private slots:
  void wordsSkipCodesAndNumbers() {
    const QString text = "Dear %Name%, the mp3 isn't here.";
    QStringList words;
    for (TWordSpan w = NextWord(text, 0); w.IsValid(); w = NextWord(text, w.start + w.length))
      words << text.mid(w.start, w.length);
    QCOMPARE(words, QStringList({"Dear", "the", "isn't", "here"}));
  }

  void checkChangesIgnoresAndLearns() {
    QTemporaryDir dir;
    TSpellChecker checker(dir.path() + "/User.dic");
    QVERIFY2(checker.IsReady(), "the en_US dictionary (hunspell-en-us) is missing: scripts/setup.sh installs it");

    QTextEdit edit;
    edit.setPlainText("A hosue and a zorblat, another hosue and a zorblat.");
    QStringList asked;
    // Change All the first word, Add the second: neither is asked about again.
    Answer({"btn_ChangeAll", "btn_Add"}, &asked);
    QVERIFY(CheckSpelling(&edit, checker, nullptr));
    QCOMPARE(edit.toPlainText(), QString("A house and a zorblat, another house and a zorblat."));
    QCOMPARE(asked, QStringList({"hosue", "zorblat", "done: The spelling check is complete."}));

    // The added word is kept in the user dictionary for the next session.
    TSpellChecker next(dir.path() + "/User.dic");
    QVERIFY(next.IsCorrect("zorblat"));

    QLineEdit line("qwzx fine");
    asked.clear();
    Answer({"btn_Cancel"}, &asked);
    QVERIFY(!CheckSpelling(&line, next, nullptr));
    QCOMPARE(line.text(), QString("qwzx fine"));
    QCOMPARE(asked, QStringList({"qwzx"}));

    QPushButton notAnEdit;
    QVERIFY(!CheckSpelling(&notAnEdit, next, nullptr));
  }

  void thesaurusReplacesTheWordAtTheCaret() {
    TThesaurus thesaurus;
    QVERIFY2(thesaurus.IsReady(), "the en_US thesaurus (mythes-en-us) is missing: scripts/setup.sh installs it");
    QVERIFY(!thesaurus.Lookup("happy").isEmpty());
    QTextEdit edit;
    edit.setPlainText("a happy day");
    QTextCursor c = edit.textCursor();
    c.setPosition(4);
    edit.setTextCursor(c);
    QString title;
    AnswerNextModal<TThesaurusDialog>([&title](TThesaurusDialog *dialog) {
      title = dialog->windowTitle();
      dialog->edt_ReplaceWith->setText("glad");
      dialog->accept();
    });
    ShowThesaurus(&edit, thesaurus, nullptr);
    QCOMPARE(title, QString("Thesaurus Lookup:"));
    QCOMPARE(edit.toPlainText(), QString("a glad day"));
  }
};

QTEST_MAIN(SpellCheckTest)
#include "SpellCheckTest.moc"
