#pragma once
// Non-blocking SMTP client. Each operation sends at most one command and returns at once;
// its outcome arrives through events, the last of which, OnRequestDone, always comes from the
// event loop. Open (connect, HELO) and Mail (MAIL FROM, RCPT TO, DATA) chain several steps.
#include "net/SmtpAuth.h"
#include "net/WSocket.h"

#include <QDateTime>

#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

class QObject;

class SmtpException : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

enum TSmtpContentType { smtpHTML, smtpPlainText };
enum TSmtpRequest { smtpConnect, smtpHelo, smtpMailFrom, smtpVrfy, smtpRcptTo, smtpData, smtpQuit, smtpRset, smtpOpen, smtpMail };
enum TSmtpState {
  smtpReady, smtpDnsLookup, smtpConnecting, smtpConnected, smtpInternalReady, smtpWaitingBanner,
  smtpWaitingResponse, smtpAbort
};

// One message of a session that carries several (TSmtpCli::Transfer).
struct TSmtpItem {
  int Id = 0;                       // the owner's
  std::string From;                 // the envelope sender
  std::vector<std::string> Rcpts;   // the envelope recipients
  int64_t Size = 0;                 // bytes, for a server that announces SIZE; 0 unknown
  std::string Text;                 // header and body in CR LF lines, not yet dot-stuffed
};
// What became of one: Code 250 when the server took it for every recipient not in Refused.
struct TSmtpItemResult {
  int Code = 0;       // the reply that decided; 0 when the session ended first
  std::string Reply;  // its text, or why the session ended
  std::vector<std::pair<std::string, std::string>> Refused;  // recipient, reply
};

class TSmtpCli;
using TSmtpDisplay = std::function<void(TComponent *Sender, const std::string &Msg)>;
using TSmtpHeaderLineEvent = std::function<void(TComponent *Sender, char *Msg, int32_t Size)>;
using TSmtpGetDataEvent = std::function<void(TComponent *Sender, int32_t LineNum, char *MsgLine, int32_t MaxLen, bool &More)>;
using TSmtpRequestDone = std::function<void(TComponent *Sender, TSmtpRequest RqType, uint16_t Error)>;
using TSmtpAttachmentContentType =
    std::function<void(TComponent *Sender, int32_t FileNumber, std::string &FileName, std::string &ContentType)>;
using TSmtpProcessHeader = std::function<void(TComponent *Sender, std::vector<std::string> &HdrLines)>;

// One reply line of the server, as a value.
struct TSmtpReply {
  int Code = 0;       // the number at the start of the line (0 when none)
  bool More = false;  // "-" after the code: more lines of the same reply follow
  bool Valid = false; // three digits, then the end, a blank or "-": anything else is no reply
};
// Reads the code after blanks, tabs, CR and LF, with an optional sign; "-" after it marks a
// line that is continued.
TSmtpReply ParseSmtpReply(const std::string &line);
// Removes the first complete CR LF line from `buffer` into `line` (without CR LF).
bool TakeSmtpLine(std::string &buffer, std::string *line);
// "Thu, 5 Mar 2026 09:05:07 +0100": English names whatever the locale, the time's own offset.
std::string SmtpDateText(const QDateTime &time);
// A header line made safe to send: line breaks inside it become folded continuation lines
// (no line of its own can appear), and physical lines longer than 998 characters are folded
// at a blank (or cut with a fold where there is none), so nothing of the value is lost.
std::string FoldHeaderLine(const std::string &line);
// The base64 text of up to 45 bytes, one line of an attachment.
std::string SmtpBase64Line(const char *data, int len);

class TSmtpCli : public TComponent {
public:
  TSmtpCli();
  ~TSmtpCli() override;
  TSmtpCli(const TSmtpCli &) = delete;
  TSmtpCli &operator=(const TSmtpCli &) = delete;

  // Requests.
  void Connect();
  void Helo();
  void Vrfy();
  void MailFrom();
  void RcptTo();
  void Data();
  void Quit();
  void Rset();
  void Abort();
  void Open();
  void Mail();
  // Sends message after message through the open session, each taken from OnNextItem and
  // reported through OnItemDone, until OnNextItem gives none; then smtpMail is done. With
  // PIPELINING, MAIL FROM, RCPT TO and DATA go in one write, and the end of one message in
  // the write of the next one's commands. A session that drops fails what it has not seen
  // accepted; Abort does the same.
  void Transfer();
  // The message the next DATA would send (header, body, attachments), as one text: CR LF
  // lines, not dot-stuffed. Raises for an attachment that cannot be read.
  std::string ComposeText();

  // Properties.
  std::string Host;
  std::string Port = "smtp";
  std::string SignOn;
  std::string FromName;
  std::vector<std::string> RcptName;
  std::string HdrFrom, HdrTo, HdrReplyTo, HdrReturnPath, HdrSubject;
  std::string CharSet = "iso-8859-1";
  // The header lines of the text body (its Content-Type and Content-Transfer-Encoding),
  // when the owner hands out a body already encoded; empty: the plain text type and 7bit.
  std::vector<std::string> BodyHeaders;
  TSmtpContentType ContentType() const { return FContentType; }
  void SetContentType(TSmtpContentType value);
  const std::string &ErrorMessage() const { return FErrorMessage; }
  const std::string &LastResponse() const { return FLastResponse; }
  int32_t Tag = 0;
  const std::vector<std::string> &EmailFiles() const { return FEmailFiles; }
  // Keeps the non-blank, trimmed entries; raises "File not found '...'" for a missing file.
  void SetEmailFiles(const std::vector<std::string> &files);
  // The names the message gives the files of EmailFiles, in CharSet, when their paths are
  // in the file system's encoding; empty: each file's own name.
  std::vector<std::string> EmailFileNames;

  // Security and login. With none of them asked for, the session is the plain HELO one.
  TMailSecurity Security = secNone;
  bool Login = false;                   // log in with Username and Password
  std::string Username, Password;
  bool AllowClearTextPassword = false;  // the user's explicit choice for this server
  std::string TrustedFingerprint;       // SHA-256 of a certificate the user accepted
  int64_t MessageSize = 0;              // bytes of the next message when known, for SIZE
  // The bytes of the message the next DATA sends with `body` as the owner's lines: its
  // header, body and attachments as they go out, without the transparency dots.
  int64_t MessageSizeFor(const std::vector<std::string> &body);
  const TSmtpCapabilities &Capabilities() const { return FCaps; }

  TSmtpState State() const { return FState; }
  bool Connected() const { return FConnected; }
  int32_t StatusCode() const { return FStatusCode; }
  TSmtpRequest RequestType() const { return FRequestType; }
  // Progress of the attachment being sent: its size and the bytes read so far.
  int64_t FileSize() const { return FFileSize; }
  int64_t FileRead() const { return FFileRead; }
  TWSocket &WSocket() { return FWSocket; }

  bool PreferEhlo = false;  // EHLO even for a plain session, to learn what the server offers

  // Events.
  std::function<bool(TComponent *Sender, TSmtpItem &Item)> OnNextItem;
  std::function<void(TComponent *Sender, const TSmtpItem &Item, const TSmtpItemResult &Result)> OnItemDone;
  TSmtpDisplay OnDisplay, OnCommand, OnResponse;
  TSmtpGetDataEvent OnGetData;
  TSmtpHeaderLineEvent OnHeaderLine;
  TSmtpRequestDone OnRequestDone;
  TSessionConnected OnSessionConnected;
  TSessionClosed OnSessionClosed;
  TSmtpAttachmentContentType OnAttachContentType;
  TNotifyEvent OnStateChange;            // every change of State
  TSmtpProcessHeader OnProcessHeader;    // may edit the header lines before they go out

  static constexpr int ReceiveBufferSize = 4096;
  static constexpr int DataBufferSize = 1024;
  // Lines one reply may have: a server that never ends its reply must not hold us for ever.
  static constexpr int MaxReplyLines = 256;

private:
  // The steps of a composite request, in the fixed order they run.
  enum TSmtpFct { fctConnect, fctHelo, fctVrfy, fctMailFrom, fctRcptTo, fctData, fctQuit, fctCount };
  // What comes next in the message body.
  enum TBodyPhase { bpOwner, bpFiles, bpDone };

  void SetState(TSmtpState value);
  void CheckReady();
  void CheckConnected();
  void Display(const std::string &msg);
  void SendCommand(const std::string &text, const std::string &before = std::string());
  void ExecAsync(TSmtpRequest rq, const std::string &cmd, std::vector<int> okCodes,
                 std::function<void()> done, const std::string &before = std::string());
  void ReplyLine();  // the line handler of the command in progress
  // Traces and parses the last line of a reply; false when it ended the session (no reply
  // at all, or one too long to take).
  bool TakeReplyLine(TSmtpReply *reply);
  void TriggerRequestDone(int error);
  void RunComposite(TSmtpRequest rq, std::initializer_list<TSmtpFct> steps);
  void NextCompositeStep();
  void SetSocketFailure(int error);
  void SetFailure(const std::string &response, int code);
  // Ends the request with a local failure (500 and `response`) and drops the session.
  void FailSession(const std::string &response);
  bool ReplyTooLong();

  void DnsLookupDone(uint16_t error);
  void SessionConnected(uint16_t error);
  void SessionClosed(uint16_t error);
  void DataAvailable();
  void HandleLine(const std::string &line);
  void BannerLine();
  void RcptToNext();
  void DataReplied();
  void DataSent();
  void QuitReplied();

  // Secure start of the session: EHLO, STARTTLS, AUTH.
  bool UseEhlo() const;
  std::string EhloName();
  void ApplySecurity();
  void Ehlo();
  void EhloReplied();
  void StartTlsReplied();
  void TlsDone(uint16_t error);
  void Authenticate();
  void SendSecret(const std::string &shown, const std::string &sent, int okCode, std::function<void()> done);
  void AuthReplied();
  void EndSession(const std::string &response, int code);
  bool RefuseOversize();

  void BuildHeader();
  std::string NextHeaderLine();
  bool NextBodyLine(std::string *line);
  void QueueFileHeader();
  bool OpenFile();
  void CloseFile();

  // Transfer: the messages sent and not yet decided, and the replies awaited, in order.
  struct TFlight {
    TSmtpItem Item;
    TSmtpItemResult Result;
    bool MailOk = false;
    size_t Accepted = 0;  // recipients the server took
    size_t NextRcpt = 0;  // lock-step: the next RCPT TO to send
  };
  enum TAwaitKind { awRset, awMail, awRcpt, awData, awDot };
  struct TAwait {
    TFlight *Flight;
    TAwaitKind Kind;
    size_t Rcpt;
  };
  void TransferLine();
  void TransferReply(int code);
  void TransferNext();
  bool QueueItem(std::string &out);
  void QueueCommand(std::string &out, const std::string &cmd, TFlight *flight, TAwaitKind kind, size_t rcpt = 0);
  void FinishFlight(TFlight *flight);
  void FailFlights(const std::string &reason);
  bool FTransferring = false;
  bool FNeedRset = false;
  bool FComposing = false;
  std::deque<TFlight> FFlights;
  std::deque<TAwait> FAwaits;

  TWSocket FWSocket;
  std::unique_ptr<QObject> FSink;
  TSmtpState FState = smtpReady;
  TSmtpContentType FContentType = smtpPlainText;
  std::string FTextType = "text/plain";
  bool FConnected = false;
  int32_t FStatusCode = 0;
  TSmtpRequest FRequestType = smtpConnect;
  std::string FErrorMessage, FLastResponse;
  std::vector<std::string> FEmailFiles;

  TSmtpCapabilities FCaps;
  std::vector<std::string> FEhloLines;
  std::string FShownCommand;  // what the trace shows instead of a command carrying a secret

  std::string FReceiveBuffer;
  int FReplyLines = 0;  // lines of the reply under way
  std::vector<int> FOkResponses;
  std::function<void()> FNext;       // line handler while waiting for a reply
  std::function<void()> FDoneAsync;  // runs when the reply is complete
  bool FRequestDoneFlag = true;
  int FRequestResult = 0;

  bool FHighLevelFlag = false;
  bool FFctSet[fctCount] = {};
  int FHighLevelResult = 0;

  std::vector<std::string> FRcptList;
  size_t FRcptIndex = 0;
  std::vector<std::string> FHdrLines;
  size_t FHdrIndex = 0;
  int32_t FLineNum = 0;
  bool FMoreLines = false;

  std::deque<std::string> FMimeLines;
  std::string FBoundary;
  TBodyPhase FBodyPhase = bpOwner;
  size_t FFileIndex = 0;
  std::FILE *FFile = nullptr;
  int64_t FFileSize = 0, FFileRead = 0;
};
