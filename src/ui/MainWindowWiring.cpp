// How the main window connects its menus and pages: every command reaches the page or
// dialog that does its work, and the pages hear about each other's changes.
#include "compose/RtfWriter.h"
#include "lists/AddressRecord.h"
#include "lists/ListFolder.h"
#include "lists/ListRecord.h"
#include "mail/FieldSources.h"
#include "mail/Recipients.h"
#include "storage/Strings.h"
#include "storage/Ansi.h"
#include "storage/ServerRegistry.h"
#include "ui/CharMapDialog.h"
#include "ui/DigestPage.h"
#include "ui/DisplaySettings.h"
#include "ui/EditorText.h"
#include "ui/FindDialog.h"
#include "ui/FormatBar.h"
#include "ui/GenPropsDialog.h"
#include "ui/HtmlDialog.h"
#include "ui/InsertCommands.h"
#include "ui/MailListsPage.h"
#include "ui/MailPage.h"
#include "ui/MailingCommands.h"
#include "ui/MainWindow.h"
#include "ui/NewsletterPage.h"
#include "ui/StatusBar1.h"

#include <QComboBox>
#include <QFontComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QTabWidget>
#include <QTextEdit>

namespace {
// A text box's text with the CR LF line ends of the program's own texts.
std::string BoxText(const QPlainTextEdit *box) { return QStringToAnsi(box->toPlainText().replace("\n", "\r\n")); }
std::string BoxText(const QLineEdit *box) { return QStringToAnsi(box->text()); }
}  // namespace

void Tfrm_Main::ConnectPages() {
  ConnectNewsletter();
  ConnectCompose();
  ConnectLists();
  ConnectMailing();
  ConnectMail();
  ConnectRetrieval();
}

void Tfrm_Main::ConnectNewsletter() {
  TNewsletterPage *page = ts_Newsletter;
  Scrooge1.ConfigureForMainWindow();
  page->DataDir = dataDir_;
  page->Converter = &Scrooge1;
  page->PersonalName = [this] { return AnsiToQString(settings_.Name); };
  page->ToolBar1->SetDataDir(DataDirAnsi());
  connect(New1, &QAction::triggered, page, &TNewsletterPage::NewDocument);
  connect(Close1, &QAction::triggered, page, &TNewsletterPage::CloseDocument);
  connect(Open1, &QAction::triggered, page, &TNewsletterPage::OpenDocument);
  connect(SaveAs1, &QAction::triggered, page, &TNewsletterPage::SaveDocumentAs);
  connect(Save1, &QAction::triggered, this, &Tfrm_Main::Save1Click);
  connect(Print1, &QAction::triggered, this, &Tfrm_Main::Print1Click);
  connect(page, &TNewsletterPage::TitleChanged, this, &QWidget::setWindowTitle);
  // Check Spelling is offered only while the body holds text.
  connect(page, &TNewsletterPage::BodyTextChanged, CheckSpelling1, &QAction::setEnabled);
  CheckSpelling1->setEnabled(!page->re_NewsBody->document()->isEmpty());
  connect(page->ToolBar1, &TFormatBar::PreviewRequested, this, [this] {
    if (pc_Main->currentIndex() == pgDigest) ShowDigestPreview();
    else pc_Main->setCurrentIndex(pgDigest);
  });
  // Choosing a list in the Newsletter page makes it the current list; the empty entry is
  // the pseudo-list.
  connect(page->cb_MailLists, &QComboBox::activated, this, [this](int index) {
    ts_MailLists->LoadListRecord(index > 0 ? ts_Newsletter->cb_MailLists->itemText(index) : QString());
  });
}

void Tfrm_Main::ConnectCompose() {
  FillFieldCodeMenus(AddressInformation1, ListInformation1, PersonalInformation1);
  connect(DateandTime1, &QAction::triggered, this, [] { InsertDate(); });
  connect(TextfromFile1, &QAction::triggered, this, [this] { Text1Click(this); });
  connect(Hyperlink1, &QAction::triggered, this, [this] { InsertHtmlClick(this, ts_Newsletter->re_NewsBody, 1); });
  connect(Image1, &QAction::triggered, this, [this] { InsertHtmlClick(this, ts_Newsletter->re_NewsBody, 2); });
  connect(Mailto1, &QAction::triggered, this, [this] { InsertHtmlClick(this, ts_Newsletter->re_NewsBody, 3); });
  connect(Symbol1, &QAction::triggered, this,
          [this] { Symbol1Click(this, ts_Newsletter->ToolBar1->fcb_Font->currentText()); });
  connect(FindReplace1, &QAction::triggered, this, [this] { Tfrm_Find::FindReplace1Click(this); });
  connect(ts_Newsletter->Symbol2, &QAction::triggered, Symbol1, &QAction::trigger);
  connect(ts_Newsletter->Thesaurus2, &QAction::triggered, Thesaurus1, &QAction::trigger);
}

std::string Tfrm_Main::DefaultSmtpServerName() const {
  return DefaultServerName(ReadSmtpServerNames(DataDirAnsi()), settings_.SmtpServer);
}

void Tfrm_Main::ConnectLists() {
  ts_MailLists->DefaultSmtpServer = [this] { return DefaultSmtpServerName(); };
  ts_MailLists->Start(DataDirAnsi(), StatusBar1);
  const std::vector<std::string> names = LoadMailLists(DataDirAnsi());
  for (const std::string &name : names) ts_NewMail->AddListNode(AnsiToQString(name));
  ts_Newsletter->SetListChoices(names);
  connect(ts_MailLists, &TMailListsPage::ListAdded, ts_Newsletter, &TNewsletterPage::AddListChoice);
  connect(ts_MailLists, &TMailListsPage::ListRenamed, ts_Newsletter, &TNewsletterPage::RenameListChoice);
  connect(ts_MailLists, &TMailListsPage::ListRemoved, ts_Newsletter, &TNewsletterPage::RemoveListChoice);
  connect(OpenList1, &QAction::triggered, this, &Tfrm_Main::OpenList1Click);
  connect(ts_MailLists, &TMailListsPage::ListAdded, ts_NewMail, &TMailPage::AddListNode);
  connect(ts_MailLists, &TMailListsPage::ListRenamed, ts_NewMail, &TMailPage::RenameListNode);
  connect(ts_MailLists, &TMailListsPage::ListRemoved, ts_NewMail, &TMailPage::RemoveListNode);
}

void Tfrm_Main::ConnectGenProps() {
  frm_GenProps->SetMailLists(LoadMailLists(DataDirAnsi()));
  connect(GeneralProperties1, &QAction::triggered, frm_GenProps, &Tfrm_GenProps::Execute);
  connect(frm_GenProps, &Tfrm_GenProps::ServersChanged, ts_MailLists, &TMailListsPage::FillServerChoices);
  auto refreshFilters = [this] { frm_GenProps->SetMailLists(LoadMailLists(DataDirAnsi())); };
  connect(ts_MailLists, &TMailListsPage::ListAdded, frm_GenProps, refreshFilters);
  connect(ts_MailLists, &TMailListsPage::ListRenamed, frm_GenProps, refreshFilters);
  connect(ts_MailLists, &TMailListsPage::ListRemoved, frm_GenProps, refreshFilters);
}

TAssemblyInput Tfrm_Main::AssemblyInput() const {
  const TNewsletterPage *page = ts_Newsletter;
  const TMailListsPage *lists = ts_MailLists;
  const TListRecord &list = lists->CurrentList();
  TAssemblyInput in;
  in.BodyRtf = WriteRtf(page->Body());
  in.BodyLines = LaidOutLines(page->re_NewsBody);
  in.Subject = BoxText(page->mmo_Subject);
  in.Background = BackgroundValue(page->re_NewsBody);
  in.ListChosen = page->cb_MailLists->currentIndex() > 0;
  in.GeneralTexts = {settings_.IncludeHeader, settings_.HeaderText, settings_.IncludeSig,
                     settings_.SignatureText, settings_.IncludeFooter, settings_.FooterText};
  in.ListTexts = {list.IncludeHeader, BoxText(lists->mmo_Header), list.IncludeSig,
                  BoxText(lists->mmo_Sig), list.IncludeFooter, BoxText(lists->mmo_Footer)};
  in.List = ListFieldsOf(lists->CurrentListName(), list);
  in.Personal = PersonalOf(settings_);
  // The recipient is the address shown on the address panel.
  in.Recipient = {BoxText(lists->edt_Name),    BoxText(lists->edt_Address1), BoxText(lists->edt_Address2),
                  BoxText(lists->edt_Phone),   BoxText(lists->edt_Custom1),  BoxText(lists->edt_Custom2),
                  BoxText(lists->edt_Custom3), BoxText(lists->edt_Email),    BoxText(lists->mmo_Comments)};
  in.DataDir = DataDirAnsi();
  return in;
}

void Tfrm_Main::ShowDigestPreview() {
  ts_Digest->SetDefaultSubPage(settings_.HTMLDigest);
  TScroogeConverter converter(Scrooge1);
  try {
    ts_Digest->Preview(AssemblyInput(), converter);
  } catch (const std::exception &e) {
    QMessageBox::warning(this, "Brevant 2.0", QString::fromLocal8Bit(e.what()));
  }
}

void Tfrm_Main::ConnectMailing() {
  TMailingHooks hooks;
  hooks.DialogInputs = [this] {
    // Send Mail works with the settings as stored.
    if (frm_GenProps) frm_GenProps->ReadGeneralSettings();
    TSendToInputs in;
    in.DataDir = DataDirAnsi();
    in.Servers = ReadSmtpServerNames(in.DataDir);
    in.DefaultServer = DefaultServerName(in.Servers, settings_.SmtpServer);
    in.Lists = LoadMailLists(in.DataDir);
    in.CurrentList = ts_MailLists->CurrentListName();
    const std::string &from = ts_MailLists->CurrentList().FromAddress;
    in.From = from.empty() ? settings_.EMail : from;
    in.ReplyRecipient = replyRecipient_;
    return in;
  };
  hooks.ApplyDisplay = [this](QWidget *dialog) { ApplyDisplaySettings(dialog, settings_); };
  hooks.MakeListCurrent = [this](const QString &name) { ts_MailLists->LoadListRecord(name); };
  hooks.FillJob = [this](TMailingJob &job) {
    const TListRecord &list = ts_MailLists->CurrentList();
    // An empty folder would stand for the pseudo-list's: a list whose folder is missing
    // sends nothing and files nothing.
    if (list.Path.empty()) throw EListFolderNotFound(list.MissingPath);
    job.ListFolder = list.Path;
    job.ListTo = list.ToAddress;
    job.ListFrom = list.FromAddress;
    job.ListReply = list.ReplyAddress;
    job.ListServer = list.SMTPServer;
    job.ListPort = list.SMTPPort;
    job.ListUser = list.SMTPUsername;
    job.ListSecurity = list.SMTPSecurity;
    job.ListLogin = list.SMTPLogin;
    job.ListPassword = list.SMTPPassword;
    job.ListMethod = list.SendMethod;
    job.ListBatchSize = list.RCPTTO;
    SetListSender(job, ts_MailLists->CurrentListName(), list, settings_.Name);
    job.Subject = BoxText(ts_Newsletter->mmo_Subject);
    job.NewsletterFile = ts_Newsletter->Document.FileName;
    for (const QString &file : ts_Newsletter->Attachments()) job.Attachments.push_back(QStringToAnsi(file));
    job.GenEmail = settings_.EMail;
    job.GenReply = settings_.Reply;
    job.DefaultServer = DefaultSmtpServerName();
  };
  hooks.Assemble = [this](bool mergeCodes, bool sendHtml, bool useGenProps) {
    TAssemblyInput in = AssemblyInput();
    in.SendHtml = sendHtml || ts_MailLists->CurrentList().SendHTML;
    in.UseGeneralProperties = useGenProps;
    if (recipientShown_) in.Recipient = recipient_;
    TScroogeConverter converter(Scrooge1);
    try {
      return sendAssembly_.Assemble(in, mergeCodes, &converter);
    } catch (const ERecursiveFieldCode &e) {
      StatusBar1->SetStatus(AnsiToQString(e.StatusText()));
      throw;
    }
  };
  hooks.ShowAddress = [this](const std::string &entry) {
    TAddressRecord record = ShowAddress(ts_MailLists->CurrentListPath(), entry);
    // An address the list does not know merges empty values, but its own address.
    if (Trim(record.Email).empty()) record.Email = EnvelopeAddress(EntryShowKey(entry));
    recipient_ = RecipientOf(record);
    recipientShown_ = true;
    return record.Email;
  };
  mailing_ = new TMailingCommands(DataDirAnsi(), this, StatusBar1, hooks);
  mailing_->SetBusyActions({SendMail1, SendToFailed1, tbtn_Send, ts_NewMail->tbtn_GetMsg});
  connect(SendMail1, &QAction::triggered, this, [this] {
    // One source for the run: the list as saved, after the user chose what to do with edits.
    if (!ts_MailLists->SettleUnsavedList()) return;
    recipientShown_ = false;
    // The newsletter is converted afresh for each run.
    sendAssembly_.Clear();
    mailing_->SendMail1Click();
  });
  connect(FailedAddresses1, &QAction::triggered, mailing_, &TMailingCommands::FailedAddresses1Click);
  connect(SendToFailed1, &QAction::triggered, this, [this] {
    if (!ts_MailLists->SettleUnsavedList()) return;
    recipientShown_ = false;
    sendAssembly_.Clear();
    mailing_->SendToFailed1Click();
  });
  connect(MailLog1, &QAction::triggered, mailing_, &TMailingCommands::MailLog1Click);
}

void Tfrm_Main::Save1Click() {
  if (pc_Main->currentIndex() == pgNewsletter)
    ts_Newsletter->SaveDocument();
  else
    SaveMailClick();
}

void Tfrm_Main::Print1Click() {
  const int page = pc_Main->currentIndex();
  if (page == pgNewsletter) {
    ts_Newsletter->PrintDocument();
    return;
  }
  if (page == pgMail) {
    QPrinter printer;
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() == QDialog::Accepted) PrintMail(printer);
    return;
  }
  if (page != pgDigest || ts_Digest->re_DigBody->document()->isEmpty()) {
    TNewsletterPage::ShowNothingToPrint(this);
    return;
  }
  QPrinter printer;
  QPrintDialog dialog(&printer, this);
  if (dialog.exec() != QDialog::Accepted) return;
  QFont title = font();
  title.setPointSize(12);
  title.setBold(true);
  TNewsletterPage::PrintRichText(printer, ts_Newsletter->mmo_Subject->toPlainText(), *ts_Digest->re_DigBody, title);
}
