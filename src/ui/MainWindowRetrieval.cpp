// The main window's Get New: the hooks that hand the retrieval run the current list, its
// POP server and the general bounce settings, and the commands of the Mail page it serves.
#include "lists/ListRecord.h"
#include "mail/PopSettings.h"
#include "storage/Ansi.h"
#include "storage/ServerRegistry.h"
#include "ui/GetNewCommand.h"
#include "ui/MailListsPage.h"
#include "ui/MailPage.h"
#include "ui/MainWindow.h"
#include "ui/StatusBar1.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTreeWidget>

void Tfrm_Main::ConnectRetrieval() {
  TGetNewHooks hooks;
  hooks.Job = [this] {
    const TListRecord &list = ts_MailLists->CurrentList();
    TRetrievalJob job;
    job.ListName = ts_MailLists->CurrentListName();
    job.ListPath = list.Path;
    job.Maintenance = ListMaintenanceSettings(list, settings_.EnabledIARSubjects, settings_.IARSubjects);
    return job;
  };
  hooks.PopSettings = [this](bool listRun) {
    if (!listRun) return DefaultPopSettings(DataDirAnsi(), settings_.PopServer);
    TPopSettings panel;
    panel.Host = QStringToAnsi(ts_MailLists->cb_POPServ->currentText());
    panel.Port = QStringToAnsi(ts_MailLists->edt_POPPort->text());
    panel.UserName = QStringToAnsi(ts_MailLists->edt_PopUser->text());
    panel.PassWord = QStringToAnsi(ts_MailLists->edt_PopPass->text());
    panel.Delete = ts_MailLists->cb_POPDelete->isChecked();
    panel.Security = ts_MailLists->cmb_POPSecurity->currentIndex();
    return ListPopSettings(DataDirAnsi(), panel, settings_.PopServer);
  };
  hooks.RefillGrid = [this] {
    const QTreeWidgetItem *node = ts_NewMail->tv_POPTree->currentItem();
    if (node && node->parent()) ts_NewMail->FillMessageGrid(node->parent()->text(0), node->text(0));
  };
  getNew_ = new TGetNewCommand(DataDirAnsi(), this, StatusBar1, ts_NewMail->tv_POPTree, hooks);
  ts_NewMail->EndPopSession = [this] { getNew_->EndSession(); };
  connect(ts_NewMail->tbtn_GetMsg, &QAction::triggered, getNew_, &TGetNewCommand::tbtn_GetMsgClick);
  connect(ts_NewMail->tbtn_Cancel, &QAction::triggered, getNew_, &TGetNewCommand::ToolButton15Click);
  connect(ts_NewMail->MaintenanceLog1, &QAction::triggered, getNew_, &TGetNewCommand::MaintenanceLog1Click);
  connect(ts_MailLists, &TMailListsPage::CurrentListChanged, getNew_,
          [this](const QString &name) { getNew_->LoadPopSettings(QStringToAnsi(name) != kPseudoListName); });
  getNew_->LoadPopSettings(ts_MailLists->CurrentListName() != kPseudoListName);
  ts_MailLists->DefaultPopServer = [this] {
    return DefaultServerName(ReadPopServerNames(DataDirAnsi()), settings_.PopServer);
  };
}
