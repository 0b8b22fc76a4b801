#include "ui/MailListsPage.h"
#include "ui/MailListsPageHelpers.h"

#include "lists/AddressRecord.h"
#include "lists/ListFolder.h"
#include "lists/ListPasswords.h"
#include "storage/Filters.h"
#include "storage/ServerPasswords.h"
#include "storage/ServerRegistry.h"
#include "storage/Strings.h"
#include "storage/TextFile.h"
#include "ui/StatusBar1.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabWidget>
#include <algorithm>

using namespace maillists;

void TMailListsPage::LoadMailLists() {
  SetStatus("Loading mail lists...");
  lb_MailLists->clear();
  for (const auto &name : ::LoadMailLists(FDataDir)) lb_MailLists->addItem(Q(name));
  const bool any = lb_MailLists->count() > 0;
  gb_ListInfo->setVisible(any);
  gb_AddressInfo->setVisible(any);
  pnl_Panels->setVisible(any);
  btn_AddressAdd->setEnabled(any);
  btn_AddressDelete->setEnabled(any);
  if (any) ShowPanel(gb_ListInfo);
  gb_MailLists->setTitle(QString("Mail Lists (%1)").arg(lb_MailLists->count()));
  SetStatus("");
}

void TMailListsPage::LoadListRecord(const QString &name) {
  FCurrentName = name.isEmpty() ? kPseudoListName : A(name);
  FRecord = LoadListRecordWithPasswords(FDataDir, FCurrentName);
  RecordToPanel();
  FLoading = true;
  edt_ListName->setText(Q(FCurrentName));
  // A file box naming a missing file leaves the text box as it was.
  LoadTextBox(FRecord.HeaderFile, mmo_Header);
  LoadTextBox(FRecord.FooterFile, mmo_Footer);
  LoadTextBox(FRecord.SigFile, mmo_Sig);
  FLoading = false;
  SetStatus("Loading POP information...");
  emit CurrentListChanged(Q(FCurrentName));
  SetStatus("");
}

void TMailListsPage::LoadTextBox(const std::string &file, QPlainTextEdit *box) {
  const bool loading = FLoading;
  FLoading = true;
  if (file.empty()) box->clear();
  else if (FileExists(file)) SetBoxText(box, ReadFileBytes(file));
  FLoading = loading;
}

void TMailListsPage::RecordToPanel() {
  const bool loading = FLoading;
  FLoading = true;
  const TListRecord &r = FRecord;
  edt_ListAddress->setText(Q(r.ToAddress));
  edt_ListFrom->setText(Q(r.FromAddress));
  edt_ListFromName->setText(Q(r.FromName));
  edt_ListReply->setText(Q(r.ReplyAddress));
  SetBoxText(mmo_ListComments, r.Comments);
  cb_SMTPServ->setCurrentText(Q(r.SMTPServer));
  edt_SMTPUser->setText(Q(r.SMTPUsername));
  edt_SMTPPass->setText(Q(r.SMTPPassword));
  edt_SMTPPort->setText(Q(r.SMTPPort));
  (r.SendMethod == 1 ? rb_SMTPSome : r.SendMethod == 2 ? rb_SMTPAll : rb_SMTPOne)->setChecked(true);
  se_SMTPRCPT->setValue(r.RCPTTO);
  se_SMTPPace->setValue(r.MessagesPerMinute);
  cb_POPServ->setCurrentText(Q(r.POPServer));
  edt_PopUser->setText(Q(r.POPUserName));
  edt_PopPass->setText(Q(r.POPPassword));
  cb_POPDelete->setChecked(r.DeleteRead);
  // A list that never chose shows what its server's registry entry gives it.
  const TSmtpServer smtpEntry = FillServerFromRegistry(FDataDir, r.SMTPServer);
  ShowSecurity(cmb_SMTPSecurity, r.SMTPSecurity >= 0 ? r.SMTPSecurity : smtpEntry.Security);
  cb_SMTPLogin->setChecked(r.SMTPSecurity >= 0 ? r.SMTPLogin : smtpEntry.Login);
  ShowSecurity(cmb_POPSecurity,
               r.POPSecurity >= 0 ? r.POPSecurity : FillPopServerFromRegistry(FDataDir, r.POPServer).Security);
  edt_Header->setText(Q(r.HeaderFile));
  cb_Header->setChecked(r.IncludeHeader);
  edt_Footer->setText(Q(r.FooterFile));
  cb_Footer->setChecked(r.IncludeFooter);
  edt_Sig->setText(Q(r.SigFile));
  cb_Sig->setChecked(r.IncludeSig);
  cb_HTML->setChecked(r.SendHTML);
  cb_AutoMaint->setChecked(r.AutoMaint);
  // Radio buttons: with neither flag set, neither button is on.
  for (auto [on, off, flagOn, flagOff] : {std::tuple{rb_AddTo, rb_AddSub, r.AddTo, r.AddSub},
                                          std::tuple{rb_RemoveTo, rb_RemoveSub, r.RemoveTo, r.RemoveSub}}) {
    on->setAutoExclusive(false);
    off->setAutoExclusive(false);
    on->setChecked(flagOn);
    off->setChecked(flagOff && !flagOn);
    on->setAutoExclusive(true);
    off->setAutoExclusive(true);
  }
  edt_AddTo->setText(Q(r.AddToAddress));
  edt_AddSub->setText(Q(r.AddSubAddress));
  edt_RemoveTo->setText(Q(r.RemoveToAddress));
  edt_RemoveSub->setText(Q(r.RemoveSubAddress));
  edt_AddTo->setEnabled(rb_AddTo->isChecked());
  edt_AddSub->setEnabled(!rb_AddTo->isChecked());
  edt_RemoveTo->setEnabled(rb_RemoveTo->isChecked());
  edt_RemoveSub->setEnabled(!rb_RemoveTo->isChecked());
  FLoading = loading;
}

TListRecord TMailListsPage::PanelToRecord() const {
  TListRecord r;
  r.Path = FRecord.Path;
  r.MissingPath = FRecord.MissingPath;
  r.ToAddress = A(edt_ListAddress->text());
  r.FromAddress = A(edt_ListFrom->text());
  r.FromName = A(edt_ListFromName->text());
  r.ReplyAddress = A(edt_ListReply->text());
  r.Comments = BoxText(mmo_ListComments);
  r.SMTPServer = A(cb_SMTPServ->currentText());
  r.SMTPUsername = A(edt_SMTPUser->text());
  r.SMTPPassword = A(edt_SMTPPass->text());
  // A password the keyring did not give when the list was shown stays kept there.
  r.SMTPPasswordInKeyring = r.SMTPPassword.empty() && FRecord.SMTPPassword.empty() && FRecord.SMTPPasswordInKeyring;
  r.SMTPPort = A(edt_SMTPPort->text());
  r.SendMethod = rb_SMTPSome->isChecked() ? 1 : rb_SMTPAll->isChecked() ? 2 : 0;
  r.RCPTTO = se_SMTPRCPT->value();
  r.MessagesPerMinute = se_SMTPPace->value();
  r.POPServer = A(cb_POPServ->currentText());
  r.POPUserName = A(edt_PopUser->text());
  r.POPPassword = A(edt_PopPass->text());
  r.POPPasswordInKeyring = r.POPPassword.empty() && FRecord.POPPassword.empty() && FRecord.POPPasswordInKeyring;
  r.DeleteRead = cb_POPDelete->isChecked();
  // What the registry entry gives is no choice of the list's: the list keeps following it.
  const TSmtpServer smtpEntry = FillServerFromRegistry(FDataDir, r.SMTPServer);
  const bool smtpAsEntry =
      cmb_SMTPSecurity->currentIndex() == smtpEntry.Security && cb_SMTPLogin->isChecked() == smtpEntry.Login;
  r.SMTPSecurity = smtpAsEntry ? -1 : cmb_SMTPSecurity->currentIndex();
  r.SMTPLogin = !smtpAsEntry && cb_SMTPLogin->isChecked();
  const bool popAsEntry = cmb_POPSecurity->currentIndex() == FillPopServerFromRegistry(FDataDir, r.POPServer).Security;
  r.POPSecurity = popAsEntry ? -1 : cmb_POPSecurity->currentIndex();
  r.HeaderFile = A(edt_Header->text());
  r.IncludeHeader = cb_Header->isChecked();
  r.FooterFile = A(edt_Footer->text());
  r.IncludeFooter = cb_Footer->isChecked();
  r.SigFile = A(edt_Sig->text());
  r.IncludeSig = cb_Sig->isChecked();
  r.SendHTML = cb_HTML->isChecked();
  r.AutoMaint = cb_AutoMaint->isChecked();
  r.AddTo = rb_AddTo->isChecked();
  r.AddToAddress = A(edt_AddTo->text());
  r.AddSub = rb_AddSub->isChecked();
  r.AddSubAddress = A(edt_AddSub->text());
  r.RemoveTo = rb_RemoveTo->isChecked();
  r.RemoveToAddress = A(edt_RemoveTo->text());
  r.RemoveSub = rb_RemoveSub->isChecked();
  r.RemoveSubAddress = A(edt_RemoveSub->text());
  return r;
}

void TMailListsPage::ClearListPanel() {
  const std::string path = FRecord.Path;
  FRecord = NewListRecord(FRecord);
  FRecord.Path = path;
  // A new list fetches through the default POP server until it is given one of its own.
  const std::string pop = DefaultPopServer ? DefaultPopServer() : std::string();
  const TPopServer fill = FillPopServerFromRegistry(FDataDir, pop);
  if (!pop.empty()) {
    FRecord.POPServer = pop;
    FRecord.POPUserName = fill.Username;
    FRecord.POPPassword = fill.Password;
    FRecord.DeleteRead = fill.Delete;
  }
  FLoading = true;
  edt_ListName->clear();
  for (QPlainTextEdit *box : {mmo_Header, mmo_Footer, mmo_Sig}) box->clear();
  RecordToPanel();
  if (!pop.empty()) edt_POPPort->setText(Q(fill.Port));
  FLoading = false;
}

void TMailListsPage::lb_MailListsClick() {
  if (lb_MailLists->count() == 0) return;
  if (!lb_MailLists->currentItem() || lb_MailLists->selectedItems().isEmpty()) lb_MailLists->setCurrentRow(0);
  LoadListRecord(lb_MailLists->currentItem()->text());
  LoadAddresses();
  FListModified = false;
  SetListButtons(false);
  ShowPanel(gb_ListInfo);
  lb_ListPrefs->setCurrentRow(0);
  lb_ListPrefsClick(0);
}

void TMailListsPage::NewList1Click() {
  FNewList = true;
  lb_MailLists->clearSelection();
  lb_MailLists->setEnabled(false);
  for (QWidget *w = parentWidget(); w; w = w->parentWidget())
    if (auto *tabs = qobject_cast<QTabWidget *>(w)) {
      tabs->setCurrentWidget(this);
      break;
    }
  ClearListPanel();
  // A new list sends through the default server until another is chosen.
  const QString server = DefaultSmtpServer ? Q(DefaultSmtpServer()) : QString();
  if (!server.isEmpty()) {
    FLoading = true;
    cb_SMTPServ->setCurrentText(server);
    FillSmtpRow(server);
    FLoading = false;
    FRecord = PanelToRecord();
  }
  ShowPanel(gb_ListInfo);
  lb_ListPrefs->setCurrentRow(0);
  lb_ListPrefsClick(0);
}

bool TMailListsPage::SaveListPanel() {
  // Text typed into a header, signature or footer box without a file goes to a file first,
  // or the list load after the save would drop it.
  for (auto [word, edit, box] : {std::tuple{"Header", edt_Header, mmo_Header}, std::tuple{"Signature", edt_Sig, mmo_Sig},
                                 std::tuple{"Footer", edt_Footer, mmo_Footer}})
    if (edit->text().isEmpty() && box->document()->isModified() && !box->toPlainText().isEmpty() &&
        !SaveTextFile(word, edit, box))
      return false;
  FRecord = PanelToRecord();
  const std::string name = CleanListName(A(edt_ListName->text()));
  if (name.empty() || !IsValidListName(name)) {
    Warn(name.empty() ? QString("Please enter a name for the mail list.")
                      : Q("The name \"" + name + "\" is Brevant's own. Please choose another name."));
    edt_ListName->setFocus();
    return false;
  }
  // The list shown may be one that is not in the catalogue (the pseudo-list, or one just
  // removed): saving it makes a new list with a folder of its own.
  const std::vector<std::string> names = ::LoadMailLists(FDataDir);
  const bool inCatalogue =
      std::any_of(names.begin(), names.end(), [&](const std::string &n) { return SameText(n, FCurrentName); });
  std::string saved = name;
  if (FNewList || !inCatalogue) {
    const TNewListResult made = CreateMailList(FDataDir, name, FRecord);
    for (const auto &path : made.Folders.Failed) Warn(Q(DirectoryFailureText(path)));
    // Still a new list: Save tries again, Cancel drops it; the list shown before is untouched.
    if (!made.Folders.Created) return false;
    FNewList = false;
    saved = made.Name;
    FRecord.Path = made.Path;
    emit ListAdded(Q(saved));
  } else {
    if (ListNameTaken(FDataDir, name, FCurrentName)) {
      Warn(Q("A mail list named \"" + name + "\" already exists. Please choose another name."));
      edt_ListName->setFocus();
      return false;
    }
    WriteListRecord(FDataDir, name, FRecord, true, FCurrentName);
    if (name != FCurrentName) {
      ForgetListPasswords(FDataDir, FCurrentName);
      MoveFilters(FDataDir, FCurrentName, name);
      emit ListRenamed(Q(FCurrentName), Q(name));
    }
  }
  KeepPasswordsSafe(saved);
  SetListButtons(false);
  LoadMailLists();
  lb_MailLists->setEnabled(true);
  SelectList(saved);
  lb_MailListsClick();
  return true;
}

void TMailListsPage::KeepPasswordsSafe(const std::string &name) {
  const QPointer<TMailListsPage> self(this);
  const std::string dataDir = FDataDir;
  MoveListPasswordsToKeyring(dataDir, name, [self, dataDir](bool inFile) {
    if (!inFile || !self) return;
    const std::string notice = PasswordFileNoticeOnce(dataDir);
    if (notice.empty()) return;
    // Told without holding up whatever the user does next.
    auto *box = new QMessageBox(QMessageBox::Information, kCaption, Q(notice), QMessageBox::Ok, self);
    box->setObjectName("PasswordFileNotice");
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
  });
}

bool TMailListsPage::SettleUnsavedList() {
  if (!FListModified) return true;
  const auto answer = QMessageBox::question(this, kCaption, "Save changes to the list first?",
                                            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  if (answer == QMessageBox::Yes) return SaveListPanel();
  if (answer != QMessageBox::No) return false;
  // No: the run uses the list as saved, so the panel shows it again.
  if (FNewList) {
    btn_ListCancelClick();
  } else {
    LoadListRecord(FCurrentName == kPseudoListName ? QString() : Q(FCurrentName));
    FListModified = false;
    SetListButtons(false);
  }
  return true;
}

void TMailListsPage::OpenList(const QString &name) {
  if (!lb_MailLists->isEnabled()) return;  // a new list is being made
  SelectList(A(name));
  lb_MailListsClick();
}

void TMailListsPage::OpenTextFile(const QString &word, QLineEdit *edit, QPlainTextEdit *box) {
  try {
    OpenTextBoxFile(this, word, edit, box, TextFileChooser());
  } catch (const std::exception &e) {
    Warn(QString::fromLocal8Bit(e.what()));
  }
}

bool TMailListsPage::SaveTextFile(const QString &word, QLineEdit *edit, QPlainTextEdit *box) {
  try {
    if (!SaveTextBoxFile(this, word, edit, box, TextFileChooser())) return false;
  } catch (const std::exception &e) {
    Warn(QString::fromLocal8Bit(e.what()));
    return false;
  }
  box->document()->setModified(false);
  return true;
}

TFileChooser TMailListsPage::TextFileChooser() {
  return [this](const QString &title, const QStringList &filters, int index, bool save) {
    const QString selected = filters.value(index - 1);
    return save ? ChooseSaveFile(title, filters.join(";;"), selected, "txt")
                : ChooseOpenFile(title, filters.join(";;"), selected);
  };
}

void TMailListsPage::btn_ListCancelClick() {
  FNewList = false;
  ClearListPanel();
  lb_MailLists->setEnabled(true);
  FListModified = false;
  SetListButtons(false);
  if (lb_MailLists->count() == 0) gb_ListInfo->hide();
  else lb_MailListsClick();
}

void TMailListsPage::RemoveList1Click() {
  QListWidgetItem *item = lb_MailLists->currentItem();
  if (!item || !item->isSelected()) return;
  const QString name = item->text();
  if (QMessageBox::question(this, kCaption,
                            "Are you sure you want to remove the following mail list?\r\n\r\n" + name,
                            QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
    return;
  RemoveMailList(FDataDir, A(name));
  ForgetListPasswords(FDataDir, A(name));
  ClearListPanel();
  emit ListRemoved(name);
  const int row = lb_MailLists->row(item);
  delete lb_MailLists->takeItem(row);
  if (lb_MailLists->count() > 0) lb_MailLists->setCurrentRow(std::max(0, row - 1));
  gb_MailLists->setTitle(QString("Mail Lists (%1)").arg(lb_MailLists->count()));
}

void TMailListsPage::lb_ListPrefsClick(int row) {
  if (row < 0 || row >= pnl_ListPages->count()) return;
  pnl_ListPages->setCurrentIndex(row);
  QWidget *const first[] = {edt_ListName, cb_SMTPServ, cb_POPServ, edt_Header,
                            edt_Sig,      edt_Footer,  cb_HTML,    cb_AutoMaint};
  first[row]->setFocus();
}

void TMailListsPage::edt_ListNameChange() {
  if (FLoading) return;
  FRecord = PanelToRecord();
  FListModified = true;
  SetListButtons(true);
}

void TMailListsPage::rb_AddToClick() {
  if (FLoading) return;
  edt_AddTo->setEnabled(rb_AddTo->isChecked());
  edt_AddSub->setEnabled(!rb_AddTo->isChecked());
  edt_ListNameChange();
}

void TMailListsPage::rb_RemoveToClick() {
  if (FLoading) return;
  edt_RemoveTo->setEnabled(rb_RemoveTo->isChecked());
  edt_RemoveSub->setEnabled(!rb_RemoveTo->isChecked());
  edt_ListNameChange();
}

// Choosing or typing a server fills its settings from the registry (the defaults while the
// text names no registered server). Loading a list's record does not: it keeps the list's own.
void TMailListsPage::cb_SMTPServChange(const QString &text) {
  if (FLoading) return;
  FillSmtpRow(text);
  edt_ListNameChange();
}

void TMailListsPage::FillSmtpRow(const QString &server) {
  const TSmtpServer fill = FillServerFromRegistry(FDataDir, A(server));
  edt_SMTPPort->setText(Q(fill.Port));
  (fill.SendMethod == 1 ? rb_SMTPSome : fill.SendMethod == 2 ? rb_SMTPAll : rb_SMTPOne)->setChecked(true);
  se_SMTPRCPT->setValue(fill.RcptTo);
  se_SMTPPace->setValue(fill.MessagesPerMinute);
  edt_SMTPUser->setText(Q(fill.Username));  // the password box is left as it is
  ShowSecurity(cmb_SMTPSecurity, fill.Security);
  cb_SMTPLogin->setChecked(fill.Login);
}

void TMailListsPage::cb_POPServChange(const QString &text) {
  if (FLoading) return;
  const TPopServer fill = FillPopServerFromRegistry(FDataDir, A(text));
  edt_PopUser->setText(Q(fill.Username));
  edt_PopPass->setText(Q(fill.Password));
  edt_POPPort->setText(Q(fill.Port));
  cb_POPDelete->setChecked(fill.Delete);
  ShowSecurity(cmb_POPSecurity, fill.Security);
  edt_ListNameChange();
}
