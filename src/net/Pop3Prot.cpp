#include "net/Pop3Prot.h"

#include "net/MD5.h"

#include <QCoreApplication>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <QObject>

namespace {

// The chain runs its steps in this order, whatever order they were asked in.
constexpr unsigned kStepOrder[] = {1, 2, 3, 4, 12, 13, 8, 14, 6, 10, 11, 7, 9, 15, 5};

std::string SocketErrorReply(uint16_t error, const TWSocket &socket) {
  if (IsSslError(error))
    return "-ERR " + socket.LastErrorMessage();
  return "-ERR " + WSocketErrorDesc(error) + " (Winsock error #" + std::to_string(error) + ")";
}

// A value sent as a command argument must not end the command line early.
std::string OneLine(std::string s) {
  const std::size_t brk = s.find_first_of("\r\n");
  if (brk != std::string::npos)
    s.erase(brk);
  return s;
}

} // namespace

TCustomPop3Cli::TCustomPop3Cli() : FWSocket(std::make_unique<TWSocket>()), FSink(std::make_unique<QObject>()) {
  FWSocket->OnSessionClosed = [this](TComponent *, uint16_t e) { WSocketSessionClosed(e); };
  FWSocket->OnDnsLookupDone = [this](TComponent *, uint16_t e) { WSocketDnsLookupDone(e); };
  FWSocket->OnSessionConnected = [this](TComponent *, uint16_t e) { WSocketSessionConnected(e); };
  FWSocket->OnDataAvailable = [this](TComponent *, uint16_t e) { WSocketDataAvailable(e); };
  FWSocket->OnSslHandshakeDone = [this](TComponent *, uint16_t e) { WSocketTlsDone(e); };
  FCapaLine = [this](TComponent *) { FCapabilities.push_back(FLastResponse); };
}

TCustomPop3Cli::~TCustomPop3Cli() {
  // The socket may report its close while it is destroyed: nobody is listening any more.
  FWSocket->OnSessionClosed = nullptr;
  FWSocket->OnDnsLookupDone = nullptr;
  FWSocket->OnSessionConnected = nullptr;
  FWSocket->OnDataAvailable = nullptr;
  FWSocket->OnSslHandshakeDone = nullptr;
  FWSocket.reset();
}

// ---- small helpers ----------------------------------------------------------------------

void TCustomPop3Cli::SetState(TPop3State s) {
  if (FState == s)
    return;
  FState = s;
  TriggerStateChange();
}

void TCustomPop3Cli::SetErrorIfEmpty(const std::string &text) {
  if (FErrorMessage.empty())
    FErrorMessage = text;
}

void TCustomPop3Cli::Display(const std::string &msg) {
  if (OnDisplay)
    OnDisplay(this, msg);
}

void TCustomPop3Cli::Misuse(const std::string &msg) {
  if (msg.rfind("-ERR", 0) == 0) {
    FErrorMessage = msg;
    Display(msg);
  }
  throw Pop3Exception(msg);
}

void TCustomPop3Cli::CheckReady() {
  if (FState != pop3Ready && FState != pop3InternalReady)
    Misuse("POP3 component not ready");
}

void TCustomPop3Cli::CheckConnected() {
  if (!FConnected)
    Misuse("POP3 component not connected");
}

void TCustomPop3Cli::CheckTransaction(const char *word) {
  CheckReady();
  CheckConnected();
  if (FProtocolState != pop3Transaction)
    Misuse(std::string("-ERR ") + word + " command invalid now");
}

// ---- triggers -----------------------------------------------------------------------------

void TCustomPop3Cli::TriggerSessionConnected(uint16_t Error) {
  if (OnSessionConnected)
    OnSessionConnected(this, Error);
}

void TCustomPop3Cli::TriggerResponse(const std::string &Msg) {
  if (OnResponse)
    OnResponse(this, Msg);
}

void TCustomPop3Cli::TriggerStateChange() { Fire(OnStateChange); }

void TCustomPop3Cli::TriggerRequestDone(uint16_t Error) {
  if (FRequestDone)
    return;
  FRequestDone = true;
  // A failure the step itself did not record (a closed session) must still stop the chain.
  if (FErrorCode == 0)
    FErrorCode = Error;
  if (FChain) {
    if (FState != pop3Abort)
      SetState(pop3InternalReady);
    ChainNext();
    return;
  }
  SetState(pop3Ready);
  // The request type is taken now: the owner may start the next request before the
  // completion is delivered.
  const TPop3Request rq = FRequestType;
  QMetaObject::invokeMethod(
      FSink.get(),
      [this, rq, Error]() {
        if (OnRequestDone)
          OnRequestDone(this, rq, Error);
      },
      Qt::QueuedConnection);
}

// ---- connecting ---------------------------------------------------------------------------

void TCustomPop3Cli::Connect() {
  CheckReady();
  if (FConnected)
    Misuse("POP3 component already connected");
  if (!FChain)
    FRequestType = pop3Connect;
  FRequestDone = false;
  FLines.Clear();
  FErrorCode = 0;
  FNext = TNext::nxNone;
  // A time stamp belongs to one greeting; a server without one must not inherit the last.
  FTimeStamp.clear();
  SetState(pop3DnsLookup);
  try {
    FWSocket->DnsLookup(Host);
  } catch (const ESocketException &e) {
    // An empty or unusable host name: the request ends like a failed lookup.
    ConnectFailed(WSAEINVAL, "-ERR " + std::string(e.what()));
  }
}

void TCustomPop3Cli::ConnectFailed(uint16_t Error, const std::string &text) {
  FLastResponse = text;
  FStatusCode = 500;
  FErrorCode = Error;
  SetErrorIfEmpty(FLastResponse);
  TriggerRequestDone(Error);
}

void TCustomPop3Cli::WSocketDnsLookupDone(uint16_t Error) {
  if (FState != pop3DnsLookup && FState != pop3Abort)
    return;
  if (Error != 0) {
    ConnectFailed(Error, SocketErrorReply(Error, *FWSocket));
    return;
  }
  try {
    FWSocket->SetAddr(FWSocket->DnsResult());
    FWSocket->SetProto("tcp");
    FWSocket->SetPort(Port);
    ApplySecurity();
    SetState(pop3Connecting);
    FWSocket->Connect();
  } catch (const ESocketException &e) {
    // A port that cannot be resolved, for example: report it, never leave the state stuck.
    const int err = FWSocket->LastError();
    FWSocket->Abort();
    ConnectFailed(err > 0 && err < 65536 ? uint16_t(err) : uint16_t(WSAEINVAL),
                  "-ERR " + std::string(e.what()));
  }
}

void TCustomPop3Cli::WSocketSessionConnected(uint16_t Error) {
  if (Error != 0) {
    FLastResponse = SocketErrorReply(Error, *FWSocket);
    FStatusCode = 500;
    FConnected = false;
    FErrorCode = Error;
    SetErrorIfEmpty(FLastResponse);
    TriggerRequestDone(Error);
    FWSocket->Close();
    SetState(pop3Ready);
    return;
  }
  FConnected = true;
  // A pipelined command is a small write while earlier ones are unanswered: it must not wait
  // for their acknowledgement.
  const int noDelay = 1;
  setsockopt(FWSocket->HSocket(), IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
  SetState(pop3WaitingBanner);
}

void TCustomPop3Cli::WSocketSessionClosed(uint16_t Error) {
  const bool midReply = FNext == TNext::nxMultiLine && !FRequestDone;
  FConnected = false;
  FNext = TNext::nxNone;
  if (OnSessionClosed)
    OnSessionClosed(this, Error);
  if (midReply) {
    // The data stopped before its closing line: say so, the lines so far are incomplete.
    FErrorMessage = "-ERR Disconneced unexpectedly";
    Display(FErrorMessage);
  }
  TriggerRequestDone(WSAEINTR);
  FProtocolState = pop3Disconnected;
}

// ---- receiving ----------------------------------------------------------------------------

void TCustomPop3Cli::WSocketDataAvailable(uint16_t) {
  // Read only while there is room; lines already held are cut either way, which always
  // makes room again (a nested call from an owner's handler may find the block full).
  if (FLines.FreeSize() > 0) {
    const int n = FWSocket->Receive(FLines.FreeSpace(), int(FLines.FreeSize()));
    if (n > 0)
      FLines.Commit(std::size_t(n));
  }
  ++FInEvent;
  struct Leave {
    int &depth;
    ~Leave() { --depth; }
  } leave{FInEvent};
  std::string line;
  while (FConnected) {
    const auto r = FLines.NextLine(line);
    if (r == TPop3LineBuffer::TResult::lrTooLong) {
      LineTooLong();
      return;
    }
    if (r != TPop3LineBuffer::TResult::lrLine)
      return;
    FLastResponse = line;
    TriggerResponse(FLastResponse);
    switch (FState) {
    case pop3WaitingBanner:
      if (!HandleGreeting())
        return;
      break;
    case pop3WaitingResponse:
      if (FNext == TNext::nxSingleLine)
        HandleSingleLine();
      else if (FNext == TNext::nxMultiLine)
        HandleMultiLine();
      else
        throw Pop3Exception("Program error: FNext is nil");
      break;
    default:
      Display("< " + FLastResponse);
      break;
    }
  }
}

void TCustomPop3Cli::LineTooLong() {
  // Nothing sensible can follow a line that never ends: end the request and the session.
  FLastResponse.clear();
  FStatusCode = 500;
  FErrorCode = Pop3ErrNegative;
  const std::string text = "-ERR Reply line longer than " +
                           std::to_string(TPop3LineBuffer::MaxLineLength) + " bytes";
  SetErrorIfEmpty(text);
  Display(text);
  FNext = TNext::nxNone;
  FLines.Clear();
  TriggerRequestDone(Pop3ErrNegative);
  FWSocket->Abort();
}

bool TCustomPop3Cli::HandleGreeting() {
  Display("< " + FLastResponse);
  FStatusCode = Pop3IsPositive(FLastResponse) ? 0 : 500;
  if (FStatusCode != 0) {
    SetErrorIfEmpty(FLastResponse);
    FErrorCode = Pop3ErrNegative;
    FWSocket->Close();
    return false;
  }
  FTimeStamp = Pop3TimeStamp(FLastResponse);
  FProtocolState = pop3WaitingUser;
  SetState(pop3Connected);
  if (NeedStls()) {
    SendCommand(pop3Connect, "STLS", pop3WaitingUser, TAfter::afStls);
    return true;
  }
  TriggerSessionConnected(0);
  TriggerRequestDone(0);
  return true;
}

void TCustomPop3Cli::HandleSingleLine() {
  Display("< " + FLastResponse);
  FStatusCode = Pop3IsPositive(FLastResponse) ? 0 : 500;
  if (FStatusCode != 0 && FAfter == TAfter::afStls) {
    StlsRefused();
    return;
  }
  if (FStatusCode != 0) {
    FNext = TNext::nxNone;
    if (FPiping && PipeReplyDone(Pop3ErrNegative))
      return;
    FErrorCode = Pop3ErrNegative;
    SetErrorIfEmpty(FLastResponse);
    TriggerRequestDone(Pop3ErrNegative);
    return;
  }
  FErrorCode = 0;
  FProtocolState = FNextProtocolState;
  FNext = TNext::nxNone;
  switch (FAfter) {
  case TAfter::afDone:
    break;
  case TAfter::afStat: {
    const TPop3Numbers n = Pop3ParseNumbers(FLastResponse);
    FMsgCount = n.First;
    FMsgSize = n.Second;
    break;
  }
  case TAfter::afListOne: {
    const TPop3Numbers n = Pop3ParseNumbers(FLastResponse);
    MsgNum = n.First;
    FMsgSize = n.Second;
    break;
  }
  case TAfter::afLast: {
    // LAST answers one number; read as two it would always come out 0.
    const TPop3Numbers n = Pop3ParseNumbers(FLastResponse);
    MsgNum = Pop3ParseLast(FLastResponse);
    FMsgSize = n.Second;
    break;
  }
  case TAfter::afUidlOne: {
    TPop3UidlEntry u = Pop3ParseUidl(FLastResponse);
    MsgNum = u.MsgNum;
    FMsgUidl = std::move(u.Uidl);
    break;
  }
  case TAfter::afListMulti:
    StartMultiLine(&OnListBegin, &OnListLine, &OnListEnd, TLineParser::lpList);
    return;
  case TAfter::afUidlMulti:
    StartMultiLine(&OnUidlBegin, &OnUidlLine, &OnUidlEnd, TLineParser::lpUidl);
    return;
  case TAfter::afMessageMulti:
    StartMultiLine(&OnMessageBegin, &OnMessageLine, &OnMessageEnd, TLineParser::lpNone);
    return;
  case TAfter::afCapaMulti:
    FCapabilities.clear();
    StartMultiLine(&FNoEvent, &FCapaLine, &FNoEvent, TLineParser::lpNone);
    return;
  case TAfter::afStls:
    StlsAccepted();
    return;
  }
  if (FPiping && PipeReplyDone(0))
    return;
  const bool quit = FRequestType == pop3Quit || (FChain && FStep == stQuit);
  TriggerRequestDone(0);
  if (quit && FConnected)
    FWSocket->Close(); // the server closes too; not waiting for it frees the socket now
}

void TCustomPop3Cli::StartMultiLine(TNotifyEvent *begin, TNotifyEvent *line, TNotifyEvent *end,
                                    TLineParser parser) {
  FMultiBegin = begin;
  FMultiLine = line;
  FMultiEnd = end;
  FLineParser = parser;
  Fire(*FMultiBegin);
  FNext = TNext::nxMultiLine;
}

void TCustomPop3Cli::HandleMultiLine() {
  if (!FConnected) {
    FErrorMessage = "-ERR Disconneced unexpectedly";
    FErrorCode = Pop3ErrNegative;
    Display(FErrorMessage);
    TriggerRequestDone(Pop3ErrNegative);
    return;
  }
  if (Pop3Unstuff(FLastResponse) == TPop3DataLine::dlEnd) {
    Fire(*FMultiEnd);
    FLastResponse.clear();
    FNext = TNext::nxNone;
    if (FPiping && PipeReplyDone(0))
      return;
    TriggerRequestDone(0);
    return;
  }
  if (FLineParser == TLineParser::lpList) {
    const TPop3Numbers n = Pop3ParseNumbers(FLastResponse);
    MsgNum = n.First;
    FMsgSize = n.Second;
  } else if (FLineParser == TLineParser::lpUidl) {
    TPop3UidlEntry u = Pop3ParseUidl(FLastResponse);
    MsgNum = u.MsgNum;
    FMsgUidl = std::move(u.Uidl);
  }
  Fire(*FMultiLine);
}

// ---- commands -----------------------------------------------------------------------------

void TCustomPop3Cli::SendCommand(TPop3Request rq, const std::string &line,
                                 TPop3ProtocolState onSuccess, TAfter after,
                                 const std::string &traceLine) {
  if (!FChain)
    FRequestType = rq;
  FPiping = false;  // any other command ends a pipelined request
  FRequestDone = false;
  FErrorCode = 0;
  FNext = TNext::nxSingleLine;
  FNextProtocolState = onSuccess;
  FAfter = after;
  SetState(pop3WaitingResponse);
  Display("> " + (traceLine.empty() ? line : traceLine));
  // Let the owner show the trace before the reply arrives. Not from inside a socket event:
  // the lines still being cut from the buffer must not be overtaken.
  if (FInEvent == 0 && QCoreApplication::instance())
    QCoreApplication::processEvents();
  FWSocket->SendStr(line + "\r\n");
}

void TCustomPop3Cli::User() {
  CheckReady();
  CheckConnected();
  if (FProtocolState >= pop3WaitingPass)
    Misuse("-ERR USER command invalid now");
  SendCommand(pop3User, "USER " + OneLine(Pop3Trim(UserName)), pop3WaitingPass, TAfter::afDone);
}

void TCustomPop3Cli::Pass() {
  CheckReady();
  CheckConnected();
  if (FProtocolState >= pop3Transaction)
    Misuse("-ERR PASS command invalid now");
  SendCommand(pop3Pass, "PASS " + OneLine(Pop3Trim(PassWord)), pop3Transaction, TAfter::afDone,
              "PASS ********");
}

void TCustomPop3Cli::RPop() {
  CheckReady();
  CheckConnected();
  if (FProtocolState >= pop3Transaction)
    Misuse("-ERR RPOP command invalid now");
  // The trace shows no secret.
  SendCommand(pop3RPop, "RPOP " + OneLine(Pop3Trim(PassWord)), pop3Transaction, TAfter::afDone,
              "RPOP ********");
}

void TCustomPop3Cli::APop() {
  CheckReady();
  CheckConnected();
  if (FProtocolState != pop3WaitingUser)
    Misuse("-ERR APOP command invalid now");
  if (FTimeStamp.empty())
    Misuse("-ERR Server do not support APOP (no timestamp)");
  SendCommand(pop3APop, "APOP " + OneLine(Pop3Trim(UserName)) + " " + MD5Hex(FTimeStamp + PassWord),
              pop3Transaction, TAfter::afDone, "APOP " + OneLine(Pop3Trim(UserName)) + " ********");
}

void TCustomPop3Cli::Quit() {
  CheckReady();
  if (!FConnected) {
    if (!FChain)
      FRequestType = pop3Quit;
    FRequestDone = false;
    TriggerRequestDone(0);
    return;
  }
  SendCommand(pop3Quit, "QUIT", pop3Disconnected, TAfter::afDone);
}

void TCustomPop3Cli::Stat() {
  CheckTransaction("STAT");
  SendCommand(pop3Stat, "STAT", pop3Transaction, TAfter::afStat);
}

void TCustomPop3Cli::List() {
  CheckTransaction("LIST");
  if (MsgNum > 0)
    SendCommand(pop3List, Pop3Command("LIST", MsgNum), pop3Transaction, TAfter::afListOne);
  else
    SendCommand(pop3List, "LIST", pop3Transaction, TAfter::afListMulti);
}

void TCustomPop3Cli::Uidl() {
  CheckTransaction("UIDL");
  if (MsgNum > 0)
    SendCommand(pop3Uidl, Pop3Command("UIDL", MsgNum), pop3Transaction, TAfter::afUidlOne);
  else
    SendCommand(pop3Uidl, "UIDL", pop3Transaction, TAfter::afUidlMulti);
}

void TCustomPop3Cli::Retr() {
  CheckTransaction("RETR");
  SendCommand(pop3Retr, Pop3Command("RETR", MsgNum), pop3Transaction, TAfter::afMessageMulti);
}

void TCustomPop3Cli::Top() {
  CheckTransaction("TOP");
  if (MsgLines < 0)
    Misuse("Invalid MsgLines for TOP command");
  SendCommand(pop3Top, Pop3Command("TOP", MsgNum, MsgLines), pop3Transaction,
              TAfter::afMessageMulti);
}

void TCustomPop3Cli::Dele() {
  CheckTransaction("DELE");
  SendCommand(pop3Dele, Pop3Command("DELE", MsgNum), pop3Transaction, TAfter::afDone);
}

void TCustomPop3Cli::Noop() {
  CheckTransaction("NOOP");
  SendCommand(pop3Noop, "NOOP", pop3Transaction, TAfter::afDone);
}

void TCustomPop3Cli::RSet() {
  CheckTransaction("RSET");
  SendCommand(pop3RSet, "RSET", pop3Transaction, TAfter::afDone);
}

void TCustomPop3Cli::Last() {
  CheckTransaction("LAST");
  SendCommand(pop3Last, "LAST", pop3Transaction, TAfter::afLast);
}

void TCustomPop3Cli::Abort() {
  SetState(pop3Abort);
  FWSocket->CancelDnsLookup();
  FWSocket->Abort();
  FLines.Clear();
  FNext = TNext::nxNone;
  SetState(pop3Ready);
}

// ---- the Open chain -----------------------------------------------------------------------

void TCustomPop3Cli::Open() {
  if (FConnected)
    Misuse("pop3 component already connected");
  CheckReady();
  FRequestType = pop3Open;
  FErrorCode = 0;
  FSteps = (1u << stConnect) | (1u << stUser) | (1u << stPass);
  FChainResult = 0;
  FChain = true;
  FLastResponse.clear();
  FErrorMessage.clear();
  ChainNext();
}

void TCustomPop3Cli::ChainNext() {
  if (FState == pop3Abort) {
    FSteps = 0;
    FChainResult = Pop3ErrAborted;
    FErrorMessage = "426 Operation aborted.";
  } else if (FErrorCode != 0) {
    FChainResult = FErrorCode;
    const bool keepQuit = (FSteps & (1u << stQuit)) && FStep != stQuit;
    FSteps = keepQuit ? (1u << stQuit) : 0;
  }
  for (unsigned step : kStepOrder) {
    if (FSteps & (1u << step)) {
      FSteps &= ~(1u << step);
      FStep = TStep(step);
      FErrorCode = 0;
      try {
        StartStep(FStep);
      } catch (const Pop3Exception &) {
        // The step was refused at its start (the session changed under the chain): end
        // the chain with a failure rather than leave the owner waiting.
        FRequestDone = true;
        FErrorCode = Pop3ErrNegative;
        ChainNext();
      }
      return;
    }
  }
  FChain = false;
  FRequestDone = false;
  TriggerRequestDone(FChainResult);
}

void TCustomPop3Cli::StartStep(TStep step) {
  switch (step) {
  case stConnect: Connect(); break;
  case stUser: User(); break;
  case stPass: Pass(); break;
  case stRPop: RPop(); break;
  case stQuit: Quit(); break;
  case stAPop: APop(); break;
  case stStat: Stat(); break;
  case stList: List(); break;
  case stUidl: Uidl(); break;
  case stRetr: Retr(); break;
  case stTop: Top(); break;
  case stDele: Dele(); break;
  case stNoop: Noop(); break;
  case stRSet: RSet(); break;
  case stLast: Last(); break;
  }
}
