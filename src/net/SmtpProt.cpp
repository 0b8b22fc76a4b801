#include "net/SmtpProt.h"

#include "net/MimeEncode.h"

#include <QByteArray>
#include <QMetaObject>
#include <QObject>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>

namespace {

std::string Trim(const std::string &s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return s.substr(b, e - b);
}

bool FileExists(const std::string &path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string BaseName(const std::string &path) {
  const size_t p = path.find_last_of('/');
  return p == std::string::npos ? path : path.substr(p + 1);
}

// True when `s` starts with `prefix`, ASCII letters compared without regard to case.
bool SameTextPrefix(const std::string &s, const std::string &prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(s[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
      return false;
  return true;
}

std::string TwoDigits(int n) {
  char b[8];
  std::snprintf(b, sizeof b, "%02d", n % 100);
  return b;
}

// Bytes handed to the socket per data-sent event: many lines per write keeps the message in
// few large segments instead of one small segment per line.
constexpr size_t kDataBatch = 32 * 1024;
constexpr size_t kMaxHeaderLine = 998;

}  // namespace

// ---------------------------------------------------------------------------------------------
// Pure helpers

TSmtpReply ParseSmtpReply(const std::string &line) {
  TSmtpReply r;
  size_t i = 0;
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r' || line[i] == '\n')) ++i;
  bool negative = false;
  const bool signed_ = i < line.size() && (line[i] == '+' || line[i] == '-');
  if (signed_) negative = line[i++] == '-';
  const size_t start = i;
  long code = 0;
  while (i < line.size() && line[i] >= '0' && line[i] <= '9') {
    if (code < 1000000) code = code * 10 + (line[i] - '0');
    ++i;
  }
  const size_t digits = i - start;
  r.Code = static_cast<int>(negative ? -code : code);
  r.More = i < line.size() && line[i] == '-';
  r.Valid = !signed_ && digits == 3 && (i == line.size() || line[i] == ' ' || line[i] == '-');
  return r;
}

bool TakeSmtpLine(std::string &buffer, std::string *line) {
  const size_t p = buffer.find("\r\n");
  if (p == std::string::npos) return false;
  line->assign(buffer, 0, p);
  buffer.erase(0, p + 2);
  return true;
}

std::string SmtpDateText(const QDateTime &time) {
  static const char *const kDays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
  static const char *const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const QDate d = time.date();
  const QTime t = time.time();
  const int offset = time.offsetFromUtc() / 60;
  const int a = offset < 0 ? -offset : offset;
  std::string s = kDays[d.dayOfWeek() - 1];
  s += ", " + std::to_string(d.day()) + " " + kMonths[d.month() - 1] + " " + std::to_string(d.year()) + " ";
  s += TwoDigits(t.hour()) + ":" + TwoDigits(t.minute()) + ":" + TwoDigits(t.second()) + " ";
  s += offset < 0 ? '-' : '+';
  s += TwoDigits(a / 60) + TwoDigits(a % 60);
  return s;
}

std::string FoldHeaderLine(const std::string &line) {
  // Split at every kind of line break; a piece that does not start with a blank gets one,
  // so that it continues the header line instead of starting one of its own.
  std::vector<std::string> pieces;
  std::string cur;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < line.size() && line[i + 1] == '\n') ++i;
      pieces.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  pieces.push_back(cur);
  std::string out;
  bool first = true;
  for (std::string p : pieces) {
    if (!first) {
      if (Trim(p).empty()) continue;  // a blank line would end the header
      if (p[0] != ' ' && p[0] != '\t') p.insert(p.begin(), ' ');
    }
    // Fold physical lines that are too long, preferably before a blank.
    while (p.size() > kMaxHeaderLine) {
      const size_t blank = p.find_last_of(" \t", kMaxHeaderLine);
      std::string head;
      if (blank == std::string::npos || blank == 0) {
        head = p.substr(0, kMaxHeaderLine);
        p.replace(0, kMaxHeaderLine, 1, ' ');
      } else {
        head = p.substr(0, blank);
        p = p.substr(blank);
      }
      out += (first ? "" : "\r\n") + head;
      first = false;
    }
    out += (first ? "" : "\r\n") + p;
    first = false;
  }
  return out;
}

std::string SmtpBase64Line(const char *data, int len) {
  return QByteArray(data, len).toBase64().toStdString();
}

// ---------------------------------------------------------------------------------------------
// TSmtpCli

TSmtpCli::TSmtpCli() : FSink(std::make_unique<QObject>()) {
  FWSocket.OnSessionClosed = [this](TComponent *, uint16_t e) { SessionClosed(e); };
}

TSmtpCli::~TSmtpCli() {
  CloseFile();
  FWSocket.OnSessionClosed = nullptr;
  FWSocket.OnDnsLookupDone = nullptr;
}

void TSmtpCli::SetState(TSmtpState value) {
  if (FState == value) return;
  FState = value;
  if (OnStateChange) OnStateChange(this);
}

void TSmtpCli::SetContentType(TSmtpContentType value) {
  FContentType = value;
  FTextType = value == smtpHTML ? "text/html" : "text/plain";
}

void TSmtpCli::SetEmailFiles(const std::vector<std::string> &files) {
  std::vector<std::string> list;
  for (const std::string &f : files) {
    const std::string t = Trim(f);
    if (t.empty()) continue;
    if (!FileExists(t)) throw SmtpException("File not found '" + t + "'");
    list.push_back(t);
  }
  FEmailFiles = std::move(list);
}

void TSmtpCli::CheckReady() {
  if (FState != smtpReady && FState != smtpInternalReady) throw SmtpException("SMTP component not ready");
}

void TSmtpCli::CheckConnected() {
  if (!FConnected) throw SmtpException("SMTP component not connected");
}

void TSmtpCli::Display(const std::string &msg) {
  if (OnDisplay) OnDisplay(this, msg);
}

void TSmtpCli::SendCommand(const std::string &text, const std::string &before) {
  // A line break in an address or name would start a command of its own: drop it.
  std::string cmd = text;
  cmd.erase(std::remove_if(cmd.begin(), cmd.end(), [](char c) { return c == '\r' || c == '\n'; }), cmd.end());
  const std::string shown = FShownCommand.empty() ? cmd : FShownCommand;
  FShownCommand.clear();
  if (OnCommand) OnCommand(this, shown);
  Display("> " + shown);
  if (FWSocket.State() == wsConnected) FWSocket.SendStr(before + cmd + "\r\n");
}

void TSmtpCli::SetFailure(const std::string &response, int code) {
  FLastResponse = response;
  FStatusCode = code;
  if (FErrorMessage.empty()) FErrorMessage = FLastResponse;
}

void TSmtpCli::FailSession(const std::string &response) {
  SetFailure(response, 500);
  FRequestResult = 500;
  FNext = nullptr;
  FDoneAsync = nullptr;
  FReceiveBuffer.clear();
  FWSocket.OnDataSent = nullptr;
  TriggerRequestDone(500);
  FWSocket.Abort();
}

bool TSmtpCli::ReplyTooLong() {
  if (++FReplyLines <= MaxReplyLines) return false;
  FailSession("500 Reply longer than " + std::to_string(MaxReplyLines) + " lines");
  return true;
}

void TSmtpCli::SetSocketFailure(int error) {
  if (IsSslError(error)) {
    SetFailure("500 " + FWSocket.LastErrorMessage(), 500);
    return;
  }
  SetFailure("500 " + WSocketErrorDesc(error) + " (Winsock error #" + std::to_string(error) + ")", 500);
}

// ----- request completion

void TSmtpCli::TriggerRequestDone(int error) {
  if (FRequestDoneFlag) return;
  if (FTransferring)
    FailFlights(error == WSAEINTR ? std::string("The server closed the connection")
                : FErrorMessage.empty() ? "Error " + std::to_string(error)
                                        : FErrorMessage);
  FRequestDoneFlag = true;
  if (error == 0 && FHighLevelFlag) {
    if (FState != smtpAbort) SetState(smtpInternalReady);
    NextCompositeStep();
    return;
  }
  SetState(smtpReady);
  FHighLevelFlag = false;
  const TSmtpRequest rq = FRequestType;
  QMetaObject::invokeMethod(
      FSink.get(),
      [this, rq, error]() {
        if (OnRequestDone) OnRequestDone(this, rq, static_cast<uint16_t>(error));
      },
      Qt::QueuedConnection);
}

void TSmtpCli::RunComposite(TSmtpRequest rq, std::initializer_list<TSmtpFct> steps) {
  FRequestType = rq;
  FRequestResult = 0;
  FHighLevelResult = 0;
  FErrorMessage.clear();
  FLastResponse.clear();
  std::fill(std::begin(FFctSet), std::end(FFctSet), false);
  for (TSmtpFct f : steps) FFctSet[f] = true;
  FHighLevelFlag = true;
  try {
    NextCompositeStep();
  } catch (...) {
    FHighLevelFlag = false;
    throw;
  }
}

void TSmtpCli::NextCompositeStep() {
  if (FState == smtpAbort) {
    std::fill(std::begin(FFctSet), std::end(FFctSet), false);
    FHighLevelResult = 426;
    FLastResponse = "426 Operation aborted.";
  }
  for (int f = 0; f < fctCount; ++f) {
    if (!FFctSet[f]) continue;
    FFctSet[f] = false;
    switch (static_cast<TSmtpFct>(f)) {
      case fctConnect: Connect(); return;
      case fctHelo: Helo(); return;
      case fctVrfy: Vrfy(); return;
      case fctMailFrom: MailFrom(); return;
      case fctRcptTo: RcptTo(); return;
      case fctData: Data(); return;
      case fctQuit: Quit(); return;
      case fctCount: return;
    }
  }
  // Every step done: the composite completes once, with its own request type.
  FHighLevelFlag = false;
  FRequestDoneFlag = false;
  TriggerRequestDone(FHighLevelResult);
}

// ----- connecting

void TSmtpCli::Connect() {
  CheckReady();
  if (FConnected) throw SmtpException("SMTP component already connected");
  if (!FHighLevelFlag) FRequestType = smtpConnect;
  FRequestDoneFlag = false;
  FReceiveBuffer.clear();
  FReplyLines = 0;
  FRequestResult = 0;
  SetState(smtpDnsLookup);
  FWSocket.OnDataSent = nullptr;
  FWSocket.OnDnsLookupDone = [this](TComponent *, uint16_t e) { DnsLookupDone(e); };
  FWSocket.DnsLookup(Host);
}

void TSmtpCli::DnsLookupDone(uint16_t error) {
  FWSocket.OnDnsLookupDone = nullptr;
  if (error != 0) {
    SetSocketFailure(error);
    TriggerRequestDone(error);
    return;
  }
  try {
    FWSocket.SetAddr(FWSocket.DnsResult());
    FWSocket.SetProto("tcp");
    FWSocket.SetPort(Port);
    FWSocket.OnSessionConnected = [this](TComponent *, uint16_t e) { SessionConnected(e); };
    FWSocket.OnDataAvailable = [this](TComponent *, uint16_t) { DataAvailable(); };
    ApplySecurity();
    SetState(smtpConnecting);
    FWSocket.Connect();
  } catch (const ESocketException &e) {
    // A port that cannot be resolved is a failed connection, reported like any other.
    SetFailure(std::string("500 ") + e.what(), 500);
    FWSocket.Abort();
    TriggerRequestDone(WSAEINVAL);
  }
}

void TSmtpCli::SessionConnected(uint16_t error) {
  if (error != 0) {
    SetSocketFailure(error);
    FConnected = false;
    TriggerRequestDone(error);
    FWSocket.Close();
    SetState(smtpReady);
    return;
  }
  FConnected = true;
  // The end of a message and the next message's commands are a small write while the text
  // may still be unacknowledged: it must not wait for that acknowledgement.
  const int noDelay = 1;
  setsockopt(FWSocket.HSocket(), IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
  SetState(smtpWaitingBanner);
}

void TSmtpCli::SessionClosed(uint16_t error) {
  FConnected = false;
  CloseFile();
  if (OnSessionClosed) OnSessionClosed(this, error);
  TriggerRequestDone(WSAEINTR);
}

// ----- receiving

void TSmtpCli::DataAvailable() {
  char buf[ReceiveBufferSize];
  for (;;) {
    const int room = ReceiveBufferSize - static_cast<int>(FReceiveBuffer.size());
    if (room <= 0) {
      // A line that can never fit would wait forever: end the request and the session.
      FailSession("500 Reply line longer than " + std::to_string(ReceiveBufferSize) + " bytes");
      return;
    }
    const int n = FWSocket.Receive(buf, room);
    if (n <= 0) return;
    FReceiveBuffer.append(buf, static_cast<size_t>(n));
    std::string line;
    while (TakeSmtpLine(FReceiveBuffer, &line)) {
      HandleLine(line);
      if (FWSocket.State() != wsConnected) return;
    }
  }
}

void TSmtpCli::HandleLine(const std::string &line) {
  FLastResponse = line;
  if (OnResponse) OnResponse(this, line);
  switch (FState) {
    case smtpWaitingBanner: BannerLine(); break;
    case smtpWaitingResponse:
      if (!FNext) throw SmtpException("Program error: FNext is nil");
      FNext();
      break;
    default: Display("< " + line); break;
  }
}

void TSmtpCli::BannerLine() {
  Display("< " + FLastResponse);
  const TSmtpReply r = ParseSmtpReply(FLastResponse);
  FStatusCode = r.Code;
  if (r.More && r.Valid) {
    ReplyTooLong();
    return;
  }
  FReplyLines = 0;
  if (r.Code != 220 || !r.Valid) {
    if (FErrorMessage.empty()) FErrorMessage = FLastResponse;
    FRequestResult = r.Code;
    FWSocket.Close();  // the session-closed handling reports the end
    return;
  }
  SetState(smtpConnected);
  if (OnSessionConnected) OnSessionConnected(this, 0);
  TriggerRequestDone(0);
}

// ----- commands

void TSmtpCli::ExecAsync(TSmtpRequest rq, const std::string &cmd, std::vector<int> okCodes,
                         std::function<void()> done, const std::string &before) {
  CheckReady();
  CheckConnected();
  if (!FHighLevelFlag) FRequestType = rq;
  if (okCodes.size() > 16) okCodes.resize(16);
  FOkResponses = std::move(okCodes);
  FDoneAsync = std::move(done);
  FNext = [this]() { ReplyLine(); };
  FReplyLines = 0;
  FRequestDoneFlag = false;
  SetState(smtpWaitingResponse);
  SendCommand(cmd, before);
}

bool TSmtpCli::TakeReplyLine(TSmtpReply *reply) {
  Display("< " + FLastResponse);
  *reply = ParseSmtpReply(FLastResponse);
  FStatusCode = reply->Code;
  if (!reply->Valid) {
    // Not a reply at all: whatever the server is doing, it did not take the command.
    FailSession("500 Protocol error: unexpected reply \"" + FLastResponse + "\"");
    return false;
  }
  if (reply->More) {
    ReplyTooLong();
    return false;
  }
  FReplyLines = 0;
  return true;
}

void TSmtpCli::ReplyLine() {
  TSmtpReply r;
  if (!TakeReplyLine(&r)) return;
  bool ok;
  if (!FOkResponses.empty())
    ok = std::find(FOkResponses.begin(), FOkResponses.end(), r.Code) != FOkResponses.end();
  else
    ok = r.Code < 500;
  FRequestResult = ok ? 0 : r.Code;
  if (!ok && FErrorMessage.empty()) FErrorMessage = FLastResponse;
  if (FDoneAsync) {
    const std::function<void()> next = std::move(FDoneAsync);
    FDoneAsync = nullptr;
    next();
  } else {
    TriggerRequestDone(FRequestResult);
  }
}

void TSmtpCli::Helo() {
  if (UseEhlo()) {
    Ehlo();
    return;
  }
  const std::string name = SignOn.empty() ? LocalHostName() : SignOn;
  ExecAsync(smtpHelo, "HELO " + name, {250}, nullptr);
}

void TSmtpCli::Vrfy() { ExecAsync(smtpVrfy, "VRFY " + HdrTo, {250}, nullptr); }

void TSmtpCli::MailFrom() {
  std::string cmd = "MAIL FROM:<" + Trim(FromName) + ">";
  if (FCaps.Size && MessageSize > 0) {
    if (RefuseOversize()) return;
    cmd += " SIZE=" + std::to_string(MessageSize);
  }
  ExecAsync(smtpMailFrom, cmd, {250}, nullptr);
}

void TSmtpCli::RcptTo() {
  CheckReady();
  CheckConnected();
  if (RcptName.empty()) throw SmtpException("RcptName list is empty");
  FRcptList = RcptName;  // the owner may change its list while the commands go out
  FRcptIndex = 0;
  RcptToNext();
}

void TSmtpCli::RcptToNext() {
  const bool last = FRcptIndex + 1 >= FRcptList.size();
  const std::string cmd = "RCPT TO:<" + Trim(FRcptList[FRcptIndex]) + ">";
  std::function<void()> next;
  if (!last) {
    // A refused recipient does not stop the others; the last one gives the result.
    next = [this]() {
      FState = smtpInternalReady;
      ++FRcptIndex;
      RcptToNext();
    };
  }
  ExecAsync(smtpRcptTo, cmd, {250, 251}, next);
}

void TSmtpCli::Quit() {
  CheckReady();
  if (!FConnected) {
    if (!FHighLevelFlag) FRequestType = smtpQuit;
    FRequestDoneFlag = false;
    TriggerRequestDone(0);
    return;
  }
  ExecAsync(smtpQuit, "QUIT", {221}, [this]() { QuitReplied(); });
}

void TSmtpCli::QuitReplied() {
  TriggerRequestDone(FRequestResult);
  // The session is over: close our side now, so that a new Open does not depend on when the
  // server's close arrives.
  if (FWSocket.State() != wsClosed) FWSocket.Close();
}

void TSmtpCli::Rset() { ExecAsync(smtpRset, "RSET", {250}, nullptr); }

void TSmtpCli::Open() {
  CheckReady();
  if (FConnected) throw SmtpException("SMTP component already connected");
  RunComposite(smtpOpen, {fctConnect, fctHelo});
}

void TSmtpCli::Mail() {
  CheckReady();
  CheckConnected();
  if (RcptName.empty()) throw SmtpException("RcptName list is empty");
  RunComposite(smtpMail, {fctMailFrom, fctRcptTo, fctData});
}

void TSmtpCli::Abort() {
  if (FTransferring) FailFlights("Operation aborted");
  SetState(smtpAbort);
  FWSocket.CancelDnsLookup();
  FWSocket.OnDataSent = nullptr;
  FWSocket.Abort();
  CloseFile();
  // Whatever was under way, and a start that failed half-way, ends here.
  FHighLevelFlag = false;
  std::fill(std::begin(FFctSet), std::end(FFctSet), false);
  FRequestDoneFlag = true;
  FNext = nullptr;
  FDoneAsync = nullptr;
  FReceiveBuffer.clear();
  FConnected = false;
  SetState(smtpReady);
}

// ----- DATA

void TSmtpCli::Data() {
  CheckReady();
  CheckConnected();
  BuildHeader();
  ExecAsync(smtpData, "DATA", {354}, [this]() { DataReplied(); });
}

void TSmtpCli::BuildHeader() {
  FMimeLines.clear();
  FBodyPhase = bpOwner;
  FFileIndex = 0;
  FLineNum = 0;
  CloseFile();
  const QDateTime now = QDateTime::currentDateTime();
  const std::string textType = "Content-Type: " + FTextType + "; charset=\"" + CharSet + "\"";
  FHdrLines.clear();
  if (!Trim(HdrReplyTo).empty()) FHdrLines.push_back("Reply-To: " + HdrReplyTo);
  if (!Trim(HdrReturnPath).empty()) FHdrLines.push_back("Return-Path: " + HdrReturnPath);
  FHdrLines.push_back("From: " + HdrFrom);
  // A blank To (a blind copy) names no one, as an empty group.
  FHdrLines.push_back("To: " + (Trim(HdrTo).empty() ? std::string("undisclosed-recipients:;") : Trim(HdrTo)));
  FHdrLines.push_back("Subject: " + HdrSubject);
  FHdrLines.push_back("Mime-Version: 1.0");
  FHdrLines.push_back(textType);
  FHdrLines.push_back("Date: " + SmtpDateText(now));
  FHdrLines.push_back("Message-ID: " + NewMessageId(HdrFrom));
  std::vector<std::string> bodyHeaders = BodyHeaders;
  if (bodyHeaders.empty()) bodyHeaders = {textType, "Content-Transfer-Encoding: 7bit"};
  if (!FEmailFiles.empty()) {
    // "=_" cannot occur in base64 or quoted-printable text.
    FBoundary = NewBoundary();
    for (std::string &l : FHdrLines) {
      if (l.size() >= 13 && SameTextPrefix(l, "Content-Type:")) {
        l = "Content-Type: multipart/mixed;\r\n\tboundary=\"" + FBoundary + "\"";
        break;
      }
    }
    FMimeLines = {"This is a multipart MIME message.", "", "--" + FBoundary};
    FMimeLines.insert(FMimeLines.end(), bodyHeaders.begin(), bodyHeaders.end());
    FMimeLines.push_back("");
  } else if (!BodyHeaders.empty()) {
    const auto type = std::find(FHdrLines.begin(), FHdrLines.end(), textType);
    FHdrLines.insert(FHdrLines.erase(type), BodyHeaders.begin(), BodyHeaders.end());
  }
  if (OnProcessHeader) OnProcessHeader(this, FHdrLines);
  FHdrLines.push_back("");
  FHdrIndex = 0;
}

void TSmtpCli::DataReplied() {
  if (FRequestResult != 0) {  // anything but 354: nothing more is sent
    TriggerRequestDone(FRequestResult);
    return;
  }
  FMoreLines = true;
  FWSocket.OnDataSent = [this](TComponent *, uint16_t) { DataSent(); };
  DataSent();
}

std::string TSmtpCli::NextHeaderLine() {
  const std::string &raw = FHdrLines[FHdrIndex++];
  // The owner may rewrite the line in place; a line longer than the usual buffer gets a
  // buffer that holds it whole plus the usual room.
  const size_t cap = raw.size() < DataBufferSize ? DataBufferSize : raw.size() + DataBufferSize;
  std::vector<char> buf(cap + 1, '\0');
  std::memcpy(buf.data(), raw.data(), raw.size());
  if (OnHeaderLine) OnHeaderLine(this, buf.data(), static_cast<int32_t>(cap));
  buf[cap] = '\0';
  return FoldHeaderLine(std::string(buf.data()));
}

void TSmtpCli::DataSent() {
  if (!FConnected || FWSocket.State() != wsConnected) {
    FWSocket.OnDataSent = nullptr;
    return;
  }
  FState = smtpInternalReady;
  std::string batch;
  while (batch.size() < kDataBatch) {
    if (FHdrIndex < FHdrLines.size()) {
      batch += NextHeaderLine() + "\r\n";
      continue;
    }
    std::string line;
    if (FMoreLines && NextBodyLine(&line)) {
      // A line break inside a line makes lines of their own, each dot-stuffed, so that no
      // text can end the message early or smuggle commands after it.
      size_t start = 0;
      for (;;) {
        const size_t brk = line.find_first_of("\r\n", start);
        std::string part = line.substr(start, brk == std::string::npos ? std::string::npos : brk - start);
        if (!part.empty() && part[0] == '.') part.insert(part.begin(), '.');
        Display("> " + part);
        batch += part + "\r\n";
        if (brk == std::string::npos) break;
        start = brk + (line.compare(brk, 2, "\r\n") == 0 ? 2 : 1);
      }
      continue;
    }
    FMoreLines = false;
    FWSocket.OnDataSent = nullptr;
    // A file that failed ended the request: the message must not be completed.
    if (FState == smtpAbort || !FConnected || FRequestDoneFlag) return;
    // The end of the message goes in the same write as its last lines.
    ExecAsync(smtpData, ".", {250}, nullptr, batch);
    return;
  }
  if (FWSocket.State() == wsConnected) FWSocket.SendStr(batch);
}

bool TSmtpCli::NextBodyLine(std::string *line) {
  for (;;) {
    if (!FMimeLines.empty()) {
      *line = std::move(FMimeLines.front());
      FMimeLines.pop_front();
      return true;
    }
    switch (FBodyPhase) {
      case bpOwner: {
        bool more = false;
        char buf[DataBufferSize] = {};
        ++FLineNum;
        if (OnGetData) {
          more = true;
          OnGetData(this, FLineNum, buf, DataBufferSize - 1, more);
        }
        buf[DataBufferSize - 1] = '\0';
        if (more) {
          *line = buf;
          return true;
        }
        if (FEmailFiles.empty()) {
          FBodyPhase = bpDone;
          return false;
        }
        FBodyPhase = bpFiles;
        FFileIndex = 0;
        QueueFileHeader();
        continue;
      }
      case bpFiles: {
        if (FFile) {
          char data[45];
          const size_t n = std::fread(data, 1, sizeof data, FFile);
          if (n > 0) {
            FFileRead += static_cast<int64_t>(n);
            *line = SmtpBase64Line(data, static_cast<int>(n));
            return true;
          }
          // A read error, or a file that got shorter, would send a truncated attachment.
          if (std::ferror(FFile) || FFileRead < FFileSize) {
            FBodyPhase = bpDone;
            FMimeLines.clear();
            if (FComposing) throw SmtpException("500 Cannot read file " + FEmailFiles[FFileIndex]);
            FailSession("500 Cannot read file " + FEmailFiles[FFileIndex]);
            return false;
          }
          CloseFile();
          ++FFileIndex;
          QueueFileHeader();
        }
        continue;
      }
      case bpDone: return false;
    }
  }
}

void TSmtpCli::QueueFileHeader() {
  if (FFileIndex >= FEmailFiles.size()) {
    FMimeLines.push_back("");
    FMimeLines.push_back("--" + FBoundary + "--");
    FBodyPhase = bpDone;
    return;
  }
  const std::string &path = FEmailFiles[FFileIndex];
  const std::string own = FFileIndex < EmailFileNames.size() ? EmailFileNames[FFileIndex] : BaseName(path);
  std::string name = own;
  std::string type = "application/octet-stream";
  if (OnAttachContentType) OnAttachContentType(this, static_cast<int32_t>(FFileIndex), name, type);
  if (!OpenFile()) {
    // A file gone since it was listed: end the session rather than send a damaged message.
    FBodyPhase = bpDone;
    FMimeLines.clear();
    if (FComposing) throw SmtpException("500 Cannot open file " + path);
    FailSession("500 Cannot open file " + path);
    return;
  }
  FMimeLines.insert(FMimeLines.end(), {"", "--" + FBoundary});
  for (std::string &line : AttachmentHeaderLines(type, name, own, CharSet)) FMimeLines.push_back(std::move(line));
  FMimeLines.push_back("");
}

bool TSmtpCli::OpenFile() {
  CloseFile();
  FFile = std::fopen(FEmailFiles[FFileIndex].c_str(), "rb");
  if (!FFile) return false;
  std::fseek(FFile, 0, SEEK_END);
  FFileSize = std::ftell(FFile);
  std::fseek(FFile, 0, SEEK_SET);
  FFileRead = 0;
  return true;
}

void TSmtpCli::CloseFile() {
  if (FFile) std::fclose(FFile);
  FFile = nullptr;
}
