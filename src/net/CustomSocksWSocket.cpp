#include "net/CustomSocksWSocket.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <algorithm>

using namespace wsocket;

void TCustomSocksWSocket::ResetDefaults() {
  TCustomWSocket::ResetDefaults();
  FSocksServer.clear();
  FSocksPort.clear();
  FSocksLevel = "5";
  FSocksPhase = spNone;
  FSocksIn.clear();
}

void TCustomSocksWSocket::SetSocksLevel(const std::string &value) {
  if (State() != wsClosed) { RaiseException("Can't change socks level if not closed"); return; }
  std::string v = value;
  for (char &c : v) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (v != "4" && v != "4A" && v != "5") { RaiseException("Invalid socks level. Must be 4, 4A or 5."); return; }
  FSocksLevel = v;
}

void TCustomSocksWSocket::SetSocksServer(const std::string &value) {
  if (State() != wsClosed) { RaiseException("Can't change socks server if not closed"); return; }
  FSocksServer = TrimBlanks(value);
}

void TCustomSocksWSocket::SetSocksPort(const std::string &value) {
  if (State() != wsClosed) { RaiseException("Can't change socks port if not closed"); return; }
  FSocksPort = TrimBlanks(value);
}

void TCustomSocksWSocket::Listen() {
  if (!FSocksServer.empty()) {
    RaiseException("listening is not supported thru socks server");
    return;
  }
  TCustomWSocket::Listen();
}

void TCustomSocksWSocket::Connect() {
  if (FSocksServer.empty()) {
    TCustomWSocket::Connect();
    return;
  }
  if (TrimBlanks(Proto()) != "tcp" && TrimBlanks(Proto()) != "6") {
    RaiseException("tcp is the only protocol supported thru socks server");
    return;
  }
  if (!PortAssigned()) { RaiseException("Connect: No Port Specified"); return; }
  if (!AddrAssigned()) { RaiseException("Connect: No IP Address Specified"); return; }
  FTargetAddr = Addr();
  FTargetPort = Port();
  // Connect to the relay; the target is asked for once the relay answers.
  const std::string server = FSocksServer, port = FSocksPort.empty() ? "1080" : FSocksPort;
  SetAddr(server);
  SetPort(port);
  FSocksPhase = spGreeting;
  FSocksIn.clear();
  DoConnect(server, port);
}

void TCustomSocksWSocket::TriggerSessionConnected(uint16_t error) {
  if (FSocksPhase == spNone) {
    TCustomWSocket::TriggerSessionConnected(error);
    return;
  }
  if (error != 0) {
    FSocksPhase = spNone;
    TCustomWSocket::TriggerSessionConnected(error);
    return;
  }
  if (FSocksLevel == "5") {
    const char method = SocksAuthentication == socksAuthenticateUsercode ? 2 : 0;
    const char greeting[3] = {5, 1, method};
    Send(greeting, 3);
  } else {
    FSocksPhase = spRequest;
    SendSocksRequest();
  }
}

void TCustomSocksWSocket::SendSocksRequest() {
  uint16_t port = 0;
  try {
    port = WSocketResolvePort(FTargetPort, "tcp");
  } catch (const ESocketException &) {
    SocksFailed(socksInternalError, "internal error");
    return;
  }
  std::string req;
  if (FSocksLevel == "5") {
    req = {5, 1, 0, 3, static_cast<char>(std::min<size_t>(FTargetAddr.size(), 255))};
    req += FTargetAddr.substr(0, 255);
  } else {
    req = {4, 1};
  }
  req += static_cast<char>(port >> 8);
  req += static_cast<char>(port & 0xFF);
  if (FSocksLevel != "5") {
    uint32_t a = 0;
    const bool dotted = ParseDotted(FTargetAddr, &a);
    if (FSocksLevel == "4A" && !dotted) a = htonl(1);  // 0.0.0.1: the relay resolves the name
    else if (!dotted) {
      try {
        a = WSocketResolveHost(FTargetAddr);
      } catch (const ESocketException &) {
        SocksFailed(socksHostUnreachable, "host unreachable");
        return;
      }
    }
    req.append(reinterpret_cast<const char *>(&a), 4);
    req += SocksUsercode;
    req += '\0';
    if (FSocksLevel == "4A" && !dotted) {
      req += FTargetAddr;
      req += '\0';
    }
  }
  Send(req.data(), static_cast<int32_t>(req.size()));
}

void TCustomSocksWSocket::SocksFailed(int error, const std::string &msg) {
  FSocksPhase = spNone;
  if (OnSocksError) OnSocksError(this, error, msg);
  TCustomWSocket::TriggerSessionConnected(static_cast<uint16_t>(error));
  Close();
}

void TCustomSocksWSocket::SocksDone() {
  FSocksPhase = spNone;
  FSocksIn.clear();
  if (OnSocksConnected) OnSocksConnected(this, 0);
  TriggerSessionConnected(0);  // through the layers above, which may start TLS now
}

void TCustomSocksWSocket::TriggerDataAvailable(uint16_t error) {
  if (FSocksPhase == spNone) {
    TCustomWSocket::TriggerDataAvailable(error);
    return;
  }
  char buf[512];
  const int n = SocketRecv(buf, sizeof buf);
  if (n <= 0) {
    if (n < 0 && LastError() == WSAEWOULDBLOCK) return;
    SocksFailed(socksProtocolError, "data receive error");
    return;
  }
  FSocksIn.append(buf, static_cast<size_t>(n));
  const auto byte = [this](size_t i) { return static_cast<unsigned char>(FSocksIn[i]); };
  if (FSocksLevel != "5") {
    if (FSocksIn.size() < 8) return;
    if (FSocksIn.size() > 8) { SocksFailed(socksProtocolError, "too much data availaible"); return; }
    if (byte(1) == 90) SocksDone();
    else SocksFailed(socksRequestRejected, "request rejected or failed");
    return;
  }
  switch (FSocksPhase) {
    case spGreeting: {
      if (FSocksIn.size() < 2) return;
      if (byte(0) != 5) { SocksFailed(socksVersionError, "socks version error"); return; }
      if (byte(1) == 0) {
        if (OnSocksAuthState && SocksAuthentication == socksAuthenticateUsercode)
          OnSocksAuthState(this, socksAuthNotRequired);
        FSocksIn.clear();
        FSocksPhase = spRequest;
        SendSocksRequest();
      } else if (byte(1) == 2) {
        if (OnSocksAuthState) OnSocksAuthState(this, socksAuthStart);
        FSocksIn.clear();
        FSocksPhase = spAuth;
        std::string auth = {1, static_cast<char>(std::min<size_t>(SocksUsercode.size(), 255))};
        auth += SocksUsercode.substr(0, 255);
        auth += static_cast<char>(std::min<size_t>(SocksPassword.size(), 255));
        auth += SocksPassword.substr(0, 255);
        Send(auth.data(), static_cast<int32_t>(auth.size()));
      } else {
        SocksFailed(socksAuthMethodError, "authentification method not acceptable");
      }
      return;
    }
    case spAuth: {
      if (FSocksIn.size() < 2) return;
      if (byte(1) != 0) {
        if (OnSocksAuthState) OnSocksAuthState(this, socksAuthFailure);
        SocksFailed(socksAuthenticationFailed, "socks authentication failed");
        return;
      }
      if (OnSocksAuthState) OnSocksAuthState(this, socksAuthSuccess);
      FSocksIn.clear();
      FSocksPhase = spRequest;
      SendSocksRequest();
      return;
    }
    case spRequest: {
      if (FSocksIn.size() < 5) return;
      if (byte(0) != 5) { SocksFailed(socksVersionError, "socks version error"); return; }
      static const char *const kReplies[] = {
          "", "general SOCKS server failure", "connection not allowed by ruleset", "network unreachable",
          "host unreachable", "connection refused", "time to live expired", "command not supported",
          "address type not supported"};
      const int rep = byte(1);
      if (rep != 0) {
        if (rep <= 8) SocksFailed(socksGeneralFailure + rep - 1, kReplies[rep]);
        else SocksFailed(socksProtocolError, "unassigned error #" + std::to_string(rep));
        return;
      }
      size_t need = 0;
      switch (byte(3)) {
        case 1: need = 10; break;
        case 3: need = 7 + byte(4); break;
        case 4: need = 22; break;
        default: SocksFailed(socksUnknownAddressType, "address type not supported"); return;
      }
      if (FSocksIn.size() < need) return;
      if (FSocksIn.size() > need) { SocksFailed(socksProtocolError, "too much data availaible"); return; }
      SocksDone();
      return;
    }
    case spNone: return;
  }
}
