// The secure start of an SMTP session: EHLO and its capabilities, STARTTLS, AUTH, SIZE.
#include "net/MimeEncode.h"
#include "net/SmtpProt.h"

#include <arpa/inet.h>
#include <netdb.h>

#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace {

// This machine's fully qualified name, when the resolver knows one.
std::string FullyQualifiedHostName() {
  const std::string host = LocalHostName();
  addrinfo hints{};
  hints.ai_flags = AI_CANONNAME;
  hints.ai_family = AF_UNSPEC;
  addrinfo *res = nullptr;
  std::string name;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &res) == 0 && res && res->ai_canonname) name = res->ai_canonname;
  if (res) freeaddrinfo(res);
  return name;
}

// A name a server may take as this host's: qualified, and not the loopback's.
bool UsableHostName(const std::string &name) {
  return name.find('.') != std::string::npos && name.rfind("localhost", 0) != 0 && name.front() != '.' &&
         name.back() != '.';
}

std::string AddressDomain(const std::string &address) {
  const size_t at = address.rfind('@');
  if (at == std::string::npos) return std::string();
  std::string d = address.substr(at + 1);
  const size_t end = d.find_first_of("> \t\r\n");
  if (end != std::string::npos) d.erase(end);
  return d;
}

std::string Trimmed(const std::string &s) {
  const size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return std::string();
  return s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1);
}

}  // namespace

// A plain session without login keeps its HELO unless the owner wants the server's
// capabilities (pipelining); SIZE is then never known, nor passed.
bool TSmtpCli::UseEhlo() const { return Security != secNone || Login || PreferEhlo; }

std::string TSmtpCli::EhloName() {
  // Without a login the user's own sign-on name stays what it always was.
  if (!Login) return SignOn.empty() ? LocalHostName() : SignOn;
  const std::string fqdn = FullyQualifiedHostName();
  if (UsableHostName(fqdn)) return fqdn;
  const std::string domain = AddressDomain(FromName);
  if (!domain.empty()) return domain;
  TSockAddrIn sin{};
  if (FWSocket.GetSockName(&sin, sizeof sin) == 0) {
    char buf[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &sin.sin_addr, buf, sizeof buf);
    return std::string("[") + buf + "]";
  }
  return LocalHostName();
}

void TSmtpCli::ApplySecurity() {
  FCaps = TSmtpCapabilities();
  FWSocket.SslImplicit = Security == secSslTls;
  FWSocket.SslHostName = Host;
  FWSocket.SslTrustedFingerprint = TrustedFingerprint;
  FWSocket.OnSslHandshakeDone = [this](TComponent *, uint16_t e) { TlsDone(e); };
}

void TSmtpCli::Ehlo() {
  FEhloLines.clear();
  ExecAsync(smtpHelo, "EHLO " + EhloName(), {250}, [this]() { EhloReplied(); });
  FNext = [this]() {
    FEhloLines.push_back(FLastResponse);
    ReplyLine();
  };
}

void TSmtpCli::EhloReplied() {
  if (FRequestResult != 0) {
    if (Security == secNone && !Login) {  // an old server: the plain greeting still works
      FState = smtpInternalReady;
      ExecAsync(smtpHelo, "HELO " + EhloName(), {250}, nullptr);
      return;
    }
    TriggerRequestDone(FRequestResult);
    return;
  }
  FCaps = ParseEhloReply(FEhloLines);
  if (Security == secStartTls && !FWSocket.SslActive()) {
    if (!FCaps.StartTls) {
      EndSession("500 The server does not offer STARTTLS; nothing more was sent", 500);
      return;
    }
    FState = smtpInternalReady;
    ExecAsync(smtpHelo, "STARTTLS", {220}, [this]() { StartTlsReplied(); });
    return;
  }
  if (Login) {
    Authenticate();
    return;
  }
  TriggerRequestDone(0);
}

void TSmtpCli::StartTlsReplied() {
  if (FRequestResult != 0) {  // no clear-text fallback once TLS was asked for
    EndSession(FLastResponse, FRequestResult);
    return;
  }
  FReceiveBuffer.clear();  // nothing that came before TLS is read as if it came through it
  FWSocket.StartTls();
}

void TSmtpCli::TlsDone(uint16_t error) {
  if (error != 0) {
    SetSocketFailure(error);
    FRequestResult = error;
    TriggerRequestDone(error);
    return;  // the socket ends the session itself
  }
  Display("TLS session started");
  FState = smtpInternalReady;
  Ehlo();
}

void TSmtpCli::Authenticate() {
  const bool tls = FWSocket.SslActive();
  if (!tls && !AllowClearTextPassword) {
    EndSession("500 The password would travel in clear text: choose STARTTLS or SSL/TLS for this server, "
               "or allow clear text for it",
               500);
    return;
  }
  const TSmtpAuthMech mech = ChooseSmtpAuth(FCaps, tls);
  if (mech == smtpAuthNone) {
    EndSession(FCaps.Auth.empty() ? "500 The server offers no login here"
                                  : "500 The server offers no login method this program knows",
               500);
    return;
  }
  FState = smtpInternalReady;
  const std::string user = Trimmed(Username);
  switch (mech) {
    case smtpAuthPlain:
      SendSecret("AUTH PLAIN ****", "AUTH PLAIN " + AuthPlainResponse(user, Password), 235, [this]() { AuthReplied(); });
      return;
    case smtpAuthLogin:
      ExecAsync(smtpHelo, "AUTH LOGIN", {334}, [this, user]() {
        if (FRequestResult != 0) return AuthReplied();
        SendSecret("****", Base64Text(user), 334, [this]() {
          if (FRequestResult != 0) return AuthReplied();
          SendSecret("****", Base64Text(Password), 235, [this]() { AuthReplied(); });
        });
      });
      return;
    case smtpAuthCramMd5:
      ExecAsync(smtpHelo, "AUTH CRAM-MD5", {334}, [this, user]() {
        if (FRequestResult != 0) return AuthReplied();
        const std::string challenge = FLastResponse.size() > 4 ? FLastResponse.substr(4) : std::string();
        SendSecret("****", CramMd5Response(user, Password, challenge), 235, [this]() { AuthReplied(); });
      });
      return;
    case smtpAuthNone: return;
  }
}

void TSmtpCli::SendSecret(const std::string &shown, const std::string &sent, int okCode, std::function<void()> done) {
  FState = smtpInternalReady;
  FShownCommand = shown;
  ExecAsync(smtpHelo, sent, {okCode}, std::move(done));
}

void TSmtpCli::AuthReplied() { TriggerRequestDone(FRequestResult); }

void TSmtpCli::EndSession(const std::string &response, int code) {
  SetFailure(response, code);
  FRequestResult = code;
  TriggerRequestDone(code);
  if (FWSocket.State() != wsClosed) FWSocket.Close();
}

bool TSmtpCli::RefuseOversize() {
  if (FCaps.MaxSize <= 0 || MessageSize <= FCaps.MaxSize) return false;
  CheckReady();
  CheckConnected();
  if (!FHighLevelFlag) FRequestType = smtpMailFrom;
  FRequestDoneFlag = false;
  SetFailure("552 The message has " + std::to_string(MessageSize) + " bytes; the server takes at most " +
                 std::to_string(FCaps.MaxSize),
             552);
  TriggerRequestDone(552);
  return true;
}

namespace {

// Bytes of `text` sent as lines: every line break inside it starts a line of its own.
int64_t LineBytes(const std::string &text) {
  int64_t n = 0;
  size_t start = 0;
  for (;;) {
    const size_t brk = text.find_first_of("\r\n", start);
    n += static_cast<int64_t>((brk == std::string::npos ? text.size() : brk) - start) + 2;
    if (brk == std::string::npos) return n;
    start = brk + (text.compare(brk, 2, "\r\n") == 0 ? 2 : 1);
  }
}

}  // namespace

int64_t TSmtpCli::MessageSizeFor(const std::vector<std::string> &body) {
  // The header is built as DATA will build it; only its date may differ, by its digits.
  BuildHeader();
  int64_t size = 0;
  for (const std::string &line : FHdrLines) size += LineBytes(FoldHeaderLine(line));
  for (const std::string &line : FMimeLines) size += LineBytes(line);
  FHdrLines.clear();
  FMimeLines.clear();
  for (const std::string &line : body) {
    // The owner hands out long lines in pieces of at most 998 characters.
    const int64_t pieces = line.empty() ? 1 : static_cast<int64_t>((line.size() + 997) / 998);
    size += LineBytes(line) + 2 * (pieces - 1);
  }
  if (FEmailFiles.empty()) return size;
  for (size_t i = 0; i < FEmailFiles.size(); ++i) {
    // The part's header lines as DATA makes them, so that the count follows the message form.
    const std::string &path = FEmailFiles[i];
    const std::string own = i < EmailFileNames.size() ? EmailFileNames[i] : path.substr(path.find_last_of('/') + 1);
    std::string name = own;
    std::string type = "application/octet-stream";
    if (OnAttachContentType) OnAttachContentType(this, static_cast<int32_t>(i), name, type);
    struct stat st{};
    const int64_t bytes = ::stat(path.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_size) : 0;
    size += LineBytes(std::string()) + LineBytes("--" + FBoundary) + LineBytes(std::string());
    for (const std::string &line : AttachmentHeaderLines(type, name, own, CharSet)) size += LineBytes(line);
    // Base64 lines of 45 bytes each: 60 characters and the line end.
    size += (bytes + 2) / 3 * 4 + (bytes + 44) / 45 * 2;
  }
  return size + LineBytes(std::string()) + LineBytes("--" + FBoundary + "--");
}
