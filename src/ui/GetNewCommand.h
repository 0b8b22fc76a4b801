#pragma once
// The Mail page's Get New: the window's POP3 client and its keep-alive timer, the progress
// window, the retrieval run, and the Maintenance Log command. The window hands in what
// only it knows through hooks, so this class never reaches into the pages' widgets.
#include "mail/PopSettings.h"
#include "mail/RetrievalRun.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>

#include <functional>
#include <string>

class QTimer;
class QTreeWidget;
class QWidget;
class TStatusBar1;
class Tfrm_MailDialog;

struct TGetNewHooks {
  // The current list's name (the pseudo-list's too), its folder and maintenance settings,
  // the general bounce settings; read when Get New is pressed.
  std::function<TRetrievalJob()> Job;
  // The POP server of the current list, or the default one for the pseudo-list.
  std::function<TPopSettings(bool listRun)> PopSettings;
  // The grid shows the selected folder again: after a run, and now and then during one.
  std::function<void()> RefillGrid;
};

// Opens a log file for reading; a missing file gets a message instead.
void OpenLogFile(QWidget *parent, const std::string &path, const QString &missingText);

class TGetNewCommand : public QObject, private IRetrievalHost {
  Q_OBJECT
public:
  TGetNewCommand(const std::string &dataDir, QWidget *window, TStatusBar1 *statusBar, QTreeWidget *tree,
                 TGetNewHooks hooks);
  ~TGetNewCommand() override;

  bool Running() const { return run_.Running(); }
  // For the mail tree's change: ends the session (a run under way stops) before another
  // list is shown.
  void EndSession() { run_.EndSession(); }
  // Copies the POP settings of the list just made current into the client.
  void LoadPopSettings(bool listRun);
  TRetrievalRun &Run() { return run_; }

  // The main window's POP3 client and its keep-alive timer.
  TPop3Cli Pop3;
  QTimer *tmr_POP = nullptr;

protected:
  // A window closed during a run closes once the run has ended.
  bool eventFilter(QObject *watched, QEvent *event) override;

public slots:
  void tbtn_GetMsgClick();
  // "Cancel connect".
  void ToolButton15Click();
  void MaintenanceLog1Click();

private:
  // Puts the selection on the Inbox of the selected list (Get New files into the Inbox).
  void SelectInbox();

  void SetStatus(const std::string &text) override;
  void SetProtocolLine(const std::string &text) override;
  void SetProgress(int percent) override;
  void ShowInformation(const std::string &text) override;
  void ShowProgressWindow(const std::string &label) override;
  void CloseProgressWindow() override;
  void SetKeepAlive(bool enabled) override;
  void MessageFiled() override;

  std::string dataDir_;
  QWidget *window_;
  TStatusBar1 *statusBar_;
  QTreeWidget *tree_;
  TGetNewHooks hooks_;
  TRetrievalRun run_;
  QPointer<Tfrm_MailDialog> frm_MailDialog;
  QElapsedTimer sinceRefill_;
  bool closeAfterRun_ = false;
};
