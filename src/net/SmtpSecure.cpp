// The secure start of an SMTP session: EHLO and its capabilities, STARTTLS, AUTH, SIZE.
#include "net/SmtpProt.h"

#include <arpa/inet.h>
#include <netdb.h>

#include <cstring>

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

bool TSmtpCli::UseEhlo() const { return Security != secNone || Login || MessageSize > 0; }

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
