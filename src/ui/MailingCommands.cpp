#include "ui/MailingCommands.h"

#include "lists/AddressRecord.h"
#include "storage/Ansi.h"
#include "storage/ListLock.h"
#include "ui/StatusBar1.h"

#include "ui/LogViewer.h"

#include <QAction>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>

TMailingCommands::TMailingCommands(const std::string &dataDir, QWidget *window, TStatusBar1 *statusBar,
                                   TMailingHooks hooks)
    : QObject(window), dataDir_(dataDir), window_(window), statusBar_(statusBar), hooks_(std::move(hooks)) {}

TMailingCommands::~TMailingCommands() = default;

void TMailingCommands::SendMail1Click() {
  // The run waits in the event loop, where this command could be given again.
  if (running_) return;
  Tfrm_SendTo dialog(hooks_.DialogInputs(), window_);
  if (hooks_.ApplyDisplay) hooks_.ApplyDisplay(&dialog);
  if (hooks_.MakeListCurrent) connect(&dialog, &Tfrm_SendTo::ListChosen, this, hooks_.MakeListCurrent);
  if (dialog.exec() != QDialog::Accepted) return;

  TMailingJob job;
  hooks_.FillJob(job);
  dialog.FillJob(job);
  sendHtml_ = dialog.SendHTML();
  useGenProps_ = dialog.GenProps();
  RunJob(job);
}

void TMailingCommands::SendToFailed1Click() {
  if (running_) return;
  const std::vector<std::string> failed = ReadFailedAddresses(dataDir_);
  if (failed.empty()) {
    ShowInformation("The last mailing run has no failed addresses.");
    return;
  }
  // The newsletter as it is now; where and how it goes, as the last run sent it.
  TMailingJob job;
  hooks_.FillJob(job);
  if (hasLastJob_) {
    TMailingJob current = job;
    job = lastJob_;
    job.Subject = current.Subject;
    job.Attachments = current.Attachments;
  } else {
    job.FromList = true;
  }
  if (job.FromList) {
    // As the list's entries, so that field codes find each subscriber's record again.
    job.CheckedEntries.clear();
    for (const std::string &address : failed)
      job.CheckedEntries.push_back(address.find('<') == std::string::npos ? AddressKey(address) : address);
  } else {
    job.TypedAddresses.clear();
    for (const std::string &address : failed) job.TypedAddresses += address + ",";
  }
  const std::string count = std::to_string(failed.size());
  if (QMessageBox::question(window_, QStringLiteral("Brevant"),
                            AnsiToQString("Send the current newsletter to the " + count +
                                          (failed.size() == 1 ? " address" : " addresses") +
                                          " that failed in the last mailing run?")) != QMessageBox::Yes)
    return;
  RunJob(job);
}

void TMailingCommands::RunJob(const TMailingJob &job) {
  lastJob_ = job;
  hasLastJob_ = true;

  // The command line may be sending or fetching this list's mail right now.
  TListLock lock(job.ListFolder.empty() ? dataDir_ : job.ListFolder, "brevant");
  if (!lock.TryAcquire()) {
    QMessageBox::information(window_, QStringLiteral("Brevant"), AnsiToQString(ListBusyText(lock)));
    return;
  }
  running_ = true;
  for (QAction *action : busyActions_) action->setEnabled(false);
  struct TEnd {
    TMailingCommands *self;
    ~TEnd() {
      self->running_ = false;
      for (QAction *action : self->busyActions_) action->setEnabled(true);
    }
  } end{this};
  TMailingRun run(dataDir_, SmtpCli1, *this);
  run_ = &run;
  run.PrepareSend(job);
  run_ = nullptr;
}

void TMailingCommands::BeginRetryWait(int deferred) {
  // The status line counts down; this box offers the way out.
  retryWait_ = new QProgressDialog(AnsiToQString("The server deferred " + std::to_string(deferred) +
                                                 (deferred == 1 ? " address" : " addresses") +
                                                 ". Waiting to try again..."),
                                   "&Cancel", 0, 0, window_);
  retryWait_->setObjectName("dlg_RetryWait");
  retryWait_->setWindowTitle("Brevant");
  retryWait_->setMinimumDuration(0);
  connect(retryWait_, &QProgressDialog::canceled, this, [this] {
    if (run_) run_->Cancel();
  });
  retryWait_->show();
}

void TMailingCommands::EndRetryWait() {
  delete retryWait_;
  retryWait_ = nullptr;
}

void TMailingCommands::FailedAddresses1Click() {
  ShowLogFile(window_, AnsiToQString(dataDir_ + "Failed.txt"), "Failed Addresses");
}

void TMailingCommands::MailLog1Click() { ShowLogFile(window_, AnsiToQString(dataDir_ + "MailLog.txt"), "Mail Log"); }

TDigest TMailingCommands::AssembleMessage(bool mergeCodes) {
  return hooks_.Assemble(mergeCodes, sendHtml_, useGenProps_);
}

std::string TMailingCommands::ShowAddress(const std::string &entry) { return hooks_.ShowAddress(entry); }

void TMailingCommands::SetStatus(const std::string &text) {
  // The run reports every line; only a change is worth a repaint.
  const QString status = AnsiToQString(text);
  if (statusBar_->StatusText() != status) statusBar_->SetStatus(status);
}

void TMailingCommands::SetProtocolLine(const std::string &text) { statusBar_->SetProtocolLine(AnsiToQString(text)); }

void TMailingCommands::SetProgress(int percent) { statusBar_->SetProgress(percent, 100); }

void TMailingCommands::ShowInformation(const std::string &text) {
  QMessageBox::information(window_, QStringLiteral("Brevant"), AnsiToQString(text));
}

void TMailingCommands::ShowFailureReport(const std::string &text) {
  QMessageBox box(QMessageBox::Warning, QStringLiteral("Brevant"), AnsiToQString(text), QMessageBox::Ok, window_);
  box.setObjectName("msg_FailureReport");
  QPushButton *log = box.addButton("Mail &Log...", QMessageBox::ActionRole);
  box.exec();
  if (box.clickedButton() == log) MailLog1Click();
}

IMailingHost::TAnswer TMailingCommands::AskResume(int already, int total, int remaining) {
  const std::string question = std::to_string(already) + " of " + std::to_string(total) +
                               " recipients already received this newsletter. Send to the remaining " +
                               std::to_string(remaining) + " only?";
  QMessageBox box(QMessageBox::Question, QStringLiteral("Brevant"), AnsiToQString(question),
                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, window_);
  box.setObjectName("msg_Resume");
  box.setDefaultButton(QMessageBox::Yes);
  box.button(QMessageBox::No)->setText("Send to &All");
  switch (box.exec()) {
    case QMessageBox::Yes: return TAnswer::aYes;
    case QMessageBox::No: return TAnswer::aNo;
    default: return TAnswer::aCancel;
  }
}

IMailingHost::TAnswer TMailingCommands::AskMergeFieldCodes() {
  switch (QMessageBox::question(window_, QStringLiteral("Brevant"),
                                "The newsletter contains field codes such as %Name%. Merge them for each recipient?",
                                QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes)) {
    case QMessageBox::Yes: return TAnswer::aYes;
    case QMessageBox::No: return TAnswer::aNo;
    default: return TAnswer::aCancel;
  }
}
