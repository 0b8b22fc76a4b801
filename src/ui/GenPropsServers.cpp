#include "ui/GenPropsDialog.h"
#include "ui/GenPropsHelpers.h"
#include "ui/NamedWidgets.h"

#include "storage/Ansi.h"
#include "storage/IniFiles32.h"
#include "storage/ServerPasswords.h"
#include "storage/ServerRegistry.h"
#include "storage/Strings.h"
#include "ui/DisplaySettings.h"
#include "ui/ServersDialog.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>

using namespace genprops;

std::vector<std::string> Tfrm_GenProps::SmtpServers() const { return Items(clb_SMTPServ); }
std::vector<std::string> Tfrm_GenProps::PopServers() const { return Items(clb_POPServ); }

std::string Tfrm_GenProps::DefaultSmtpServer() const {
  const int at = FirstChecked(clb_SMTPServ);
  return at < 0 ? std::string() : QStringToAnsi(clb_SMTPServ->item(at)->text());
}

std::string Tfrm_GenProps::DefaultPopServer() const {
  const int at = FirstChecked(clb_POPServ);
  return at < 0 ? std::string() : QStringToAnsi(clb_POPServ->item(at)->text());
}

void Tfrm_GenProps::FillServerList(QListWidget *list, const std::vector<std::string> &names, int checkedPosition) {
  checking_ = true;
  list->clear();
  for (const std::string &name : names) AddCheckItem(list, name);
  if (checkedPosition >= 0 && checkedPosition < list->count()) list->item(checkedPosition)->setCheckState(Qt::Checked);
  checking_ = false;
}

void Tfrm_GenProps::ShowDefault(bool smtp, const std::string &name) {
  if (smtp) {
    for (QLineEdit *e : {edt_DefSMTPServ, edt_DefSMTPUser, edt_DefSMTPPort, edt_DefSMTPSend}) e->clear();
    if (name.empty()) return;
    const TDefaultSmtpInfo info = ShowDefaultSmtpServer(dataDir_, name);
    SetText(edt_DefSMTPServ, info.Server);
    SetText(edt_DefSMTPUser, info.Username);
    SetText(edt_DefSMTPPort, info.Port);
    SetText(edt_DefSMTPSend, info.SendTo);
  } else {
    for (QLineEdit *e : {edt_DefPOPServ, edt_DefPOPPort, edt_DefPOPUser, edt_DefPOPOptions}) e->clear();
    defaultPopPassword_.clear();
    if (name.empty()) return;
    const TDefaultPopInfo info = ShowDefaultPopServer(dataDir_, name);
    SetText(edt_DefPOPServ, info.Server);
    SetText(edt_DefPOPPort, info.Port);
    SetText(edt_DefPOPUser, info.Username);
    SetText(edt_DefPOPOptions, info.Options);
    defaultPopPassword_ = info.Password;
  }
}

void Tfrm_GenProps::ServerClickCheck(QListWidget *list, QListWidgetItem *item, bool smtp) {
  if (checking_) return;
  QListWidgetItem *other = nullptr;
  for (int i = 0; i < list->count() && !other; ++i)
    if (list->item(i) != item && list->item(i)->checkState() == Qt::Checked) other = list->item(i);
  QListWidgetItem *shown = item;
  if (other) {
    const QString kind = smtp ? "SMTP" : "POP";
    const auto answer = QMessageBox::warning(this, kCaption,
                                             QString("Only one default %1 server is permitted.\n"
                                                     "Would you like to set this server as your default?")
                                                 .arg(kind),
                                             QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    checking_ = true;
    if (answer == QMessageBox::Yes) {
      other->setCheckState(Qt::Unchecked);
      item->setCheckState(Qt::Checked);
    } else {
      item->setCheckState(Qt::Unchecked);
      shown = other;
    }
    checking_ = false;
  }
  Guard([&] { ShowDefault(smtp, QStringToAnsi(shown->text())); });
}

void Tfrm_GenProps::UpdateServerCaption(bool smtp) {
  QGroupBox *group = smtp ? gb_SMTPServ : gb_POPServ;
  const int count = (smtp ? clb_SMTPServ : clb_POPServ)->count();
  group->setTitle(QString("%1 Servers (%2)").arg(smtp ? "SMTP" : "POP").arg(count));
}

// The stored default is a position in the sorted registry: when servers come and go the
// position is moved along, so the stored default stays the same server.
void Tfrm_GenProps::KeepStoredDefault(bool smtp, const std::vector<std::string> &before,
                                      const std::string &renamedFrom, const std::string &renamedTo) {
  const char *section = smtp ? "SMTP" : "POP";
  TIniFile32 ini(dataDir_ + kSettingsFile, TIniMode::imPlatform);
  const int stored = ini.ReadInteger(section, "Server", 0);
  std::string name = DefaultServerName(before, stored);
  if (name.empty()) return;
  if (!renamedFrom.empty() && SameText(name, renamedFrom)) name = renamedTo;
  const std::vector<std::string> after = smtp ? ReadSmtpServerNames(dataDir_) : ReadPopServerNames(dataDir_);
  for (size_t i = 0; i < after.size(); ++i)
    if (SameText(after[i], name)) {
      if (static_cast<int>(i) != stored) ini.WriteInteger(section, "Server", static_cast<int>(i));
      return;
    }
}

void Tfrm_GenProps::AddServer(bool smtp) {
  Tfrm_Servers dialog(smtp ? TServerKind::skSMTP : TServerKind::skPOP, this);
  dialog.IsRegistered = [&](const std::string &name) {
    return smtp ? SmtpServerExists(dataDir_, name) : PopServerExists(dataDir_, name);
  };
  ApplyDisplaySettings(&dialog, *settings_);
  if (dialog.exec() != QDialog::Accepted) return;
  QListWidget *list = smtp ? clb_SMTPServ : clb_POPServ;
  const std::vector<std::string> before = smtp ? ReadSmtpServerNames(dataDir_) : ReadPopServerNames(dataDir_);
  const std::string name = smtp ? dialog.SmtpServer().Name : dialog.PopServer().Name;
  if (smtp) WriteSmtpServer(dataDir_, dialog.SmtpServer());
  else WritePopServer(dataDir_, dialog.PopServer());
  KeepPasswordSafe(smtp, name);
  // A confirmed overwrite keeps the one entry the list already has.
  QListWidgetItem *item = FindItem(list, name);
  if (!item) {
    checking_ = true;
    AddCheckItem(list, name);
    checking_ = false;
  } else if (item->checkState() == Qt::Checked) {
    ShowDefault(smtp, name);
  }
  UpdateServerCaption(smtp);
  KeepStoredDefault(smtp, before);
  SyncDefaultPositions();
  emit ServersChanged();
}

void Tfrm_GenProps::EditServer(bool smtp) {
  QListWidget *list = smtp ? clb_SMTPServ : clb_POPServ;
  QListWidgetItem *item = SelectedItem(list);
  if (!item) return;
  const std::string oldName = QStringToAnsi(item->text());
  Tfrm_Servers dialog(smtp ? TServerKind::skSMTP : TServerKind::skPOP, this);
  dialog.IsRegistered = [&](const std::string &name) {
    return smtp ? SmtpServerExists(dataDir_, name) : PopServerExists(dataDir_, name);
  };
  ApplyDisplaySettings(&dialog, *settings_);
  if (smtp) dialog.SetSmtpServer(ReadSmtpServer(dataDir_, oldName));
  else dialog.SetPopServer(ReadPopServer(dataDir_, oldName));
  if (smtp ? ReadSmtpServer(dataDir_, oldName).PasswordInKeyring : ReadPopServer(dataDir_, oldName).PasswordInKeyring)
    dialog.FetchPassword(ServerPasswordKey(dataDir_, smtp, oldName));
  if (dialog.exec() != QDialog::Accepted) return;

  const std::vector<std::string> before = smtp ? ReadSmtpServerNames(dataDir_) : ReadPopServerNames(dataDir_);
  const std::string newName = smtp ? dialog.SmtpServer().Name : dialog.PopServer().Name;
  const bool renamed = newName != oldName;
  // A renamed server replaces its old entry instead of leaving it behind; the new entry is
  // written first, unless only the letter case changes and both are the same section.
  const auto eraseOld = [&] {
    if (smtp) DeleteSmtpServer(dataDir_, oldName);
    else DeletePopServer(dataDir_, oldName);
  };
  if (renamed && SameText(newName, oldName)) eraseOld();
  if (smtp) WriteSmtpServer(dataDir_, dialog.SmtpServer());
  else WritePopServer(dataDir_, dialog.PopServer());
  if (renamed) ForgetServerPassword(dataDir_, smtp, oldName);
  KeepPasswordSafe(smtp, newName);
  if (renamed) {
    if (!SameText(newName, oldName)) eraseOld();
    checking_ = true;
    QListWidgetItem *existing = FindItem(list, newName);
    if (existing && existing != item) {
      if (item->checkState() == Qt::Checked) existing->setCheckState(Qt::Checked);
      delete item;
    } else {
      item->setText(AnsiToQString(newName));
      list->sortItems();
    }
    checking_ = false;
    UpdateServerCaption(smtp);
    KeepStoredDefault(smtp, before, oldName, newName);
    emit ServersChanged();
  }
  // Only one check mark, even after two entries became one.
  SyncDefaultPositions();
  const std::string checked = smtp ? DefaultSmtpServer() : DefaultPopServer();
  if (!checked.empty()) ShowDefault(smtp, checked);
}

// The password goes to the keyring when one runs; else it stays in the registry, and the
// user is told so once.
void Tfrm_GenProps::KeepPasswordSafe(bool smtp, const std::string &name) {
  const QPointer<Tfrm_GenProps> self(this);
  const std::string dataDir = dataDir_;
  MovePasswordToKeyring(dataDir_, smtp, name, [self, dataDir](TPasswordPlace place) {
    if (place != TPasswordPlace::ppFile || !self) return;
    const std::string notice = PasswordFileNoticeOnce(dataDir);
    if (notice.empty()) return;
    // Told without holding up whatever the user does next.
    auto *box = new QMessageBox(QMessageBox::Information, kCaption, AnsiToQString(notice), QMessageBox::Ok, self);
    box->setObjectName("PasswordFileNotice");
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
  });
}

void Tfrm_GenProps::DeleteServer(bool smtp) {
  QListWidget *list = smtp ? clb_SMTPServ : clb_POPServ;
  QListWidgetItem *item = SelectedItem(list);
  if (!item) return;
  const QString kind = smtp ? "SMTP" : "POP";
  const QString question =
      QString("Are you sure you want to delete this %1 server?\n\n%1 Server: %2").arg(kind, item->text());
  if (QMessageBox::question(this, kCaption, question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) !=
      QMessageBox::Yes)
    return;
  const std::string name = QStringToAnsi(item->text());
  const std::vector<std::string> before = smtp ? ReadSmtpServerNames(dataDir_) : ReadPopServerNames(dataDir_);
  if (smtp) DeleteSmtpServer(dataDir_, name);
  else DeletePopServer(dataDir_, name);
  ForgetServerPassword(dataDir_, smtp, name);
  checking_ = true;
  delete item;
  checking_ = false;
  UpdateServerCaption(smtp);
  KeepStoredDefault(smtp, before);
  SyncDefaultPositions();
  emit ServersChanged();
}

void Tfrm_GenProps::btn_SMTPAddClick() { Guard([&] { AddServer(true); }); }
void Tfrm_GenProps::btn_POPAddClick() { Guard([&] { AddServer(false); }); }
void Tfrm_GenProps::btn_SMTPEditClick() { Guard([&] { EditServer(true); }); }
void Tfrm_GenProps::btn_POPEditClick() { Guard([&] { EditServer(false); }); }
void Tfrm_GenProps::btn_SMTPDeleteClick() { Guard([&] { DeleteServer(true); }); }
void Tfrm_GenProps::btn_POPDeleteClick() { Guard([&] { DeleteServer(false); }); }
