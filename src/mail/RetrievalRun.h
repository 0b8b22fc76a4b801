#pragma once
// The retrieval run behind Get New: it logs in to the current list's POP server, asks for
// each message's identifier and fetches the messages not fetched before, files each in the
// Inbox of its list with its record, hands it to list maintenance, records its identifier
// in "UIDLs.dat" and, when the list says so, deletes it from the server. It waits for the
// client in the event loop and reaches the window only through IRetrievalHost.
#include "mail/InboxFiler.h"
#include "mail/ListMaintenance.h"
#include "net/Pop3Prot.h"

#include <QElapsedTimer>

#include <memory>
#include <string>
#include <vector>

class TFilterTargets;
class TUidlHistory;

// The window side of the run.
class IRetrievalHost {
public:
  virtual ~IRetrievalHost() = default;
  virtual void SetStatus(const std::string &text) = 0;
  virtual void SetProtocolLine(const std::string &text) = 0;
  virtual void SetProgress(int percent) = 0;
  // An information message box with an OK button.
  virtual void ShowInformation(const std::string &text) = 0;
  // The progress window with its Cancel button, which calls Cancel() of the run.
  virtual void ShowProgressWindow(const std::string &label) = 0;
  virtual void CloseProgressWindow() = 0;
  // The keep-alive timer, on from a login until the session ends.
  virtual void SetKeepAlive(bool enabled) = 0;
  // A message was filed: the grid may show it.
  virtual void MessageFiled() = 0;
};

// What the run needs to know, fixed when Get New is pressed.
struct TRetrievalJob {
  std::string ListName;  // the current list, or the pseudo-list
  std::string ListPath;  // its folder, ending in '/' (the data directory for the pseudo-list)
  bool Delete = false;   // delete fetched messages from the server
  TMaintenanceSettings Maintenance;
};

class TRetrievalRun {
public:
  // The run sets the client's events for its own lifetime.
  TRetrievalRun(const std::string &dataDir, TPop3Cli &client, IRetrievalHost &host);
  ~TRetrievalRun();
  TRetrievalRun(const TRetrievalRun &) = delete;
  TRetrievalRun &operator=(const TRetrievalRun &) = delete;

  // The whole Get New: the log's heading, the fetch, the summary. The client's Host,
  // Port, UserName and PassWord are set beforehand.
  void GetNewMail(const TRetrievalJob &job);
  // From the progress window's closing: the run stops at its next check.
  void Cancel() { cancelled_ = true; }
  // The keep-alive: a NOOP while the session idles between runs.
  void KeepAlive();
  // Ends the session before another list is shown: ends a run under way at once, else
  // waits for the client and sends QUIT.
  void EndSession();

  bool Running() const { return running_; }
  // How long the server may stay silent before the session is given up.
  void SetReplyTimeout(int ms) { replyTimeoutMs_ = ms; }
  // Counts of the last run.
  int Stored() const { return stored_; }
  int Added() const { return added_; }
  int Removed() const { return removed_; }
  // The last run logged in (or found the session open), and the messages it left on the
  // server unfetched: neither stored now nor recorded before (failures, a cancel, a drop).
  bool LoggedIn() const { return loggedIn_; }
  int MessageCount() const { return count_; }
  int Unfetched() const { return count_ - known_ - stored_; }
  // The locale the message files are named in (the system's by default).
  void SetLocale(const QLocale &locale) { filer_ = TInboxFiler(locale); }

  // The client's events.
  void Pop3Display(TComponent *Sender, const std::string &Msg);
  void Pop3UidlLine(TComponent *Sender);
  void Pop3PipedDone(TComponent *Sender, TPop3Request RqType, int MsgNum, uint16_t Error);
  void Pop3MessageBegin(TComponent *Sender);
  void Pop3MessageLine(TComponent *Sender);
  void Pop3MessageEnd(TComponent *Sender);
  void Pop3RequestDone(TComponent *Sender, TPop3Request RqType, uint16_t Error);

private:
  enum class TWait { wDone, wFailed, wCancelled, wTimedOut };
  // Starts a request and waits until the client has reported it done and is ready.
  // A cancellable wait gives the session up when the run is cancelled.
  TWait Request(void (TPop3Cli::*call)(), TPop3Request expected, bool cancellable = true);
  void WaitUntilReady();
  void FetchMail(const TRetrievalJob &job);
  // One message: UIDL, then RETR and what follows when it is new. False ends the run.
  bool FetchOne(const TRetrievalJob &job, int n);
  // UIDL of one message, into identifier_ ("" when the server gave none). False ends the run.
  bool AskIdentifier(int n);
  bool Delete(int n);
  // CAPA, when something is to be fetched: whether the server takes pipelined commands.
  bool CanPipeline();
  // Every new message in one pipelined request (DELE after each one stored when the list
  // says so). False ends the run.
  bool FetchPipelined(const TRetrievalJob &job);
  void DeleteRecorded();
  void StoreMessage();
  void UpdateGauge();
  void Quit();
  // Makes the filed messages durable, then records their identifiers. False (with the
  // session dropped) when that failed.
  bool Commit();
  std::string ErrorText(uint16_t error) const;

  std::string dataDir_;
  TPop3Cli &client_;
  IRetrievalHost &host_;
  TInboxFiler filer_;
  std::unique_ptr<TListMaintenance> maintenance_;
  std::unique_ptr<TFilterTargets> targets_;
  std::unique_ptr<TUidlHistory> history_;

  std::string word_;                 // the command in progress: STAT, UIDL, RETR or NOOP
  std::string identifier_;           // of the message being fetched
  std::vector<std::string> buffer_;  // the UIDL trace lines, then the message
  size_t bufferBytes_ = 0;           // the buffer's text with its line ends
  int shownPercent_ = -1;
  bool sizeShown_ = false;           // the message's status text is up
  bool messageFiled_ = false;        // the message under way is on disk with its record
  int msgNum_ = 0;                   // its number on the server
  std::string storeError_;
  bool running_ = false;
  bool cancelled_ = false;
  bool openFailed_ = false;
  // Outcome of the request under way.
  bool requestDone_ = false;
  uint16_t requestError_ = 0;
  TPop3Request expected_ = pop3Connect;
  bool waiting_ = false;
  int replyTimeoutMs_ = 60000;
  QElapsedTimer sinceCommit_;
  class QTimer *silence_ = nullptr;
  // Identifier of each message number, for the final deletion pass ("" when unknown).
  std::vector<std::string> identifiers_;
  std::vector<bool> deleted_;
  bool piped_ = false;       // this run's messages come pipelined
  bool pipeDelete_ = false;
  int stored_ = 0;
  int known_ = 0;  // messages found recorded by an earlier run
  int count_ = 0;
  bool loggedIn_ = false;
  int added_ = 0;
  int removed_ = 0;
};
