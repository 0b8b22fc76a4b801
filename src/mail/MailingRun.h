#pragma once
// The mailing run behind Send Mail: it hands the newsletter to the SMTP client once per
// recipient or once per batch of recipients, keeps the session log and the file of failed
// addresses, reports its progress and files the Sent copy. It waits for the client in the
// event loop and reaches the window only through IMailingHost, so it runs headless.
#include "compose/AssembleMessage.h"
#include "mail/FailureReport.h"
#include "mail/MailSessionFiles.h"
#include "mail/MessageForm.h"
#include "mail/SendJournal.h"
#include "net/SmtpProt.h"
#include "storage/ServerRegistry.h"

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QEventLoop;
class QTimer;

// The window side of the run.
class IMailingHost {
public:
  virtual ~IMailingHost() = default;
  // Compiles the message to send, with field codes merged for the recipient last shown.
  virtual TDigest AssembleMessage(bool mergeCodes) = 0;
  // Shows an address entry of the list on the address panel; returns its e-mail address.
  virtual std::string ShowAddress(const std::string &entry) = 0;
  virtual void SetStatus(const std::string &text) = 0;
  virtual void SetProtocolLine(const std::string &text) = 0;
  virtual void SetProgress(int percent) = 0;
  // An information message box with an OK button.
  virtual void ShowInformation(const std::string &text) = 0;
  // The report of a run that ended with failures.
  virtual void ShowFailureReport(const std::string &text) { ShowInformation(text); }
  // The run waits before trying deferred recipients again; Cancel() of the run stops it.
  virtual void BeginRetryWait(int /*deferred*/) {}
  virtual void EndRetryWait() {}
  enum class TAnswer { aYes, aNo, aCancel };
  // A run of this newsletter to this list stopped half-way: "N of M recipients already
  // received this newsletter. Send to the remaining K only?" Yes sends to the K, No to all.
  virtual TAnswer AskResume(int /*already*/, int /*total*/, int /*remaining*/) { return TAnswer::aYes; }
  // The message holds field codes but merging was not asked for: merge them (Yes), send
  // the codes as they are (No) or send nothing (Cancel).
  virtual TAnswer AskMergeFieldCodes() { return TAnswer::aNo; }
};

// Everything the run needs to know, fixed before it starts.
struct TMailingJob {
  bool FromList = false;        // the Send to List page was active
  std::vector<std::string> CheckedEntries;  // list page: the checked entries, in order
  std::string TypedAddresses;   // address page: the typed text
  bool FieldCodes = false;      // one message per recipient, codes merged
  // Address page options.
  std::string Server;           // the chosen SMTP server
  std::string DialogFrom;
  bool BCC = false;
  bool GenProps = false;
  std::string GenEmail, GenReply;  // the general properties' addresses
  // The current list.
  std::string ListFolder;       // ends with "/"; "" for the pseudo-list (the data directory)
  std::string ListTo, ListFrom, ListReply;
  std::string ListServer, ListPort, ListUser;
  // The list's own security (0 none, 1 STARTTLS, 2 SSL/TLS; -1: its server's registry entry's
  // security and login) and login with ListUser and ListPassword.
  int ListSecurity = -1;
  bool ListLogin = false;
  std::string ListPassword;
  std::string DefaultServer;    // the default SMTP server, for a list without a server of its own
  int ListMethod = 0;           // 0 one at a time, 1 ListBatchSize at a time, 2 all; -1 none
  int ListBatchSize = 1;
  int ListPace = 0;             // at most so many messages a minute through the list's server; 0 none
  // Sessions at once and messages per session; 0: the server entry's (6 and 100 without one).
  int Sessions = 0;
  int SessionMessages = 0;
  std::string ListName;         // the list's name; "" for no real list
  std::string FromName;         // display name of the From header
  TUnsubscribeSettings Unsubscribe;
  // The newsletter.
  std::string NewsletterFile;   // its file; "" while untitled
  std::string Subject;
  std::vector<std::string> Attachments;
  bool FileSentCopy = true;     // false for a trial run whose messages go nowhere real
  bool KeepJournal = true;      // the journal that lets an interrupted run be resumed
  // Pauses before the rounds that try deferred (4xx) recipients again, in milliseconds;
  // empty: the server entry's (30 s, 2 min and 5 min without one).
  std::vector<int> RetryPauses;
};

struct TListRecord;
// The list's sender name (the user's name when it has none), unsubscribe settings, name
// and the pace of its own server.
void SetListSender(TMailingJob &job, const std::string &listName, const TListRecord &list,
                   const std::string &userName);

class TMailingRun {
public:
  // The run sets the client's events for its own lifetime.
  TMailingRun(const std::string &dataDir, TSmtpCli &client, IMailingHost &host);
  ~TMailingRun();

  // The whole Send: assembles, runs the sessions and files the Sent copy. Returns the path
  // of the Sent file, or "" when nothing was filed.
  std::string PrepareSend(const TMailingJob &job);
  // Server, sign-on and batch size from the list or the registry, then RunMailing.
  // False when no send method applies and nothing was done.
  bool StartMailing(const TMailingJob &job, const std::string &addresses, int count);
  void RunMailing(const TMailingJob &job, std::string addresses, int batchSize);

  int Sent() const { return sent_; }
  int Failed() const { return failed_; }
  bool Running() const { return running_; }
  // How long the server may stay silent before a request is given up.
  void SetReplyTimeout(int ms) { replyTimeoutMs_ = ms; }
  // When each message of the last run was started (milliseconds of a steady clock).
  const std::vector<double> &MessageStarts() const { return messageStarts_; }
  // The slot the pace gave each of them (0 when it could start at once).
  const std::vector<double> &MessageSlots() const { return messageSlots_; }
  // The lines of the message last assembled.
  const std::vector<std::string> &Digest() const { return digest_; }
  // What the last run did, for its report.
  const TMailingOutcome &Outcome() const { return outcome_; }
  // Stops the wait before a retry round; what is still deferred counts as failed.
  void Cancel();
  bool Cancelled() const { return cancelled_; }

  // The client's events.
  void SmtpCli3RequestDone(TComponent *Sender, TSmtpRequest RqType, uint16_t Error);
  void SmtpCli3HeaderLine(TComponent *Sender, char *Msg, int32_t Size);
  void SmtpCli3ProcessHeader(TComponent *Sender, std::vector<std::string> &HdrLines);
  void SmtpCli3GetData(TComponent *Sender, int32_t LineNum, char *MsgLine, int32_t MaxLen, bool &More);
  void SmtpCli3Display(TComponent *Sender, const std::string &Msg);

private:
  void WaitUntilReady();
  void SetServer(const std::string &host, const std::string &port, const std::string &signOn);
  void SetServerSecurity(const TSmtpServer &server);
  // Starts a request and waits until the client has reported it done.
  void Request(void (TSmtpCli::*call)(), TSmtpRequest expected);
  void Assemble(bool mergeCodes);
  // Sets the client's envelope and header values (raises for a missing attachment).
  void SetMessage(const TMailingJob &job, const std::vector<std::string> &recipients, const std::string &hdrTo,
                  const std::string &hdrFrom, const std::string &hdrReplyTo);
  // Sends the client's message; `entries` are its recipients as the user wrote them.
  void SendOneMessage(const std::vector<std::string> &entries);
  void CountFailed(const std::vector<std::string> &recipients, const std::string &reason);
  void FailMessage(const std::vector<std::string> &recipients, const std::string &reason);
  std::string ClientReason(int error) const;
  // The server's refusal of one recipient, else `otherwise`.
  std::string RefusalOf(const std::string &recipient, const std::string &otherwise) const;
  // Server, port, sign-on and method of the list, or of the default server when the list
  // has no server of its own.
  void ListServerChoice(const TMailingJob &job, int *method, int *perMessage, int *pace);
  void RunPerRecipient(const TMailingJob &job);
  void SendToRecipient(const TMailingJob &job, const std::string &entry, const std::string &shownEntry);
  // Sets the client's message for one recipient; false when it failed (and was counted).
  bool PrepareRecipient(const TMailingJob &job, const std::string &entry, const std::string &shownEntry);
  // Sets the client's message for the next batch: 1 done, 0 none left, -1 failed (counted).
  int PrepareBatch(const TMailingJob &job, std::string &addresses, int batchSize, std::vector<std::string> *entries);
  void RunBatches(const TMailingJob &job, std::string addresses, int batchSize);
  // A 4xx reply: the recipient is tried again at the end of the run.
  void Defer(const std::string &entry, const std::string &recipient, const std::string &reason);
  // The reply code behind a request's error: the code itself, or that of the failure reply.
  int ReplyCodeOf(int error) const;
  void RetryDeferred(const TMailingJob &job, int batchSize);
  // Leaves out the recipients the journal of an interrupted run names, when the user
  // agrees; false when the user cancelled. `resumed` tells whether any were left out.
  bool ApplyJournal(TMailingJob &job, const std::string &folder, bool *resumed);
  bool WaitBeforeRetry(int ms, int round, int rounds);
  // Waits, in the event loop, until the server's pace allows the next message.
  void KeepPace();
  // The pace's clock, and the bookkeeping of a message that starts now.
  static double PaceNow();
  void TakeSlot(bool waited);

  // Several sessions at once, several messages each, on the event loop (MailingSessions.cpp).
  struct TSession {
    TSmtpCli *Cli = nullptr;
    std::unique_ptr<TSmtpCli> Own;  // every session but the first has a client of its own
    int Messages = 0;               // taken by the session under way
    bool Opening = false;
    bool Done = false;
    TSmtpRequest Awaiting = smtpRset;  // the request whose report is due; smtpRset: none
    std::string AbortReason;        // why the run ended the session itself
    std::unique_ptr<QTimer> Silence, Slot;
  };
  // The message still to go, as taken from the list.
  struct TQueued {
    std::vector<std::string> Entries, Recipients;
    std::string Shown;
    std::vector<std::string> Digest;
  };
  struct TCursor {
    const TMailingJob *Job = nullptr;
    bool PerRecipient = false;
    std::vector<std::pair<std::string, std::string>> Recipients;  // entry, shown entry
    size_t Next = 0;
    std::string Addresses;  // batches: what is left
    int BatchSize = 1;
  };
  bool UseSessions() const { return sessionsAtOnce_ > 1 || sessionMessages_ > 1; }
  void SendThroughSessions(TCursor cursor);
  int RemainingMessages() const;
  bool NextItem(TSmtpItem &item);
  void KickSession(TSession &s);
  void SessionRequestDone(TSession &s, TSmtpRequest rq, int error);
  void SessionItemDone(TSession &s, const TSmtpItem &item, const TSmtpItemResult &result);
  void SessionSilent(TSession &s);
  // A session that could not be opened fails (or defers) the message it would have taken.
  void FailNextMessage(const std::string &reason, int code);
  void BindClient();
  void TakeSessionSettings(const TSmtpServer &server);
  // A session the server turned away for now while others carry on (too many at once).
  bool AnotherSessionUp(const TSession &s) const;
  void RetireSession(TSession &s, const std::string &reason);

  std::string dataDir_;
  TSmtpCli &client_;
  IMailingHost &host_;
  TMailSessionFiles files_;
  std::vector<std::string> digest_;
  std::vector<std::string> wire_;        // the digest in its MIME form, as sent
  std::vector<std::string> listHeaders_; // List-Unsubscribe and List-Id of a real list
  std::vector<std::string> sentDigest_;  // the last message some recipient accepted
  std::vector<std::string> accepted_;    // the entries that accepted a message
  TMailingOutcome outcome_;
  TSendJournal journal_;
  double paceMs_ = 0;       // least time between two message starts; 0 no limit
  double nextSlot_ = 0;     // earliest start of the next message
  std::vector<double> messageStarts_, messageSlots_;
  struct TDeferred {
    std::string Entry, Shown, Recipient, Reason;
  };
  std::vector<TDeferred> deferred_;
  std::string shown_;  // per-recipient mode: the entry shown for the message under way
  int retryRound_ = 0;
  std::vector<int> retryPauses_;  // milliseconds, this run's
  bool cancelled_ = false;
  QEventLoop *retryWait_ = nullptr;
  bool timedOut_ = false;
  int sent_ = 0;
  int failed_ = 0;
  bool running_ = false;
  // Sending position in the digest: a line longer than a server takes goes out in
  // pieces rather than being cut.
  size_t dataLine_ = 0;
  size_t dataOffset_ = 0;
  // Outcome of the message under way.
  bool requestDone_ = false;
  TSmtpRequest expected_ = smtpRset;  // none
  int replyTimeoutMs_ = 120000;
  QTimer *silence_ = nullptr;
  int openError_ = 0;
  int mailError_ = 0;
  std::string rcptPending_;
  bool rcptAwaiting_ = false;
  std::vector<std::pair<std::string, std::string>> refused_;  // address, reply
  int sessionsAtOnce_ = 1;
  int sessionMessages_ = 1;
  TCursor cursor_;
  std::vector<std::unique_ptr<TSession>> pool_;
  std::map<int, TQueued> queued_;
  int nextItemId_ = 0;
  QEventLoop *sessionsLoop_ = nullptr;
};
