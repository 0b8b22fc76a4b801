#include "ui/MailListsPage.h"
#include "ui/MailListsPageHelpers.h"

#include "lists/AddressRecord.h"
#include "lists/ListFolder.h"
#include "ui/StatusBar1.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QStackedWidget>
#include <algorithm>

using namespace maillists;

TMailListsPage::TMailListsPage(QWidget *parent) : QWidget(parent) {
  setObjectName("ts_MailLists");
  CreateControls();
  ConnectChanges();
}

void TMailListsPage::SetStatus(const std::string &text, bool repaint) {
  if (!FStatus) return;
  FStatus->SetStatus(Q(text));
  if (repaint) FStatus->repaint();
}

void TMailListsPage::KeepResponsive() {
  const qint64 now = QDateTime::currentMSecsSinceEpoch();
  if (now - FLastEvents < 40) return;
  FLastEvents = now;
  QCoreApplication::processEvents();
}

void TMailListsPage::Warn(const QString &text) { QMessageBox::warning(this, kCaption, text); }

void TMailListsPage::ShowPanel(QWidget *panel) {
  panel->show();
  pnl_Panels->show();
  pnl_Panels->setCurrentWidget(panel);
}

void TMailListsPage::SetListButtons(bool enabled) {
  btn_ListSave->setEnabled(enabled);
  btn_ListCancel->setEnabled(enabled);
}

void TMailListsPage::SetAddressButtons(bool enabled) {
  btn_AddressSave->setEnabled(enabled);
  btn_AddressCancel->setEnabled(enabled);
}

void TMailListsPage::SelectList(const std::string &name) {
  for (int i = 0; i < lb_MailLists->count(); ++i)
    if (A(lb_MailLists->item(i)->text()) == name) {
      lb_MailLists->setCurrentRow(i);
      return;
    }
}
