#include "storage/Ansi.h"
#include "storage/IniFiles32.h"
#include "support/ModalAnswer.h"
#include "support/TempDir.h"
#include "ui/DigestPage.h"
#include "ui/FormatBar.h"
#include "ui/MailListsPage.h"
#include "ui/MainWindow.h"
#include "ui/NewsletterPage.h"
#include "ui/StatusBar1.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>
#include <sys/stat.h>
#include <utime.h>

class MainWindowTest : public QObject {
  Q_OBJECT

  static std::string Ini(const QTemporaryDir &dir) { return QStringToAnsi(dir.path()) + "/Brevant 20.ini"; }
  static QString Data(const QTemporaryDir &dir) { return dir.path() + "/"; }

private slots:
  void startUpAndTheToolBarThatFollowsThePage() {
    QTemporaryDir dir;
    Tfrm_Main window(Data(dir));
    for (const char *name : {"Inbox", "Trash", "Sent"}) QVERIFY(QDir(dir.path() + "/" + name).exists());
    QCOMPARE(window.AddressInformation1->actions().size(), 9);  // the field-code menus are filled
    QVERIFY(window.tbtn_Send->isEnabled());
    window.pc_Main->setCurrentIndex(Tfrm_Main::pgMailLists);
    QVERIFY(!window.tbtn_Close->isEnabled());
    QVERIFY(!window.tbtn_Save->isEnabled());
    window.pc_Main->setCurrentIndex(Tfrm_Main::pgMail);
    QVERIFY(!window.tbtn_New->isEnabled());
    window.pc_Main->setCurrentIndex(Tfrm_Main::pgDigest);
    QVERIFY(!window.tbtn_Save->isEnabled());
    QVERIFY(window.tbtn_Print->isEnabled());
    window.pc_Main->setCurrentIndex(Tfrm_Main::pgNewsletter);
    QVERIFY(window.tbtn_Thesaurus->isEnabled());

    // The Open button of the Mail Lists page asks for the legacy import.
    int imports = 0;
    connect(&window, &Tfrm_Main::ImportLegacyListRequested, [&imports] { ++imports; });
    int opened = 0;
    window.ts_Newsletter->GetOpenFileName = [&opened](const QString &, int &, QString &) {
      ++opened;  // cancelled
      return QString();
    };
    window.tbtn_Open->trigger();
    QCOMPARE(imports, 0);
    QCOMPARE(opened, 1);
    window.pc_Main->setCurrentIndex(Tfrm_Main::pgMailLists);
    // The import asks for a file first; the test cancels that dialog.
    AnswerNextModal<QDialog>([](QDialog *dialog) { dialog->reject(); });
    window.tbtn_Open->trigger();
    QCOMPARE(imports, 1);
  }

  // The stored place comes back; an odd state or a place on no screen falls back to what the
  // user can still see.
  void positionIsStoredAndRestored() {
    QTemporaryDir dir;
    {
      Tfrm_Main window(Data(dir));  // no settings file: design size
      QCOMPARE(window.size(), QSize(630, 480));
      QCOMPARE(window.maximumSize(), QSize(1024, 768));
      window.show();
      window.setGeometry(40, 50, 700, 500);
      QTest::qWait(20);
      window.close();
    }
    {
      Tfrm_Main window(Data(dir));
      QCOMPARE(window.geometry(), QRect(40, 50, 700, 500));
      window.showMaximized();
      QTest::qWait(20);
      window.close();
    }
    QVERIFY(Tfrm_Main(Data(dir)).windowState() & Qt::WindowMaximized);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const struct {
      int state, left, top;
      Qt::WindowState shown;
      QSize size;
      bool keptPlace;
    } rows[] = {{2, 0, 0, Qt::WindowMinimized, {630, 480}, false},
                {7, 0, 0, Qt::WindowNoState, {630, 480}, false},
                {0, screen.left() - 150, screen.top() - 20, Qt::WindowNoState, {700, 500}, true},  // partly on screen
                {0, screen.left() - 5000, screen.top() - 5000, Qt::WindowNoState, {700, 500}, false}};
    for (const auto &r : rows) {
      {
        TIniFile32 ini(Ini(dir), TIniMode::imPlatform);
        for (const auto &[key, value] : {std::pair{"State", r.state}, {"Left", r.left}, {"Top", r.top},
                                         {"Width", 700}, {"Height", 500}})
          ini.WriteInteger("Position", key, value);
      }
      Tfrm_Main window(Data(dir));
      QCOMPARE(int(window.windowState() & (Qt::WindowMinimized | Qt::WindowMaximized)), int(r.shown));
      QCOMPARE(window.size(), r.size);
      if (r.state == 0)
        QVERIFY(r.keptPlace ? window.geometry().topLeft() == QPoint(r.left, r.top) : screen.contains(window.geometry().center()));
    }
  }

  void listCommandsReachEveryPage() {
    QTemporaryDir dir;
    Tfrm_Main window(Data(dir));
    window.show();
    // A list made on the Mail Lists page is offered at once on the Newsletter page.
    window.ts_MailLists->NewList1Click();
    window.ts_MailLists->edt_ListName->setText("Weekly");
    window.ts_MailLists->btn_ListSave->click();
    window.ts_MailLists->NewList1Click();
    window.ts_MailLists->edt_ListName->setText("Daily");
    window.ts_MailLists->btn_ListSave->click();
    QCOMPARE(window.ts_Newsletter->cb_MailLists->itemText(2), QString("Weekly"));
    // File > Mail Lists > Open List... shows the chosen list.
    window.pc_Main->setCurrentIndex(Tfrm_Main::pgNewsletter);
    AnswerNextModal<QInputDialog>([](QInputDialog *d) {
      d->setTextValue("Weekly");
      d->accept();
    });
    window.OpenList1->trigger();
    QCOMPARE(window.pc_Main->currentIndex(), int(Tfrm_Main::pgMailLists));
    QCOMPARE(window.ts_MailLists->CurrentListName(), std::string("Weekly"));
    // Send Mail with unsaved list changes asks first; Cancel stops it there.
    window.ts_MailLists->edt_ListFrom->setText("unsaved@example.com");
    QString question;
    AnswerNextMessageBox(QMessageBox::Cancel, &question);
    window.SendMail1->trigger();
    QCOMPARE(question, QString("Save changes to the list first?"));
    QCOMPARE(window.ts_MailLists->edt_ListFrom->text(), QString("unsaved@example.com"));
  }

  void ctrlTabWrapsAroundAndClearDeletesOnlyTheSelection() {
    QTemporaryDir dir;
    Tfrm_Main window(Data(dir));
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    window.pc_Main->setCurrentIndex(Tfrm_Main::pgMailLists);
    QTest::keyClick(&window, Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(window.pc_Main->currentIndex(), int(Tfrm_Main::pgNewsletter));
    QTest::keyClick(&window, Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(window.pc_Main->currentIndex(), int(Tfrm_Main::pgMail));
    window.pc_Main->setCurrentIndex(Tfrm_Main::pgMailLists);
    window.ts_MailLists->NewList1Click();
    QLineEdit *edit = window.ts_MailLists->edt_ListName;
    edit->setText("abcdef");
    edit->setFocus();
    QTRY_VERIFY(edit->hasFocus());
    edit->setCursorPosition(2);
    window.Clear1->trigger();
    QCOMPARE(edit->text(), QString("abcdef"));
    edit->setSelection(1, 3);
    window.Clear1->trigger();
    QCOMPARE(edit->text(), QString("aef"));
  }

  // Help without its file, Print on a page without a document, and About.
  void commandsThatOnlyTellTheUser() {
    QTemporaryDir dir;
    Tfrm_Main window(Data(dir));
    QString text;
    AnswerNextMessageBox(QMessageBox::Ok, &text);
    window.Help1->trigger();
    QCOMPARE(text, QString("Cannot find help file. Reinstall Brevant."));
    window.pc_Main->setCurrentIndex(Tfrm_Main::pgMailLists);
    AnswerNextMessageBox(QMessageBox::Ok, &text);
    window.Print1->trigger();
    QCOMPARE(text, QString("There is nothing to print."));
    AnswerNextModal<QDialog>([&text](QDialog *about) {
      if (auto *label = about->findChild<QLabel *>("lbl_DataDir")) text = label->text();
      about->accept();
    });
    window.AboutBrevant1->trigger();
    QCOMPARE(text, "Data folder: " + Data(dir));
  }

  void digestPreviewsTheNewsletterWithoutMergingCodes() {
    QTemporaryDir dir;
    Tfrm_Main window(Data(dir));
    window.ts_Newsletter->mmo_Subject->setPlainText("Hello");
    window.ts_Newsletter->re_NewsBody->setPlainText("Dear %Name%");
    window.ts_Newsletter->ToolBar1->SetBackground(QColor(0x12, 0x34, 0x56));  // the page colour chosen
    window.pc_Main->setCurrentIndex(Tfrm_Main::pgDigest);
    const QString digest = window.ts_Digest->re_DigBody->toPlainText();
    QVERIFY2(digest.startsWith("Subject:  Hello"), qPrintable(digest));
    QVERIFY(digest.contains("Dear %Name%"));
    QCOMPARE(window.ts_Digest->re_DigBody->palette().color(QPalette::Base), QColor(0x12, 0x34, 0x56));
  }

  // The window started on a data folder whose catalogue names hostile or missing folders,
  // whose address book holds a NUL, and where a crashed save left a copy: nothing is read
  // or written outside the folders, no record is lost, and the user is told.
  void damagedAndHostileDataFolders() {
    const std::string hostile[] = {"../../etc", "/", "Good/Addresses.ini", "C:\\Program Files\\Brevant\\Weekly\\",
                                   "Missing/", std::string(1 << 20, 'p')};
    for (const std::string &path : hostile) {
      QTemporaryDir top;
      const QString data = top.path() + "/data/";
      const std::string d = QStringToAnsi(data);
      QDir().mkpath(data + "Good");
      WriteAll(d + "Lists.ini", "\r\n[Bad]\r\nPath=" + path + "\r\n\r\n[Good]\r\nPath=Good\r\nPOP Password=secret\r\n");
      ::chmod((d + "Lists.ini").c_str(), 0644);
      WriteAll(d + "Good/Addresses.ini", std::string("\r\n[<a@x>]\r\nComments=x\0y\r\n\r\n[<b@x>]\r\n\r\n[<c@x>]\r\n", 47));
      WriteAll(d + "Good/Addresses.ini.a1B2c3", "a stale copy");  // tidied away at start
      const auto old = static_cast<time_t>(QDateTime::currentSecsSinceEpoch() - 7200);
      const utimbuf times{old, old};
      ::utime((d + "Good/Addresses.ini.a1B2c3").c_str(), &times);
      const QStringList cwdBefore = QDir::current().entryList();

      Tfrm_Main window(data);
      struct stat st {};
      ::stat((d + "Lists.ini").c_str(), &st);
      QCOMPARE(st.st_mode & 0777, 0600u);
      QVERIFY(!QFile::exists(data + "Good/Addresses.ini.a1B2c3"));
      TMailListsPage *page = window.ts_MailLists;
      QCOMPARE(page->lb_MailLists->count(), 2);
      page->lb_MailLists->setCurrentRow(0);  // Bad
      page->lb_MailListsClick();
      QVERIFY(window.Status()->StatusText().startsWith("List folder not found: "));
      QVERIFY(window.Status()->StatusText().size() < 260);
      QVERIFY(!page->btn_AddressAdd->isEnabled());
      page->lb_MailLists->setCurrentRow(1);  // Good
      page->lb_MailListsClick();
      QCoreApplication::processEvents();
      QCOMPARE(page->lb_Addresses->count(), 3);
      QVERIFY(window.Status()->StatusText().startsWith("Damaged bytes in "));
      page->btn_AddressAdd->click();
      page->edt_Email->setText("d@x");
      page->btn_AddressSave->click();
      const TIniFile32 book(d + "Good/Addresses.ini");
      std::vector<std::string> sections;
      book.ReadSections(&sections);
      QCOMPARE(sections.size(), size_t(4));
      QCOMPARE(QDir(top.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"data"});
      QCOMPARE(QDir::current().entryList(), cwdBefore);
      QCOMPARE(TIniFile32(d + "Lists.ini").ReadString("Bad", "Path", ""), path);
    }
  }

  void closingAsksBeforeUnsavedChangesAreLost() {
    QTemporaryDir dir;
    Tfrm_Main window(Data(dir));
    window.show();
    window.ts_Newsletter->re_NewsBody->setPlainText("Unsaved news");
    QMessageBox::StandardButton answer = QMessageBox::Cancel;
    int asked = 0;
    window.ts_Newsletter->AskSaveChanges = [&](const QString &) {
      ++asked;
      return answer;
    };
    QVERIFY(!window.close());  // Cancel keeps the window and the text
    QVERIFY(window.isVisible());
    answer = QMessageBox::Yes;  // Yes, but the save dialog is cancelled: still open
    window.ts_Newsletter->GetSaveFileName = [](const QString &, const QString &, int &) { return QString(); };
    QVERIFY(!window.close());
    answer = QMessageBox::No;
    QVERIFY(window.close());
    QCOMPARE(asked, 3);
  }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
