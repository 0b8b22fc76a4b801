#include "lists/AddressRecord.h"
#include "lists/ImportExport.h"
#include "lists/ListRecord.h"
#include "storage/Ansi.h"
#include "storage/Filters.h"
#include "storage/ServerRegistry.h"
#include "storage/TextFile.h"
#include "ui/MailListsPage.h"
#include "ui/StatusBar1.h"
#include "support/ListTexts.h"
#include "support/ModalAnswer.h"
#include "support/TempDir.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QSpinBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

static std::string A(const QString &s) { return QStringToAnsi(s); }

// The page with its file dialogs answered by the test.
class TTestPage : public TMailListsPage {
public:
  QString NextFile;
  int Asked = 0;

protected:
  QString ChooseOpenFile(const QString &, const QString &, const QString &) override {
    ++Asked;
    return NextFile;
  }
  QString ChooseSaveFile(const QString &, const QString &, const QString &, const QString &) override {
    ++Asked;
    return NextFile;
  }
};

class MailListsPageTest : public QObject {
  Q_OBJECT

  static void Click(QListWidget *list, int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    const QRect rect = list->visualItemRect(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, rect.center());
  }

  struct Fixture {
    QTemporaryDir dir;
    std::string data = QStringToAnsi(dir.path()) + "/";
    QWidget window;
    TStatusBar1 *status = new TStatusBar1(&window);
    TTestPage *page = new TTestPage;
    Fixture() {
      auto *layout = new QVBoxLayout(&window);
      layout->addWidget(page);
      layout->addWidget(status);
      window.resize(900, 700);
      window.show();
      page->Start(data, status);
    }
  };

  // Creates a list through the widgets.
  static void NewList(TTestPage *page, const QString &name) {
    page->NewList1Click();
    page->edt_ListName->setText(name);
    page->btn_ListSave->click();
  }

  static void AddAddress(TTestPage *page, const QString &name, const QString &email) {
    page->btn_AddressAdd->click();
    page->edt_Name->setText(name);
    page->edt_Email->setText(email);
    page->btn_AddressSave->click();
  }

private slots:
  void newSaveRenameAndRemoveLists() {
    Fixture f;
    // A fresh catalogue: the pseudo-list is current and the panels are hidden.
    QVERIFY(f.page->gb_ListInfo->isHidden());
    QVERIFY(!f.page->btn_AddressAdd->isEnabled());
    QCOMPARE(f.page->CurrentListName(), std::string("Brevant"));
    QCOMPARE(f.page->CurrentListPath(), f.data);
    QSignalSpy added(f.page, &TMailListsPage::ListAdded);
    f.page->NewList1Click();
    QVERIFY(!f.page->lb_MailLists->isEnabled());
    QCOMPARE(f.page->edt_AddTo->text(), QString("add@example.com"));  // a new list's defaults are shown
    // No name: refused with a message, nothing written.
    QVERIFY(!f.page->btn_ListSave->isEnabled());
    f.page->edt_ListAddress->setText("news@example.com");
    QVERIFY(f.page->btn_ListSave->isEnabled());
    QString message;
    AnswerNextMessageBox(QMessageBox::Ok, &message);
    f.page->btn_ListSave->click();
    QCOMPARE(message, QString("Please enter a name for the mail list."));
    QVERIFY(!FileExists(f.data + "Lists.ini"));

    f.page->edt_ListName->setText("Weekly");
    f.page->mmo_ListComments->setPlainText("one\ntwo");
    f.page->edt_ListFrom->setText("editor@example.com");
    f.page->edt_ListFromName->setText(QString::fromUtf8("Renée Editor"));
    f.page->se_SMTPPace->setValue(40);
    QVERIFY(f.page->btn_ListSave->isEnabled());
    f.page->btn_ListSave->click();
    QCOMPARE(added.count(), 1);
    QCOMPARE(f.page->gb_MailLists->title(), QString("Mail Lists (1)"));
    QVERIFY(f.page->lb_MailLists->isEnabled());
    QVERIFY(!f.page->btn_ListSave->isEnabled());
    const TListRecord weekly = LoadListRecord(f.data, "Weekly");
    QCOMPARE(weekly.Comments, std::string("one\r\ntwo"));
    QCOMPARE(weekly.FromAddress, std::string("editor@example.com"));
    QCOMPARE(weekly.FromName, std::string("Ren\xe9" "e Editor"));
    QCOMPARE(weekly.MessagesPerMinute, 40);

    NewList(f.page, "Weekly");  // the catalogue's own name for a repeated one is shown
    QCOMPARE(ListTexts(f.page->lb_MailLists), (QStringList{"Weekly", "Weekly - 1"}));

    // Renaming onto another list's name is refused; onto a free name it moves the record.
    f.page->edt_ListName->setText("weekly");
    AnswerNextMessageBox(QMessageBox::Ok, &message);
    f.page->btn_ListSave->click();
    QVERIFY(message.contains("already exists"));
    QSignalSpy renamed(f.page, &TMailListsPage::ListRenamed);
    f.page->edt_ListName->setText("Monthly");
    f.page->btn_ListSave->click();
    QCOMPARE(renamed.count(), 1);
    QCOMPARE(ListTexts(f.page->lb_MailLists), (QStringList{"Monthly", "Weekly"}));
    QCOMPARE(LoadListRecord(f.data, "Monthly").Path, f.data + "Weekly - 1/");

    // Remove: No keeps the list, Yes removes it and leaves its folder.
    Click(f.page->lb_MailLists, 1);
    AnswerNextMessageBox(QMessageBox::No, &message);
    f.page->RemoveList1Click();
    QCOMPARE(message, QString("Are you sure you want to remove the following mail list?\r\n\r\nWeekly"));
    QCOMPARE(f.page->lb_MailLists->count(), 2);
    AnswerNextMessageBox(QMessageBox::Yes, &message);
    f.page->btn_ListDelete->click();
    QCOMPARE(ListTexts(f.page->lb_MailLists), QStringList{"Monthly"});
    QCOMPARE(f.page->gb_MailLists->title(), QString("Mail Lists (1)"));
    QCOMPARE(LoadMailLists(f.data), std::vector<std::string>{"Monthly"});

    // Cancel of a new list writes nothing and shows the selected list again.
    f.page->NewList1Click();
    f.page->edt_ListName->setText("Dropped");
    f.page->btn_ListCancel->click();
    QCOMPARE(LoadMailLists(f.data), std::vector<std::string>{"Monthly"});
    QCOMPARE(f.page->edt_ListName->text(), QString("Monthly"));
  }

  // The Open or Save button of a header, signature or footer page.
  static QPushButton *TextButton(TTestPage *page, const char *panel, const QString &caption) {
    for (QPushButton *b : page->findChild<QWidget *>(panel)->findChildren<QPushButton *>())
      if (b->text() == caption) return b;
    return nullptr;
  }

  void headerSignatureAndFooterFiles() {
    Fixture f;
    NewList(f.page, "Weekly");
    // The page's Save and Open buttons reach the text-box file commands.
    const QString head = f.dir.path() + "/head.txt";
    f.page->mmo_Header->insertPlainText("Hello readers");
    f.page->NextFile = head;
    TextButton(f.page, "pnl_Header", "Save")->click();
    QCOMPARE(ReadFileBytes(A(head)), std::string("Hello readers"));
    WriteFileAtomic(A(f.dir.path() + "/foot.txt"), "Bye");
    f.page->NextFile = f.dir.path() + "/foot.txt";
    TextButton(f.page, "pnl_Footer", "Open...")->click();
    QCOMPARE(f.page->mmo_Footer->toPlainText(), QString("Bye"));

    // Text typed without a file is never dropped by saving the list: it asks for a file, and
    // a cancelled dialog leaves the list unsaved and the text in place.
    f.page->mmo_Sig->insertPlainText("-- \nThe editor");
    f.page->NextFile.clear();
    f.page->Asked = 0;
    f.page->btn_ListSave->click();
    QCOMPARE(f.page->Asked, 1);
    QVERIFY(f.page->btn_ListSave->isEnabled());
    QCOMPARE(f.page->mmo_Sig->toPlainText(), QString("-- \nThe editor"));
    f.page->NextFile = f.dir.path() + "/sig.txt";
    f.page->btn_ListSave->click();
    QVERIFY(!f.page->btn_ListSave->isEnabled());
    const TListRecord saved = LoadListRecord(f.data, "Weekly");
    QCOMPARE(saved.SigFile, A(f.dir.path() + "/sig.txt"));
    QCOMPARE(saved.HeaderFile, A(head));
    QCOMPARE(f.page->mmo_Sig->toPlainText(), QString("-- \nThe editor"));
  }

  void failedFolderAndNamesNeverTouchAnotherList() {
    Fixture f;
    NewList(f.page, "Alpha");
    f.page->edt_ListFrom->setText("alpha@example.com");
    f.page->btn_ListSave->click();
    const TListRecord alpha = LoadListRecord(f.data, "Alpha");
    // The new list's folder cannot be made (a dangling link holds its place).
    QVERIFY(QFile::link(f.dir.path() + "/nowhere/at/all", f.dir.path() + "/Beta"));
    f.page->NewList1Click();
    f.page->edt_ListName->setText("Beta");
    f.page->edt_ListFrom->setText("beta@example.com");
    for (int attempt = 0; attempt < 2; ++attempt) {
      QString message;
      AnswerNextMessageBox(QMessageBox::Ok, &message);
      f.page->btn_ListSave->click();
      QVERIFY(message.startsWith("Brevant was unable to create the directory"));
      QCOMPARE(LoadMailLists(f.data), std::vector<std::string>{"Alpha"});
      QCOMPARE(LoadListRecord(f.data, "Alpha"), alpha);
      QVERIFY(!f.page->lb_MailLists->isEnabled());
    }
    QVERIFY(QFile::remove(f.dir.path() + "/Beta"));
    f.page->btn_ListSave->click();
    QCOMPARE(LoadMailLists(f.data), (std::vector<std::string>{"Alpha", "Beta"}));
    QCOMPARE(LoadListRecord(f.data, "Alpha"), alpha);
    QCOMPARE(LoadListRecord(f.data, "Beta").FromAddress, std::string("beta@example.com"));

    // The pseudo-list's name is refused; a rename takes the filters along, trimmed.
    QString message;
    f.page->edt_ListName->setText(" Brevant ");
    AnswerNextMessageBox(QMessageBox::Ok, &message);
    f.page->btn_ListSave->click();
    QVERIFY2(message.contains("Brevant"), qPrintable(message));
    QCOMPARE(LoadMailLists(f.data), (std::vector<std::string>{"Alpha", "Beta"}));
    WriteFilters(f.data, "Beta", {"spam@example.com"});
    f.page->edt_ListName->setText("Delta ");
    f.page->btn_ListSave->click();
    QCOMPARE(ReadFilters(f.data, "Delta"), std::vector<std::string>{"spam@example.com"});
    QVERIFY(ReadFilters(f.data, "Beta").empty());
  }

  void unsavedListIsSettledBeforeASend() {
    Fixture f;
    NewList(f.page, "News");
    QVERIFY(f.page->SettleUnsavedList());  // nothing unsaved: nothing asked
    f.page->edt_ListFrom->setText("typed@example.com");
    QString question;
    AnswerNextMessageBox(QMessageBox::Cancel, &question);
    QVERIFY(!f.page->SettleUnsavedList());
    QCOMPARE(question, QString("Save changes to the list first?"));
    QCOMPARE(f.page->edt_ListFrom->text(), QString("typed@example.com"));
    // No: the saved list is shown and used again.
    AnswerNextMessageBox(QMessageBox::No);
    QVERIFY(f.page->SettleUnsavedList());
    QCOMPARE(f.page->edt_ListFrom->text(), QString());
    QCOMPARE(f.page->CurrentList().FromAddress, std::string());
    // Yes: saved first.
    f.page->edt_ListFrom->setText("saved@example.com");
    AnswerNextMessageBox(QMessageBox::Yes);
    QVERIFY(f.page->SettleUnsavedList());
    QCOMPARE(LoadListRecord(f.data, "News").FromAddress, std::string("saved@example.com"));
    QVERIFY(!f.page->btn_ListSave->isEnabled());
  }

  void addressesThroughTheWidgets() {
    Fixture f;
    NewList(f.page, "News");
    const std::string list = f.data + "News/";
    // A blank address is refused.
    f.page->btn_AddressAdd->click();
    QVERIFY(!f.page->lb_Addresses->isEnabled());
    f.page->edt_Email->setText("   ");
    QString message;
    AnswerNextMessageBox(QMessageBox::Ok, &message);
    f.page->btn_AddressSave->click();
    QCOMPARE(message, QString("Please enter the e-mail address."));
    f.page->btn_AddressCancel->click();
    QVERIFY(f.page->lb_Addresses->isEnabled());
    QCOMPARE(f.page->lb_Addresses->count(), 0);

    AddAddress(f.page, "Ann Lee", "  ann@example.com");
    AddAddress(f.page, "", "carl@example.com");
    AddAddress(f.page, "bob", "bob@example.com");
    AddAddress(f.page, "Dee", "dee@example.com");
    QCOMPARE(f.page->gb_Addresses->title(), QString("Addresses (4)"));

    // Clicking shows the record; changing the address moves it.
    Click(f.page->lb_Addresses, 2);
    QCOMPARE(f.page->edt_Email->text(), QString("bob@example.com"));
    QVERIFY(!f.page->btn_AddressSave->isEnabled());
    f.page->edt_Phone->setText("555");
    f.page->edt_Email->setText("robert@example.com");
    QVERIFY(f.page->btn_AddressSave->isEnabled());
    f.page->btn_AddressSave->click();
    QCOMPARE(ListTexts(f.page->lb_Addresses), (QStringList{"<carl@example.com>", "Ann Lee <ann@example.com>",
                                                       "bob <robert@example.com>", "Dee <dee@example.com>"}));
    QCOMPARE(ShowAddress(list, "<robert@example.com>").Phone, std::string("555"));

    // Several at once: the entry before the first deleted one is shown.
    Click(f.page->lb_Addresses, 2);
    Click(f.page->lb_Addresses, 3, Qt::ControlModifier);
    QCOMPARE(f.page->lb_Addresses->selectedItems().size(), 2);
    f.page->btn_AddressDelete->click();
    QCOMPARE(LoadAddressEntries(list), (std::vector<std::string>{"<carl@example.com>", "Ann Lee <ann@example.com>"}));
    QCOMPARE(f.page->lb_Addresses->currentRow(), 1);
    QCOMPARE(f.page->edt_Name->text(), QString("Ann Lee"));
    // Deleting the first entry selects the new first one; deleting the last empties all.
    Click(f.page->lb_Addresses, 0);
    f.page->btn_AddressDelete->click();
    QCOMPARE(f.page->lb_Addresses->currentRow(), 0);
    Click(f.page->lb_Addresses, 0);
    f.page->btn_AddressDelete->click();
    QCOMPARE(f.page->gb_Addresses->title(), QString("Addresses (0)"));
    QVERIFY(f.page->edt_Name->text().isEmpty());
  }

  // A changed address is one save: when that save fails, the old record is still whole.
  void changedAddressFailsWhole() {
    Fixture f;
    NewList(f.page, "News");
    const std::string book = AddressBookFile(f.data + "News/");
    AddAddress(f.page, "Ann", "ann@x.org");
    Click(f.page->lb_Addresses, 0);
    f.page->edt_Phone->setText("555");
    f.page->edt_Email->setText("ann.with.a.much.longer.address@example.org");
    const std::string before = ReadAll(book);
    // A file size limit makes any save larger than the book fail, even for root.
    signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = before.size();
    setrlimit(RLIMIT_FSIZE, &small);
    bool failed = false;
    try {
      f.page->btn_AddressSave->click();
    } catch (const std::exception &) {
      failed = true;
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    QVERIFY(failed);
    QCOMPARE(ReadAll(book), before);
    QCOMPARE(ListTexts(f.page->lb_Addresses), QStringList{"Ann <ann@x.org>"});
    // With room, the same save moves the record in one go.
    f.page->btn_AddressSave->click();
    QCOMPARE(LoadAddressEntries(f.data + "News/"),
             std::vector<std::string>{"Ann <ann.with.a.much.longer.address@example.org>"});
    QCOMPARE(ShowAddress(f.data + "News/", "<ann.with.a.much.longer.address@example.org>").Phone, std::string("555"));
  }

  // Choosing a registered server fills the list's fields from its entry; the list's own
  // choices are kept in the list and shown on its next load, whatever the entry says then.
  void serverChoicesFromTheRegistriesAndTheListsOwn() {
    Fixture f;
    TSmtpServer smtp{"mail.example.com", "ann", "587", 1, 25, 1, true};
    smtp.MessagesPerMinute = 120;
    WriteSmtpServer(f.data, smtp);
    WritePopServer(f.data, {"pop.example.com", "ann", "secret", "995", true, 2});
    f.page->FillServerChoices();
    QCOMPARE(f.page->cb_SMTPServ->count(), 1);
    NewList(f.page, "News");
    f.page->edt_SMTPPass->setText("kept");
    f.page->cb_SMTPServ->setCurrentText("mail.example.com");
    QCOMPARE(f.page->edt_SMTPPort->text(), QString("587"));
    QCOMPARE(f.page->se_SMTPRCPT->value(), 25);
    QCOMPARE(f.page->se_SMTPPace->value(), 120);  // the server's pace comes with it
    QCOMPARE(f.page->edt_SMTPUser->text(), QString("ann"));
    QCOMPARE(f.page->edt_SMTPPass->text(), QString("kept"));
    QVERIFY(f.page->cb_SMTPLogin->isChecked());
    f.page->cb_POPServ->setCurrentText("pop.example.com");
    QCOMPARE(f.page->edt_PopPass->text(), QString("secret"));
    QVERIFY(f.page->cb_POPDelete->isChecked());
    QCOMPARE(f.page->cmb_POPSecurity->currentIndex(), 2);
    // A name the registry does not know gives the defaults.
    f.page->cb_SMTPServ->setCurrentText("other.example.com");
    QCOMPARE(f.page->edt_SMTPPort->text(), QString("smtp"));
    f.page->cb_SMTPServ->setCurrentText("mail.example.com");
    f.page->btn_ListSave->click();
    // Left as the entry gives them, the list keeps following the entry: no keys written.
    QVERIFY(ReadAll(f.data + "Lists.ini").find("Security") == std::string::npos);

    // The list's own choice: a new security moves the usual port along, and is kept.
    f.page->cmb_SMTPSecurity->setCurrentIndex(2);
    QCOMPARE(f.page->edt_SMTPPort->text(), QString("465"));
    f.page->cb_SMTPLogin->setChecked(false);
    f.page->cmb_POPSecurity->setCurrentIndex(1);
    QCOMPARE(f.page->edt_POPPort->text(), QString("110"));  // STLS starts on the plain port
    QVERIFY(f.page->btn_ListSave->isEnabled());
    f.page->btn_ListSave->click();
    TListRecord saved = LoadListRecord(f.data, "News");
    QCOMPARE(saved.SMTPSecurity, 2);
    QVERIFY(!saved.SMTPLogin);
    QCOMPARE(saved.POPSecurity, 1);
    // The entry changes later; loading the list shows its own values, not the registry's.
    smtp.Security = 0;
    smtp.Port = "25";
    WriteSmtpServer(f.data, smtp);
    Click(f.page->lb_MailLists, 0);
    QCOMPARE(f.page->cmb_SMTPSecurity->currentIndex(), 2);
    QCOMPARE(f.page->edt_SMTPPort->text(), QString("465"));
    QCOMPARE(f.page->cmb_POPSecurity->currentIndex(), 1);
  }

  void extractExportAndImport() {
    Fixture f;
    NewList(f.page, "News");
    AddAddress(f.page, "Ann", "ann@example.com");
    const QString text = f.dir.path() + "/mail.txt";
    WriteFileAtomic(QStringToAnsi(text), "From: Carl <carl@example.com>\r\nAnn@Example.com\r\nbob@example.org, x\r\n");
    f.page->NextFile = text;
    f.page->ImportMailList1Click();
    QCOMPARE(f.status->StatusText(), QString("Extracted 2 unique e-mail address(es)."));
    QCOMPARE(f.page->lb_Addresses->count(), 3);
    QVERIFY(f.page->isEnabled());

    const QString out = f.dir.path() + "/out.txt";
    f.page->NextFile = out;
    f.page->ExportMailList1Click();
    QCOMPARE(ReadFileBytes(QStringToAnsi(out)), std::string("<bob@example.org>\r\n<carl@example.com>\r\nAnn <ann@example.com>\r\n"));

    // A version 1 list file named News, with one address and a cut last record.
    std::string settings(kLegacyRecordSize, '\0'), address(kLegacyRecordSize, '\0');
    settings.replace(0, 5, "\x04News");
    address.replace(101, 10, "\x09" "eve@x.org");
    const QString bvl = f.dir.path() + "/old.bvl";
    WriteFileAtomic(QStringToAnsi(bvl), settings + address + std::string(10, 'x'));
    QSignalSpy added(f.page, &TMailListsPage::ListAdded);
    f.page->NextFile = bvl;
    QString message;
    AnswerNextMessageBox(QMessageBox::Ok, &message);
    f.page->ImportLegacyList();
    QVERIFY(message.contains("ends inside a record"));
    QCOMPARE(added.count(), 1);
    QCOMPARE(f.status->StatusText(), QString("Imported 1 address(es) into News - 1."));
    QCOMPARE(f.page->CurrentListName(), std::string("News - 1"));
    QCOMPARE(ListTexts(f.page->lb_Addresses), QStringList{"<eve@x.org>"});
    // Cancel in the dialog does nothing.
    f.page->NextFile.clear();
    f.page->ImportLegacyList();
    QCOMPARE(f.page->lb_MailLists->count(), 2);
  }
};

QTEST_MAIN(MailListsPageTest)
#include "MailListsPageTest.moc"
