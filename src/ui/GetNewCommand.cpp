#include "ui/GetNewCommand.h"

#include "lists/ListRecord.h"
#include "storage/Ansi.h"
#include "storage/ListLock.h"
#include "storage/TextFile.h"
#include "ui/MailDialog.h"
#include "ui/StatusBar1.h"

#include <QDesktopServices>
#include <QEvent>
#include <QMessageBox>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>

void OpenLogFile(QWidget *parent, const std::string &path, const QString &missingText) {
  if (!FileExists(path)) {
    QMessageBox::information(parent, QStringLiteral("Brevant"), missingText);
    return;
  }
  QDesktopServices::openUrl(QUrl::fromLocalFile(AnsiToQString(path)));
}

TGetNewCommand::TGetNewCommand(const std::string &dataDir, QWidget *window, TStatusBar1 *statusBar,
                               QTreeWidget *tree, TGetNewHooks hooks)
    : QObject(window),
      dataDir_(dataDir),
      window_(window),
      statusBar_(statusBar),
      tree_(tree),
      hooks_(std::move(hooks)),
      run_(dataDir, Pop3, *this) {
  tmr_POP = new QTimer(this);
  tmr_POP->setObjectName("tmr_POP");
  tmr_POP->setInterval(15000);
  connect(tmr_POP, &QTimer::timeout, this, [this] { run_.KeepAlive(); });
  window_->installEventFilter(this);
}

bool TGetNewCommand::eventFilter(QObject *watched, QEvent *event) {
  if (watched != window_ || event->type() != QEvent::Close || !run_.Running()) return QObject::eventFilter(watched, event);
  // The run waits inside the window's event loop; the window goes once the run is out.
  closeAfterRun_ = true;
  run_.EndSession();
  event->ignore();
  return true;
}

TGetNewCommand::~TGetNewCommand() {
  if (frm_MailDialog) {
    frm_MailDialog->disconnect(this);
    delete frm_MailDialog;
  }
}

void TGetNewCommand::LoadPopSettings(bool listRun) {
  // The session of another list's server must not go on under the new settings.
  if (Pop3.Connected() || run_.Running()) return;
  const TPopSettings pop = hooks_.PopSettings(listRun);
  Pop3.Host = pop.Host;
  Pop3.Port = pop.Port;
  Pop3.UserName = pop.UserName;
  Pop3.PassWord = pop.PassWord;
  Pop3.Security = static_cast<TMailSecurity>(pop.Security == 1 || pop.Security == 2 ? pop.Security : 0);
  Pop3.TrustedFingerprint = pop.Certificate;
}

void TGetNewCommand::SelectInbox() {
  QTreeWidgetItem *node = tree_->currentItem();
  if (!node) {
    // Nothing selected: the Inbox of the pseudo-list, the tree's second node.
    QTreeWidgetItem *first = tree_->topLevelItem(0);
    if (first && first->childCount() > 0) tree_->setCurrentItem(first->child(0));
    return;
  }
  QTreeWidgetItem *list = node->parent() ? node->parent() : node;
  if (node->parent() && node->text(0) == "Inbox") return;
  if (list->childCount() > 0) tree_->setCurrentItem(list->child(0));
}

void TGetNewCommand::tbtn_GetMsgClick() {
  if (run_.Running()) return;
  SelectInbox();
  const TRetrievalJob job = hooks_.Job();
  const TPopSettings pop = hooks_.PopSettings(job.ListName != kPseudoListName);
  if (!Pop3.Connected()) LoadPopSettings(job.ListName != kPseudoListName);
  TRetrievalJob withDelete = job;
  withDelete.Delete = pop.Delete;
  // The command line may be sending or fetching this list's mail right now.
  TListLock lock(job.ListPath.empty() ? dataDir_ : job.ListPath, "brevant");
  if (!lock.TryAcquire()) {
    const std::string busy = ListBusyText(lock);
    SetStatus(busy);
    QMessageBox::information(window_, QStringLiteral("Brevant"), AnsiToQString(busy));
    return;
  }
  try {
    run_.GetNewMail(withDelete);
  } catch (const std::exception &e) {
    QMessageBox::warning(window_, QStringLiteral("Brevant"), QString::fromLocal8Bit(e.what()));
  }
  if (hooks_.RefillGrid) hooks_.RefillGrid();
  if (closeAfterRun_) {
    closeAfterRun_ = false;
    QMetaObject::invokeMethod(window_, &QWidget::close, Qt::QueuedConnection);
  }
}

void TGetNewCommand::ToolButton15Click() {
  run_.Cancel();
  Pop3.Abort();
}

void TGetNewCommand::MaintenanceLog1Click() {
  OpenLogFile(window_, MaintenanceLogPath(hooks_.Job().ListPath),
              QStringLiteral("This list has no maintenance log yet: it is written by Get New."));
}

// ---------------------------------------------------------------- the run's window side

void TGetNewCommand::SetStatus(const std::string &text) {
  const QString status = AnsiToQString(text);
  if (statusBar_->StatusText() != status) statusBar_->SetStatus(status);
}

void TGetNewCommand::SetProtocolLine(const std::string &text) { statusBar_->SetProtocolLine(AnsiToQString(text)); }

void TGetNewCommand::SetProgress(int percent) { statusBar_->SetProgress(percent, 100); }

void TGetNewCommand::ShowInformation(const std::string &text) {
  QMessageBox::information(window_, QStringLiteral("Brevant"), AnsiToQString(text));
}

void TGetNewCommand::ShowProgressWindow(const std::string &label) {
  CloseProgressWindow();
  frm_MailDialog = new Tfrm_MailDialog(AnsiToQString(label), window_);
  connect(frm_MailDialog, &Tfrm_MailDialog::Cancelled, this, [this] { run_.Cancel(); });
  frm_MailDialog->show();
}

void TGetNewCommand::CloseProgressWindow() {
  if (!frm_MailDialog) return;
  // Closed by the run itself: no cancel.
  frm_MailDialog->disconnect(this);
  frm_MailDialog->close();
}

void TGetNewCommand::SetKeepAlive(bool enabled) {
  if (enabled) tmr_POP->start();
  else tmr_POP->stop();
}

void TGetNewCommand::MessageFiled() {
  // New mail shows up while the run goes on, without refilling the grid for every message.
  if (!hooks_.RefillGrid || (sinceRefill_.isValid() && sinceRefill_.elapsed() < 1000)) return;
  sinceRefill_.restart();
  hooks_.RefillGrid();
}
