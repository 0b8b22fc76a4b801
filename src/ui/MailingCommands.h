#pragma once
// The main window's mailing commands: Send Mail (the Send To dialog, then the mailing run)
// and the View menu's Failed Addresses and Mail Log. The window hands in what only it knows
// through hooks, so this class never reaches into the window's widgets.
#include "mail/MailingRun.h"
#include "ui/SendToDialog.h"

#include <QList>
#include <QObject>

#include <functional>
#include <string>

class QAction;
class QProgressDialog;
class QWidget;
class TStatusBar1;

struct TMailingHooks {
  // The dialog's inputs, read after the general settings were reloaded.
  std::function<TSendToInputs()> DialogInputs;
  // The display settings applied to a new dialog.
  std::function<void(QWidget *dialog)> ApplyDisplay;
  // The user chose a list in the dialog: it becomes the current list.
  std::function<void(const QString &name)> MakeListCurrent;
  // The current list's folder, addresses, server and method, the subject, the attachments
  // and the general properties' addresses, read when Send was pressed.
  std::function<void(TMailingJob &job)> FillJob;
  // The message assembly for sending, with the dialog's "Send as HTML" and "Use General
  // Properties" choices.
  std::function<TDigest(bool mergeCodes, bool sendHtml, bool useGenProps)> Assemble;
  // Shows an address entry of the current list on the address panel; returns its e-mail.
  std::function<std::string(const std::string &entry)> ShowAddress;
};

class TMailingCommands : public QObject, private IMailingHost {
  Q_OBJECT
public:
  TMailingCommands(const std::string &dataDir, QWidget *window, TStatusBar1 *statusBar, TMailingHooks hooks);
  ~TMailingCommands() override;

  // Commands disabled while a run is going (Send Mail, Get New, their tool buttons).
  void SetBusyActions(const QList<QAction *> &actions) { busyActions_ = actions; }
  bool Running() const { return running_; }

  // The main window's SMTP client.
  TSmtpCli SmtpCli1;

public slots:
  void SendMail1Click();
  void FailedAddresses1Click();
  // The current newsletter to the last run's failed addresses, with that run's settings.
  void SendToFailed1Click();
  void MailLog1Click();

private:
  TDigest AssembleMessage(bool mergeCodes) override;
  std::string ShowAddress(const std::string &entry) override;
  void SetStatus(const std::string &text) override;
  void SetProtocolLine(const std::string &text) override;
  void SetProgress(int percent) override;
  void ShowInformation(const std::string &text) override;
  void ShowFailureReport(const std::string &text) override;
  TAnswer AskMergeFieldCodes() override;
  TAnswer AskResume(int already, int total, int remaining) override;
  void BeginRetryWait(int deferred) override;
  void EndRetryWait() override;
  // Runs the job under the list's lock, with the busy commands disabled.
  void RunJob(const TMailingJob &job);

  std::string dataDir_;
  QWidget *window_;
  TStatusBar1 *statusBar_;
  TMailingHooks hooks_;
  QList<QAction *> busyActions_;
  bool running_ = false;
  TMailingRun *run_ = nullptr;
  QProgressDialog *retryWait_ = nullptr;
  // The last run's settings, for a send to its failed addresses.
  bool hasLastJob_ = false;
  TMailingJob lastJob_;
  bool sendHtml_ = false;
  bool useGenProps_ = false;
};
