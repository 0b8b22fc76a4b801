#pragma once
// The mailing run behind Send Mail: it hands the newsletter to the SMTP client once per
// recipient or once per batch of recipients, keeps the session log and the file of failed
// addresses, reports its progress and files the Sent copy. It waits for the client in the
// event loop and reaches the window only through IMailingHost, so it runs headless.
#include "mail/MailSessionFiles.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The request types the run tells apart when the client reports one done.
enum class TMailRequest { mrOpen, mrMail, mrQuit, mrOther };

// Envelope and header values of one message.
struct TSmtpEnvelope {
  std::string FromName;
  std::vector<std::string> RcptName;
  std::string HdrFrom, HdrTo, HdrReplyTo, HdrSubject;
  std::vector<std::string> EmailFiles;
};

// What the run uses of the SMTP client. TSmtpCli is wrapped by an adapter of this shape;
// completions must arrive through the event loop, never from inside a call.
class ISmtpClient {
public:
  virtual ~ISmtpClient() = default;
  virtual void SetServer(const std::string &host, const std::string &port, const std::string &signOn) = 0;
  virtual std::string Host() const = 0;
  // Throws when an attached file does not exist.
  virtual void SetEnvelope(const TSmtpEnvelope &envelope) = 0;
  virtual void SetHtml(bool html) = 0;
  virtual bool Ready() const = 0;  // no request under way
  virtual bool Connected() const = 0;
  virtual std::string ErrorMessage() const = 0;
  // The attachment being read, for the gauge.
  virtual int64_t AttachmentSize() const = 0;
  virtual int64_t AttachmentBytesRead() const = 0;
  // Requests; misuse and errors met while starting raise exceptions.
  virtual void Open() = 0;
  virtual void Mail() = 0;
  virtual void Quit() = 0;
  virtual void Abort() = 0;

  std::function<void(const std::string &msg)> OnDisplay;
  std::function<void(char *msg, int size)> OnHeaderLine;
  std::function<void(int lineNum, char *msgLine, int maxLen, bool &more)> OnGetData;
  std::function<void(TMailRequest rqType, int error)> OnRequestDone;
};

// The message as assembled for sending.
struct TAssembledMessage {
  std::vector<std::string> Lines;
  bool Html = false;
};

// The window side of the run.
class IMailingHost {
public:
  virtual ~IMailingHost() = default;
  // Compiles the message to send, with field codes merged for the recipient last shown.
  virtual TAssembledMessage AssembleMessage(bool mergeCodes) = 0;
  // Shows an address entry of the list on the address panel; returns its e-mail address.
  virtual std::string ShowAddress(const std::string &entry) = 0;
  virtual void SetStatus(const std::string &text) = 0;
  virtual void SetProtocolLine(const std::string &text) = 0;
  virtual void SetProgress(int percent) = 0;
  // An information message box with an OK button.
  virtual void ShowInformation(const std::string &text) = 0;
};

// Everything the run needs to know, fixed before it starts.
struct TMailingJob {
  bool FromList = false;        // the Send to List page was active
  std::string ListEntries;      // list page: the checked entries (see ListPageAddresses)
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
  std::string ListFolder;       // ends with "/"
  std::string ListTo, ListFrom, ListReply;
  std::string ListServer, ListPort, ListUser;
  int ListMethod = 0;           // 0 one at a time, 1 ListBatchSize at a time, 2 all; -1 none
  int ListBatchSize = 1;
  // The newsletter.
  std::string Subject;
  std::vector<std::string> Attachments;
};

class TMailingRun {
public:
  TMailingRun(const std::string &dataDir, ISmtpClient &client, IMailingHost &host);
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
  // The lines of the message last assembled.
  const std::vector<std::string> &Digest() const { return digest_; }

  // The client's events.
  void SmtpCli3RequestDone(TMailRequest rqType, int error);
  void SmtpCli3HeaderLine(char *msg, int size);
  void SmtpCli3GetData(int lineNum, char *msgLine, int maxLen, bool &more);
  void SmtpCli3Display(const std::string &msg);

private:
  void WaitUntilReady();
  // Starts a request and waits until the client has reported it done.
  void Request(void (ISmtpClient::*call)());
  void Assemble(bool mergeCodes);
  void SendOneMessage(const TSmtpEnvelope &envelope);
  void CountFailed(const std::vector<std::string> &recipients);
  void RunPerRecipient(const TMailingJob &job);
  void RunBatches(const TMailingJob &job, std::string addresses, int batchSize);
  TSmtpEnvelope Envelope(const TMailingJob &job, const std::vector<std::string> &recipients,
                         const std::string &hdrTo, const std::string &hdrFrom,
                         const std::string &hdrReplyTo) const;

  std::string dataDir_;
  ISmtpClient &client_;
  IMailingHost &host_;
  TMailSessionFiles files_;
  std::vector<std::string> digest_;
  bool html_ = false;
  int sent_ = 0;
  int failed_ = 0;
  bool running_ = false;
  // Sending position in the digest: a line longer than the client takes goes out in
  // pieces rather than being cut.
  size_t dataLine_ = 0;
  size_t dataOffset_ = 0;
  // Outcome of the message under way.
  bool requestDone_ = false;
  int openError_ = 0;
  int mailError_ = 0;
  std::string rcptPending_;
  bool rcptAwaiting_ = false;
  std::vector<std::string> refused_;
};

// "Subject: ..." folded at blanks into lines of at most `width` characters (continuation
// lines start with a blank), so that a long subject is carried whole.
std::string FoldHeaderLine(const std::string &line, size_t width = 78);
