#pragma once
// Non-blocking POP3 client on the event-driven socket. Every operation sends at most one
// command and returns at once; its outcome arrives through events, the last of which,
// OnRequestDone, is delivered later from the event loop.
#include "net/Pop3Reply.h"
#include "net/WSocket.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <deque>
#include <string>
#include <vector>

class QObject;

// Misuse of the component (wrong state, not connected); nothing was sent.
class Pop3Exception : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// Phase of the POP3 session.
enum TPop3ProtocolState {
  pop3Disconnected,
  pop3WaitingUser, // greeting accepted
  pop3WaitingPass, // USER accepted
  pop3Transaction  // logged in
};

// What the component is doing.
enum TPop3State {
  pop3Ready,
  pop3DnsLookup,
  pop3Connecting,
  pop3Connected,
  pop3InternalReady, // between the steps of Open
  pop3WaitingBanner,
  pop3WaitingResponse,
  pop3Abort
};

// The operation OnRequestDone reports on (ordinals are part of the interface).
enum TPop3Request {
  pop3Connect = 0,
  pop3User = 1,
  pop3Pass = 2,
  pop3RPop = 3,
  pop3Quit = 4,
  pop3Stat = 5,
  pop3List = 6,
  pop3Retr = 7,
  pop3Top = 8,
  pop3Dele = 9,
  pop3Noop = 10,
  pop3Last = 11,
  pop3RSet = 12,
  pop3Uidl = 13,
  pop3APop = 14,
  pop3Open = 15,
  pop3Capa = 16
};

using TPop3Display = std::function<void(TComponent *Sender, const std::string &Msg)>;
using TPop3RequestDone = std::function<void(TComponent *Sender, TPop3Request RqType, uint16_t Error)>;

// Error numbers that are not socket errors.
constexpr uint16_t Pop3ErrNegative = 500; // a "-ERR" reply, or a reply line refused
constexpr uint16_t Pop3ErrAborted = 426;  // Open ended by Abort

class TCustomPop3Cli : public TComponent {
public:
  TCustomPop3Cli();
  ~TCustomPop3Cli() override;
  TCustomPop3Cli(const TCustomPop3Cli &) = delete;
  TCustomPop3Cli &operator=(const TCustomPop3Cli &) = delete;

  // Settings, read at the call of the operation that uses them.
  std::string Host;
  std::string Port = "pop3";
  std::string UserName; // trimmed when sent
  std::string PassWord; // trimmed for PASS and RPOP, used as is for the APOP digest
  int MsgLines = 0;     // TOP's line count
  int MsgNum = 0;       // argument of LIST, UIDL, RETR, TOP, DELE; set by replies too
  int Tag = 0;
  TMailSecurity Security = secNone;  // TLS from the first byte, or STLS before the login
  std::string TrustedFingerprint;    // SHA-256 of a certificate the user accepted
  TWSocket &WSocket() { return *FWSocket; }

  const std::string &ErrorMessage() const { return FErrorMessage; }
  const std::string &LastResponse() const { return FLastResponse; }
  TPop3ProtocolState ProtocolState() const { return FProtocolState; }
  TPop3State State() const { return FState; }
  bool Connected() const { return FConnected; }
  int StatusCode() const { return FStatusCode; }
  const std::string &TimeStamp() const { return FTimeStamp; }
  int MsgCount() const { return FMsgCount; }
  int MsgSize() const { return FMsgSize; }
  const std::string &MsgUidl() const { return FMsgUidl; }

  virtual void Connect();
  virtual void Open();
  virtual void User();
  virtual void Pass();
  virtual void RPop();
  virtual void APop();
  virtual void Quit();
  virtual void Stat();
  virtual void List();
  virtual void Retr();
  virtual void Top();
  virtual void Dele();
  virtual void Noop();
  virtual void Last();
  virtual void RSet();
  virtual void Uidl();
  virtual void Abort();
  // CAPA (RFC 2449); HasCapability then tells whether a tag such as "PIPELINING" was named.
  virtual void Capa();
  bool HasCapability(const std::string &tag) const;

  // A pipelined request (with PIPELINING): the RETR and DELE commands queued by PipeRetr and
  // PipeDele go out together, at most PipeWindow unanswered at a time, their replies taken
  // in order. OnPipedDone reports each command's end (the handler may queue more); the
  // request, reported as pop3Retr, is done when nothing is left.
  void PipeRetr(int msgNum);
  void PipeDele(int msgNum);
  void Pipeline();
  int PipeWindow = 8;
  std::function<void(TComponent *Sender, TPop3Request RqType, int MsgNum, uint16_t Error)> OnPipedDone;

  // Events; the handler of a line event reads LastResponse (and MsgNum, MsgSize, MsgUidl).
  TPop3Display OnDisplay;
  TNotifyEvent OnMessageBegin, OnMessageLine, OnMessageEnd;
  TNotifyEvent OnListBegin, OnListLine, OnListEnd;
  TNotifyEvent OnUidlBegin, OnUidlLine, OnUidlEnd;
  TNotifyEvent OnStateChange;
  TPop3RequestDone OnRequestDone;
  TPop3Display OnResponse;
  TSessionConnected OnSessionConnected;
  TSessionClosed OnSessionClosed;

protected:
  virtual void TriggerSessionConnected(uint16_t Error);
  virtual void TriggerResponse(const std::string &Msg);
  virtual void TriggerStateChange();
  virtual void TriggerRequestDone(uint16_t Error);

private:
  // Which handler takes the next complete reply line while waiting for a response.
  enum class TNext {
    nxNone,
    nxSingleLine, // "+OK ..." or "-ERR ...": the first line of every reply
    nxMultiLine   // a data line of LIST, UIDL, RETR or TOP, or the closing "."
  };
  // What a positive first line leads to.
  enum class TAfter {
    afDone,        // USER, PASS, RPOP, APOP, DELE, NOOP, RSET, QUIT: "+OK" is all
    afStat,        // "+OK count size"
    afListOne,     // "+OK n size" of LIST n
    afLast,        // "+OK n" of LAST
    afUidlOne,     // "+OK n identifier" of UIDL n
    afListMulti,   // "+OK", then "n size" lines up to "."
    afUidlMulti,   // "+OK", then "n identifier" lines up to "."
    afMessageMulti, // "+OK", then the message's lines up to "."
    afCapaMulti,    // "+OK", then one capability per line up to "."
    afStls          // "+OK" to STLS: TLS starts
  };
  // Parser run on each line of a multi-line reply.
  enum class TLineParser { lpNone, lpList, lpUidl };
  // Steps of the Open chain, with their fixed codes.
  enum TStep : unsigned {
    stConnect = 1, // greeting "+OK ... <time stamp>"
    stUser = 2,    // "+OK" to USER
    stPass = 3,    // "+OK" to PASS: logged in
    stRPop = 4,
    stQuit = 5,
    stAPop = 6,
    stStat = 7,
    stList = 8,
    stUidl = 9,
    stRetr = 10,
    stTop = 11,
    stDele = 12,
    stNoop = 13,
    stRSet = 14,
    stLast = 15
  };

  void SetState(TPop3State s);
  void SetErrorIfEmpty(const std::string &text);
  void Display(const std::string &msg);
  [[noreturn]] void Misuse(const std::string &msg);
  void CheckReady();
  void CheckConnected();
  void CheckTransaction(const char *word);
  void SendCommand(TPop3Request rq, const std::string &line, TPop3ProtocolState onSuccess,
                   TAfter after, const std::string &traceLine = {});

  void WSocketDnsLookupDone(uint16_t Error);
  void WSocketSessionConnected(uint16_t Error);
  void WSocketDataAvailable(uint16_t Error);
  void WSocketSessionClosed(uint16_t Error);
  void ConnectFailed(uint16_t Error, const std::string &text);
  void LineTooLong();

  bool HandleGreeting();
  // TLS of the session (Pop3Secure.cpp).
  void ApplySecurity();
  bool NeedStls() const;
  void StlsAccepted();
  void StlsRefused();
  void WSocketTlsDone(uint16_t Error);
  void HandleSingleLine();
  void HandleMultiLine();
  void StartMultiLine(TNotifyEvent *begin, TNotifyEvent *line, TNotifyEvent *end,
                      TLineParser parser);
  void Fire(const TNotifyEvent &e) {
    if (e)
      e(this);
  }

  // Pipelining (Pop3Pipeline.cpp).
  void PipeSend();
  void PipeExpect();
  bool PipeReplyDone(uint16_t error);
  struct TPiped {
    TPop3Request Rq;
    int Num;
  };
  std::deque<TPiped> FPipeQueue, FPipeSent;
  bool FPiping = false;
  std::vector<std::string> FCapabilities;
  TNotifyEvent FCapaLine, FNoEvent;

  void ChainNext();
  void StartStep(TStep step);

  std::unique_ptr<TWSocket> FWSocket;
  std::unique_ptr<QObject> FSink; // receives the posted completion
  TPop3LineBuffer FLines;

  std::string FErrorMessage, FLastResponse, FTimeStamp, FMsgUidl;
  TPop3ProtocolState FProtocolState = pop3Disconnected;
  TPop3State FState = pop3Ready;
  bool FConnected = false;
  int FStatusCode = 0;
  int FMsgCount = 0, FMsgSize = 0;

  TPop3Request FRequestType = pop3Connect;
  bool FRequestDone = false;
  uint16_t FErrorCode = 0;
  TNext FNext = TNext::nxNone;
  TPop3ProtocolState FNextProtocolState = pop3Disconnected;
  TAfter FAfter = TAfter::afDone;
  TNotifyEvent *FMultiBegin = nullptr, *FMultiLine = nullptr, *FMultiEnd = nullptr;
  TLineParser FLineParser = TLineParser::lpNone;
  int FInEvent = 0; // depth of socket events being handled

  unsigned FSteps = 0; // bit per TStep still to do
  TStep FStep = stConnect; // the step being done
  uint16_t FChainResult = 0;
  bool FChain = false;
};

class TPop3Cli : public TCustomPop3Cli {};
