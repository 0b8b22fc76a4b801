#pragma once
// The mailing run behind Send Mail: it hands the newsletter to the SMTP client once per
// recipient or once per batch of recipients, keeps the session log and the file of failed
// addresses, reports its progress and files the Sent copy. It waits for the client in the
// event loop and reaches the window only through IMailingHost, so it runs headless.
#include "compose/AssembleMessage.h"
#include "mail/FailureReport.h"
#include "mail/MailSessionFiles.h"
#include "net/SmtpProt.h"
#include "storage/ServerRegistry.h"

#include <string>
#include <vector>

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
  enum class TAnswer { aYes, aNo, aCancel };
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
  // The newsletter.
  std::string Subject;
  std::vector<std::string> Attachments;
  bool FileSentCopy = true;     // false for a trial run whose messages go nowhere real
};

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
  // The lines of the message last assembled.
  const std::vector<std::string> &Digest() const { return digest_; }
  // What the last run did, for its report.
  const TMailingOutcome &Outcome() const { return outcome_; }

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
  void ListServerChoice(const TMailingJob &job, int *method, int *perMessage);
  void RunPerRecipient(const TMailingJob &job);
  void SendToRecipient(const TMailingJob &job, const std::string &entry, const std::string &shownEntry);
  void RunBatches(const TMailingJob &job, std::string addresses, int batchSize);

  std::string dataDir_;
  TSmtpCli &client_;
  IMailingHost &host_;
  TMailSessionFiles files_;
  std::vector<std::string> digest_;
  std::vector<std::string> sentDigest_;  // the last message some recipient accepted
  std::vector<std::string> accepted_;    // the entries that accepted a message
  TMailingOutcome outcome_;
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
};
