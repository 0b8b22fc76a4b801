#include "net/WSocket.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QObject>
#include <QSocketNotifier>
#include <QThreadPool>
#include <QTimer>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>

namespace {

std::string TrimBlanks(const std::string &s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return s.substr(b, e - b);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string Dotted(uint32_t netAddr) {
  in_addr a{};
  a.s_addr = netAddr;
  char buf[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &a, buf, sizeof buf);
  return buf;
}

// A dotted address of four decimal parts, each 0..255.
bool ParseDotted(const std::string &s, uint32_t *netAddr) {
  in_addr a{};
  if (inet_pton(AF_INET, s.c_str(), &a) != 1) return false;
  *netAddr = a.s_addr;
  return true;
}

int GaiToError(int rc) {
  switch (rc) {
    case EAI_AGAIN: return WSATRY_AGAIN;
    case EAI_FAIL: return WSANO_RECOVERY;
#ifdef EAI_NODATA
    case EAI_NODATA: return WSANO_DATA;
#endif
    case EAI_SYSTEM: return WSocketErrnoToError(errno);
    default: return WSAHOST_NOT_FOUND;
  }
}

// Every IPv4 address of a host, in the order the resolver returns them.
int LookupHost(const std::string &name, std::vector<std::string> *result) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo *res = nullptr;
  const int rc = getaddrinfo(name.c_str(), nullptr, &hints, &res);
  if (rc != 0) return GaiToError(rc);
  for (addrinfo *p = res; p; p = p->ai_next) {
    const auto *sin = reinterpret_cast<const sockaddr_in *>(p->ai_addr);
    const std::string d = Dotted(sin->sin_addr.s_addr);
    if (std::find(result->begin(), result->end(), d) == result->end()) result->push_back(d);
  }
  freeaddrinfo(res);
  return result->empty() ? WSANO_DATA : 0;
}

int LookupAddr(const std::string &dotted, std::vector<std::string> *result) {
  sockaddr_in sin{};
  sin.sin_family = AF_INET;
  if (inet_pton(AF_INET, dotted.c_str(), &sin.sin_addr) != 1) return WSAEINVAL;
  char host[NI_MAXHOST] = {};
  const int rc = getnameinfo(reinterpret_cast<sockaddr *>(&sin), sizeof sin, host, sizeof host,
                             nullptr, 0, NI_NAMEREQD);
  if (rc != 0) return GaiToError(rc);
  result->push_back(host);
  return 0;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Module functions

int WSocketErrnoToError(int err) {
  switch (err) {
    case 0: return 0;
    case EINTR: return WSAEINTR;
    case EBADF: return WSAEBADF;
    case EACCES: case EPERM: return WSAEACCES;
    case EFAULT: return WSAEFAULT;
    case EINVAL: return WSAEINVAL;
    case EMFILE: case ENFILE: return WSAEMFILE;
    case EAGAIN: return WSAEWOULDBLOCK;
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK: return WSAEWOULDBLOCK;
#endif
    case EINPROGRESS: return WSAEINPROGRESS;
    case EALREADY: return WSAEALREADY;
    case ENOTSOCK: return WSAENOTSOCK;
    case EDESTADDRREQ: return WSAEDESTADDRREQ;
    case EMSGSIZE: return WSAEMSGSIZE;
    case EPROTOTYPE: return WSAEPROTOTYPE;
    case ENOPROTOOPT: return WSAENOPROTOOPT;
    case EPROTONOSUPPORT: return WSAEPROTONOSUPPORT;
    case ESOCKTNOSUPPORT: return WSAESOCKTNOSUPPORT;
    case EOPNOTSUPP: return WSAEOPNOTSUPP;
    case EPFNOSUPPORT: return WSAEPFNOSUPPORT;
    case EAFNOSUPPORT: return WSAEAFNOSUPPORT;
    case EADDRINUSE: return WSAEADDRINUSE;
    case EADDRNOTAVAIL: return WSAEADDRNOTAVAIL;
    case ENETDOWN: return WSAENETDOWN;
    case ENETUNREACH: return WSAENETUNREACH;
    case ENETRESET: return WSAENETRESET;
    case ECONNABORTED: return WSAECONNABORTED;
    case ECONNRESET: case EPIPE: return WSAECONNRESET;  // a write to a peer that has gone away
    case ENOBUFS: case ENOMEM: return WSAENOBUFS;
    case EISCONN: return WSAEISCONN;
    case ENOTCONN: return WSAENOTCONN;
    case ESHUTDOWN: return WSAESHUTDOWN;
    case ETOOMANYREFS: return WSAETOOMANYREFS;
    case ETIMEDOUT: return WSAETIMEDOUT;
    case ECONNREFUSED: return WSAECONNREFUSED;
    case ELOOP: return WSAELOOP;
    case ENAMETOOLONG: return WSAENAMETOOLONG;
    case EHOSTDOWN: return WSAEHOSTDOWN;
    case EHOSTUNREACH: return WSAEHOSTUNREACH;
    case ENOTEMPTY: return WSAENOTEMPTY;
    case EUSERS: return WSAEUSERS;
    case EDQUOT: return WSAEDQUOT;
    case ESTALE: return WSAESTALE;
    case EREMOTE: return WSAEREMOTE;
    default: return WSAEINVAL;
  }
}

std::string WSocketErrorDesc(int error) {
  switch (error) {
    case 0: return "No Error";
    case 10004: return "Interrupted system call";
    case 10009: return "Bad file number";
    case 10013: return "Permission denied";
    case 10014: return "Bad address";
    case 10022: return "Invalid argument";
    case 10024: return "Too many open files";
    case 10035: return "Operation would block";
    case 10036: return "Operation now in progress";
    case 10037: return "Operation already in progress";
    case 10038: return "Socket operation on non-socket";
    case 10039: return "Destination address required";
    case 10040: return "Message too long";
    case 10041: return "Protocol wrong type for socket";
    case 10042: return "Protocol not available";
    case 10043: return "Protocol not supported";
    case 10044: return "Socket type not supported";
    case 10045: return "Operation not supported on socket";
    case 10046: return "Protocol family not supported";
    case 10047: return "Address family not supported by protocol family";
    case 10048: return "Address already in use";
    case 10049: return "Address not available";
    case 10050: return "Network is down";
    case 10051: return "Network is unreachable";
    case 10052: return "Network dropped connection on reset";
    case 10053: return "Connection aborted";
    case 10054: return "Connection reset by peer";
    case 10055: return "No buffer space available";
    case 10056: return "Socket is already connected";
    case 10057: return "Socket is not connected";
    case 10058: return "Can't send after socket shutdown";
    case 10059: return "Too many references: can't splice";
    case 10060: return "Connection timed out";
    case 10061: return "Connection refused";
    case 10062: return "Too many levels of symbolic links";
    case 10063: return "File name too long";
    case 10064: return "Host is down";
    case 10065: return "No route to host";
    case 10066: return "Directory not empty";
    case 10067: return "Too many processes";
    case 10068: return "Too many users";
    case 10069: return "Disc quota exceeded";
    case 10070: return "Stale NFS file handle";
    case 10071: return "Too many levels of remote in path";
    case 10091: return "Network sub-system is unusable";
    case 10092: return "WinSock DLL cannot support this application";
    case 10093: return "WinSock not initialized";
    case 11001: return "Host not found";
    case 11002: return "Non-authoritative host not found";
    case 11003: return "Non-recoverable error";
    case 11004: return "No Data";
    default: return "Not a WinSock error";
  }
}

uint32_t WSocketResolveHost(const std::string &host) {
  if (host.empty() || host.size() >= 257)
    throw ESocketException("WSocketResolveHost: '" + host + "' Invalid Hostname.");
  const std::string s = TrimBlanks(host);
  if (!s.empty() && IsDigit(s[0])) {
    if (s == "255.255.255.255") return INADDR_BROADCAST;
    uint32_t a = 0;
    if (!ParseDotted(s, &a)) throw ESocketException("WSocketResolveHost: '" + host + "' Invalid IP address.");
    return a;
  }
  std::vector<std::string> list;
  uint32_t a = 0;
  if (s.empty() || LookupHost(s, &list) != 0 || !ParseDotted(list.front(), &a))
    throw ESocketException("WSocketResolveHost: Cannot convert host address '" + host + "'");
  return a;
}

namespace {
// Read decimal digits after leading blanks; stops at the first non-digit.
long LeadingNumber(const std::string &s) {
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  long n = 0;
  while (i < s.size() && IsDigit(s[i]) && n < 100000000) n = n * 10 + (s[i++] - '0');
  return n;
}
}  // namespace

uint16_t WSocketResolvePort(const std::string &port, const std::string &proto) {
  if (port.empty() || port.size() >= 32) throw ESocketException("WSocketResolvePort: Invalid Port.");
  const std::string p = TrimBlanks(port);
  if (!p.empty() && (IsDigit(port[0]) || IsDigit(p[0]))) return static_cast<uint16_t>(LeadingNumber(port));
  const std::string pr = TrimBlanks(proto);
  if (const servent *se = getservbyname(p.c_str(), pr.empty() ? nullptr : pr.c_str()))
    return ntohs(static_cast<uint16_t>(se->s_port));
  // The two services this program needs, for systems without a services database.
  if (p == "smtp") return 25;
  if (p == "pop3") return 110;
  throw ESocketException("WSocketResolvePort: Cannot convert port '" + port + "'");
}

int WSocketResolveProto(const std::string &proto) {
  if (proto.empty() || proto.size() >= 32) throw ESocketException("WSocketResolveProto: Invalid Protocol.");
  const std::string p = TrimBlanks(proto);
  if (!p.empty() && IsDigit(p[0])) return static_cast<int>(LeadingNumber(p));
  if (const protoent *pe = getprotobyname(p.c_str())) return pe->p_proto;
  if (p == "tcp") return IPPROTO_TCP;
  if (p == "udp") return IPPROTO_UDP;
  throw ESocketException("WSocketResolveProto: Cannot convert protocol '" + proto + "'");
}

std::string LocalHostName() {
  char buf[64] = {};
  if (gethostname(buf, sizeof buf - 1) != 0) return "Winsock.GetHostName failed";
  return buf;
}

// ---------------------------------------------------------------------------------------------
// TBuffer

TBuffer::TBuffer(int size) : FBuf(size > 0 ? size : WSocketBufferSize) {}

int TBuffer::Write(const char *data, int len) {
  const int n = std::max(0, std::min(len, Size() - FWrCount));
  if (n > 0) std::memcpy(FBuf.data() + FWrCount, data, n);
  FWrCount += n;
  return n;
}

const char *TBuffer::Peek(int *len) const {
  *len = FWrCount - FRdCount;
  return *len > 0 ? FBuf.data() + FRdCount : nullptr;
}

int TBuffer::Remove(int n) {
  const int k = std::max(0, std::min(n, FWrCount - FRdCount));
  FRdCount += k;
  if (FRdCount >= FWrCount) FRdCount = FWrCount = 0;
  return k;
}

void TBuffer::Resize(int size) {
  if (size <= 0) size = WSocketBufferSize;
  size = std::max(size, FWrCount);  // keep what is stored
  FBuf.resize(size);
}

// ---------------------------------------------------------------------------------------------
// TCustomWSocket

struct TCustomWSocket::LookupShared {
  std::mutex Mutex;
  QObject *Target = nullptr;  // cleared when the socket goes away
};

TCustomWSocket::TCustomWSocket() : FSink(std::make_unique<QObject>()), FLookup(std::make_shared<LookupShared>()) {
  FLookup->Target = FSink.get();
  ResetDefaults();
}

TCustomWSocket::~TCustomWSocket() {
  FDestroying = true;
  {
    std::lock_guard<std::mutex> lock(FLookup->Mutex);
    FLookup->Target = nullptr;
  }
  FDnsPending = 0;
  if (FHSocket != INVALID_SOCKET) {
    CloseNotifiers();
    ::close(FHSocket);
    FHSocket = INVALID_SOCKET;
  }
}

void TCustomWSocket::ResetDefaults() {
  FAddrAssigned = false;
  FAddrResolved = false;
  FPortAssigned = false;
  FPortResolved = false;
  FProtoStr = "tcp";
  FProtoAssigned = true;
  FProtoResolved = false;
  FType = SOCK_STREAM;
  FLocalPortStr = "0";
  FLocalPortAssigned = true;
  FLocalPortResolved = false;
  LingerOnOff = wsLingerOn;
  LingerTimeout = 0;
  FHSocket = INVALID_SOCKET;
  FState = wsClosed;
  FAllSent = true;
  FReadCount = 0;
  FPaused = false;
  FCloseInvoked = false;
  FlushTimeout = 60;
}

void TCustomWSocket::SetAddr(const std::string &value) {
  const std::string v = TrimBlanks(value);
  if (FState != wsClosed) { RaiseException("Cannot change Addr if not closed"); return; }
  if (FAddrAssigned && v == FAddrStr) return;
  FAddrStr = v;
  FAddrAssigned = !v.empty();
  FAddrResolved = false;
}

void TCustomWSocket::SetPort(const std::string &value) {
  const std::string v = TrimBlanks(value);
  if (FState != wsClosed) { RaiseException("Cannot change Port if not closed"); return; }
  if (FPortAssigned && v == FPortStr) return;
  FPortStr = v;
  FPortAssigned = !v.empty();
  FPortResolved = false;
}

void TCustomWSocket::SetProto(const std::string &value) {
  const std::string v = TrimBlanks(value);
  if (FState != wsClosed) { RaiseException("Cannot change Proto if not closed"); return; }
  if (FProtoAssigned && v == FProtoStr) return;
  FProtoStr = v;
  FProtoAssigned = !v.empty();
  FProtoResolved = false;
}

void TCustomWSocket::SetLocalPort(const std::string &value) {
  if (FState != wsClosed) { RaiseException("Cannot change LocalPort if not closed"); return; }
  FLocalPortStr = value;
  FLocalPortAssigned = !value.empty();
  FLocalPortResolved = false;
}

void TCustomWSocket::SetSendFlags(int value) {
  if (value != wsSendNormal && value != wsSendUrgent) { RaiseException("Invalid SendFlags"); return; }
  FSendFlags = static_cast<TSocketSendFlags>(value);
}

void TCustomWSocket::ChangeState(TSocketState newState) {
  const TSocketState old = FState;
  FState = newState;
  if (OnChangeState) OnChangeState(this, old, newState);
}

void TCustomWSocket::RaiseException(const std::string &msg) {
  FLastErrorMessage = msg;
  if (OnError) {
    TriggerError();
    return;
  }
  throw ESocketException(msg);
}

void TCustomWSocket::SocketError(const std::string &step, int error) {
  if (error < 0) error = WSocketErrnoToError(errno);
  if ((error == WSAECONNRESET || error == WSAENOTCONN) && FHSocket != INVALID_SOCKET) {
    CloseNotifiers();
    ::close(FHSocket);
    FHSocket = INVALID_SOCKET;
    FState = wsClosed;
  }
  FLastError = error;
  RaiseException("Error " + std::to_string(error) + " in function " + step + "\r\n" + WSocketErrorDesc(error));
}

void TCustomWSocket::TriggerError() {
  if (OnError) OnError(this);
}

void TCustomWSocket::Post(std::function<void()> fn) {
  const uint64_t session = FSession;
  QMetaObject::invokeMethod(
      FSink.get(),
      [this, session, fn = std::move(fn)]() {
        if (session == FSession && !FDestroying) fn();
      },
      Qt::QueuedConnection);
}

// ----- notifiers

void TCustomWSocket::OpenNotifiers() {
  CloseNotifiers();
  ++FSession;
  FWritePosted = false;  // a notification posted for an earlier handle was dropped
  FReadNotifier = new QSocketNotifier(FHSocket, QSocketNotifier::Read, FSink.get());
  FWriteNotifier = new QSocketNotifier(FHSocket, QSocketNotifier::Write, FSink.get());
  FWriteNotifier->setEnabled(false);
  QObject::connect(FReadNotifier, &QSocketNotifier::activated, FSink.get(), [this]() { ReadReady(); });
  QObject::connect(FWriteNotifier, &QSocketNotifier::activated, FSink.get(), [this]() { WriteReady(); });
  if (FPaused) FReadNotifier->setEnabled(false);
}

void TCustomWSocket::CloseNotifiers() {
  // The notifiers may be the ones whose signal is running: let the event loop free them.
  for (QSocketNotifier **n : {&FReadNotifier, &FWriteNotifier}) {
    if (*n) {
      (*n)->setEnabled(false);
      QObject::disconnect(*n, nullptr, nullptr, nullptr);
      (*n)->deleteLater();
      *n = nullptr;
    }
  }
  ++FSession;
}

void TCustomWSocket::UpdateWriteNotifier() {
  if (!FWriteNotifier) return;
  const bool want = !FPaused && (FState == wsConnecting || !FAllSent);
  if (FWriteNotifier->isEnabled() != want) FWriteNotifier->setEnabled(want);
}

void TCustomWSocket::ReadReady() {
  if (FHSocket == INVALID_SOCKET || FPaused) return;
  if (FState == wsConnecting) {
    // A failed connect also shows as readable; reading would clear the error the connect
    // event must report. Reads start once the connect event has been delivered.
    FReadNotifier->setEnabled(false);
    return;
  }
  if (FState == wsListening && FType == SOCK_STREAM) {
    Dispatch(fdAccept, 0);
    return;
  }
  if (FType != SOCK_STREAM) {
    Dispatch(fdRead, 0);
    return;
  }
  if (SocketPending() > 0) {
    Dispatch(fdRead, 0);
    return;
  }
  char c;
  const ssize_t r = ::recv(FHSocket, &c, 1, MSG_PEEK);
  if (r > 0) {
    Dispatch(fdRead, 0);
  } else if (r == 0) {
    Dispatch(fdClose, 0);
  } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
    Dispatch(fdClose, static_cast<uint16_t>(WSocketErrnoToError(errno)));
  }
}

void TCustomWSocket::WriteReady() {
  if (FHSocket == INVALID_SOCKET || FPaused) return;
  if (FState == wsConnecting) {
    int err = 0;
    socklen_t len = sizeof err;
    if (getsockopt(FHSocket, SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
    Dispatch(fdConnect, static_cast<uint16_t>(WSocketErrnoToError(err)));
    return;
  }
  Dispatch(fdWrite, 0);
}

void TCustomWSocket::Dispatch(unsigned events, uint16_t error) {
  if (FPaused) return;
  try {
    if (events & fdConnect) {
      ChangeState(wsConnected);
      if (FReadNotifier) FReadNotifier->setEnabled(true);
      UpdateWriteNotifier();
      TriggerSessionConnected(error);
      if (error != 0 && FState != wsClosed) Close();
    }
    if ((events & fdRead) && FHSocket != INVALID_SOCKET) ReceiveLoop(error);
    if ((events & fdWrite) && FHSocket != INVALID_SOCKET) {
      TryToSend();
      UpdateWriteNotifier();
      if (FAllSent) TriggerDataSent(error);
    }
    if ((events & fdAccept) && FHSocket != INVALID_SOCKET) TriggerSessionAvailable(error);
    if ((events & fdClose) && FHSocket != INVALID_SOCKET && FState != wsConnecting) {
      ReceiveLoop(0);
      if (OnSessionClosed && !FCloseInvoked) {
        FCloseInvoked = true;
        TriggerSessionClosed(error);
      }
      if (FState != wsClosed) Close();
    }
  } catch (const std::exception &e) {
    HandleBackgroundException(e);
  } catch (...) {
    HandleBackgroundException(std::runtime_error("Unknown exception"));
  }
}

void TCustomWSocket::HandleBackgroundException(const std::exception &e) {
  bool canClose = true;
  try {
    if (OnBgException) OnBgException(this, e, canClose);
  } catch (...) {
    // A failing handler of the failure changes nothing: the socket is still aborted.
  }
  if (canClose) {
    try {
      Abort();
    } catch (...) {
    }
  }
}

// ----- events

void TCustomWSocket::TriggerDataAvailable(uint16_t error) {
  if (OnDataAvailable) OnDataAvailable(this, error);
}
void TCustomWSocket::TriggerSessionConnected(uint16_t error) {
  if (OnSessionConnected) OnSessionConnected(this, error);
}
void TCustomWSocket::TriggerSessionClosed(uint16_t error) {
  if (OnSessionClosed) OnSessionClosed(this, error);
}
void TCustomWSocket::TriggerSessionAvailable(uint16_t error) {
  if (OnSessionAvailable) OnSessionAvailable(this, error);
}
void TCustomWSocket::TriggerDataSent(uint16_t error) {
  ++FDataSentCount;
  if (OnDataSent) OnDataSent(this, error);
}
void TCustomWSocket::TriggerDnsLookupDone(uint16_t error) {
  if (OnDnsLookupDone) OnDnsLookupDone(this, error);
}

// ----- receiving

int TCustomWSocket::SocketPending() {
  if (FHSocket == INVALID_SOCKET) return -1;
  int n = 0;
  if (ioctl(FHSocket, FIONREAD, &n) != 0) {
    FLastError = WSocketErrnoToError(errno);
    return -1;
  }
  return n;
}

int TCustomWSocket::SocketRecv(void *buffer, int size) {
  if (FHSocket == INVALID_SOCKET) {
    FLastError = WSAENOTSOCK;
    return -1;
  }
  ssize_t r;
  do {
    r = ::recv(FHSocket, buffer, static_cast<size_t>(std::max(0, size)), 0);
  } while (r < 0 && errno == EINTR);
  if (r < 0) {
    FLastError = WSocketErrnoToError(errno);
    return -1;
  }
  return static_cast<int>(r);
}

int TCustomWSocket::DoRecv(void *buffer, int size) { return SocketRecv(buffer, size); }

ssize_t TCustomWSocket::SocketWrite(const iovec *iov, int count) {
  msghdr msg{};
  msg.msg_iov = const_cast<iovec *>(iov);
  msg.msg_iovlen = static_cast<size_t>(count);
  return ::sendmsg(FHSocket, &msg, MSG_NOSIGNAL);
}

int32_t TCustomWSocket::Receive(void *buffer, int32_t size) {
  const int n = DoRecv(buffer, size);
  if (n > 0) FReadCount += n;
  return n;
}

std::string TCustomWSocket::ReceiveStr() {
  const int32_t n = RcvdCount();
  if (n <= 0) return {};
  std::string s(static_cast<size_t>(n), '\0');
  const int32_t r = Receive(s.data(), n);
  if (r <= 0) return {};
  s.resize(static_cast<size_t>(r));
  return s;
}

int32_t TCustomWSocket::RcvdCount() {
  const int n = SocketPending();
  if (n < 0 && FHSocket != INVALID_SOCKET) {
    SocketError("ioctlSocket", FLastError);
    return -1;
  }
  return std::max(n, 0);
}

int32_t TCustomWSocket::ReceiveFrom(void *buffer, int32_t size, TSockAddrIn *from) {
  if (FHSocket == INVALID_SOCKET) {
    FLastError = WSAENOTSOCK;
    return -1;
  }
  socklen_t len = sizeof(TSockAddrIn);
  const ssize_t r = ::recvfrom(FHSocket, buffer, static_cast<size_t>(std::max(0, size)), 0,
                               reinterpret_cast<sockaddr *>(from), &len);
  if (r < 0) {
    FLastError = WSocketErrnoToError(errno);
    return -1;
  }
  FReadCount += static_cast<int32_t>(r);
  return static_cast<int32_t>(r);
}

void TCustomWSocket::ReceiveLoop(uint16_t error) {
  for (;;) {
    FLastError = 0;
    const int before = SocketPending();
    TriggerDataAvailable(error);
    if (FHSocket == INVALID_SOCKET) break;
    if (!OnDataAvailable) {
      char junk[1024];
      if (SocketRecv(junk, sizeof junk) < 0 && FLastError == WSAEWOULDBLOCK) {
        FLastError = 0;
        break;
      }
    }
    const int waiting = SocketPending();
    if (waiting < 0 || FLastError != 0 || waiting == 0) break;
    // A handler that took nothing is called again at the next readiness, not in a loop here.
    if (waiting >= before || FType != SOCK_STREAM) break;
  }
}

// ----- connecting and listening

void TCustomWSocket::Connect() { DoConnect(FAddrStr, FPortStr); }

void TCustomWSocket::SetOption(int level, int name, int value, const char *step) {
  if (setsockopt(FHSocket, level, name, &value, sizeof value) != 0) SocketError(step);
}

void TCustomWSocket::ApplyLinger() {
  if (LingerOnOff == wsLingerNoSet) return;
  if (FHSocket == INVALID_SOCKET) {
    RaiseException("Cannot set linger option at this time");
    return;
  }
  // "On with 0 seconds" is a hard reset on this platform, which would throw away data the
  // peer has not read yet; the graceful default is kept for it.
  if (LingerOnOff == wsLingerOn && LingerTimeout <= 0) return;
  linger l{};
  l.l_onoff = LingerOnOff == wsLingerOn ? 1 : 0;
  l.l_linger = LingerTimeout;
  if (setsockopt(FHSocket, SOL_SOCKET, SO_LINGER, &l, sizeof l) != 0) SocketError("setsockopt(SO_LINGER)");
}

void TCustomWSocket::BindSocket() {
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = INADDR_ANY;
  local.sin_port = htons(FLocalPortNo);
  if (::bind(FHSocket, reinterpret_cast<sockaddr *>(&local), sizeof local) != 0) {
    const int err = WSocketErrnoToError(errno);
    FLastError = err;
    RaiseException("winsock.bind failed, error #" + std::to_string(err));
    return;
  }
  socklen_t len = sizeof local;
  if (getsockname(FHSocket, reinterpret_cast<sockaddr *>(&local), &len) != 0) {
    const int err = WSocketErrnoToError(errno);
    RaiseException("winsock.getsockname failed, error #" + std::to_string(err));
    return;
  }
  FLocalPortNo = ntohs(local.sin_port);
  FLocalPortStr = std::to_string(FLocalPortNo);
}

bool TCustomWSocket::Resolve(const std::string &addr, const std::string &port, bool localPort) {
  // Each text is turned into a number once after it was set.
  try {
    if (!FProtoResolved) {
      FProto = WSocketResolveProto(FProtoStr);
      FType = FProto == IPPROTO_UDP ? SOCK_DGRAM : SOCK_STREAM;
      FProtoResolved = true;
    }
    if (!FPortResolved) {
      FPortNo = WSocketResolvePort(port, FProtoStr);
      FPortResolved = true;
    }
    if (localPort && !FLocalPortResolved) {
      FLocalPortNo = FLocalPortStr.empty() ? 0 : WSocketResolvePort(FLocalPortStr, FProtoStr);
      FLocalPortResolved = true;
    }
    if (!FAddrResolved) {
      FAddr = WSocketResolveHost(addr);
      FAddrResolved = true;
    }
  } catch (const ESocketException &e) {
    RaiseException(e.what());
    return false;
  }
  return true;
}

void TCustomWSocket::DoConnect(const std::string &addr, const std::string &port) {
  if (FHSocket != INVALID_SOCKET && FState != wsClosed) {
    RaiseException("Connect: Socket already in use");
    return;
  }
  if (!FPortAssigned) { RaiseException("Connect: No Port Specified"); return; }
  if (!FAddrAssigned) { RaiseException("Connect: No IP Address Specified"); return; }
  if (!FProtoAssigned) { RaiseException("Connect: No Protocol Specified"); return; }
  if (!Resolve(addr, port, true)) return;
  DeleteBufferedData();
  FSin = {};
  FSin.sin_family = AF_INET;
  FSin.sin_port = htons(FPortNo);
  FSin.sin_addr.s_addr = FAddr;

  FHSocket = ::socket(AF_INET, FType | SOCK_NONBLOCK | SOCK_CLOEXEC, FProto);
  if (FHSocket == INVALID_SOCKET) {
    SocketError("Connect (socket)");
    return;
  }
  FCloseInvoked = false;
  ChangeState(wsOpened);
  if (FType == SOCK_STREAM) {
    if (FLocalPortNo != 0) BindSocket();
    ApplyLinger();
    SetOption(SOL_SOCKET, SO_KEEPALIVE, 1, "setsockopt(SO_KEEPALIVE)");
    SetOption(SOL_SOCKET, SO_REUSEADDR, 1, "setsockopt(SO_REUSEADDR)");
  } else {
    BindSocket();
    if (FAddr == INADDR_BROADCAST) SetOption(SOL_SOCKET, SO_BROADCAST, 1, "setsockopt(SO_BROADCAST)");
  }
  if (FHSocket == INVALID_SOCKET) return;  // an OnError handler took a failure above
  OpenNotifiers();
  if (FType == SOCK_STREAM) {
    if (::connect(FHSocket, reinterpret_cast<sockaddr *>(&FSin), sizeof FSin) != 0 && errno != EINPROGRESS) {
      const int err = WSocketErrnoToError(errno);
      FLastError = err;
      // Refusals and unreachable networks are outcomes of the connection, not misuse: they
      // arrive as the connect event, as they would if the platform had answered later.
      if (err == WSAECONNREFUSED || err == WSAENETUNREACH || err == WSAEHOSTUNREACH || err == WSAETIMEDOUT) {
        ChangeState(wsConnecting);
        Post([this, err]() { Dispatch(fdConnect, static_cast<uint16_t>(err)); });
        return;
      }
      SocketError("Connect", err);
      return;
    }
    ChangeState(wsConnecting);
    UpdateWriteNotifier();
  } else {
    ChangeState(wsConnected);
    TriggerSessionConnected(0);
  }
}

void TCustomWSocket::Listen() { DoListen(); }

void TCustomWSocket::DoListen() {
  if (!FPortAssigned) { FLastError = WSAEINVAL; SocketError("listen: port not assigned", WSAEINVAL); return; }
  if (!FProtoAssigned) { FLastError = WSAEINVAL; SocketError("listen: protocol not assigned", WSAEINVAL); return; }
  if (!FAddrAssigned) { FLastError = WSAEINVAL; SocketError("listen: address not assigned", WSAEINVAL); return; }
  if (!Resolve(FAddrStr, FPortStr, false)) return;
  FHSocket = ::socket(AF_INET, FType | SOCK_NONBLOCK | SOCK_CLOEXEC, FProto);
  if (FHSocket == INVALID_SOCKET) {
    SocketError("socket");
    return;
  }
  FCloseInvoked = false;
  int one = 1;
  setsockopt(FHSocket, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  FSin = {};
  FSin.sin_family = AF_INET;
  FSin.sin_port = htons(FPortNo);
  FSin.sin_addr.s_addr = FAddr;
  if (::bind(FHSocket, reinterpret_cast<sockaddr *>(&FSin), sizeof FSin) != 0) {
    const int err = WSocketErrnoToError(errno);
    Close();
    SocketError("Bind", err);
    return;
  }
  // Port "0" asks for any free port: read back the one given.
  socklen_t len = sizeof FSin;
  getsockname(FHSocket, reinterpret_cast<sockaddr *>(&FSin), &len);
  FPortNo = ntohs(FSin.sin_port);
  ChangeState(wsBound);
  if (FType == SOCK_DGRAM) {
    ChangeState(wsListening);
    ChangeState(wsConnected);
  } else {
    if (::listen(FHSocket, 5) != 0) {
      SocketError("Listen");
      return;
    }
    ChangeState(wsListening);
  }
  OpenNotifiers();
}

TSocket TCustomWSocket::Accept() {
  if (FState != wsListening) {
    FLastError = WSAEINVAL;
    SocketError("not a listening socket", WSAEINVAL);
    return INVALID_SOCKET;
  }
  socklen_t len = sizeof FSin;
  const TSocket s = ::accept4(FHSocket, reinterpret_cast<sockaddr *>(&FSin), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (s == INVALID_SOCKET) {
    SocketError("Accept");
    return INVALID_SOCKET;
  }
  return s;
}

void TCustomWSocket::Dup(TSocket newHSocket) {
  if (newHSocket < 0) {
    FLastError = WSAEINVAL;
    SocketError("Dup", WSAEINVAL);
    return;
  }
  if (FHSocket != INVALID_SOCKET && FHSocket != newHSocket) {
    CloseNotifiers();
    if (::close(FHSocket) != 0) {
      FHSocket = INVALID_SOCKET;
      SocketError("Dup (closesocket)");
      return;
    }
    FHSocket = INVALID_SOCKET;
    ChangeState(wsClosed);
  }
  FHSocket = newHSocket;
  const int flags = fcntl(FHSocket, F_GETFL, 0);
  fcntl(FHSocket, F_SETFL, flags | O_NONBLOCK);
  int type = SOCK_STREAM;
  socklen_t tl = sizeof type;
  getsockopt(FHSocket, SOL_SOCKET, SO_TYPE, &type, &tl);
  FType = type;
  FCloseInvoked = false;
  DeleteBufferedData();
  OpenNotifiers();
  ChangeState(wsConnected);
}

// ----- sending

void TCustomWSocket::DeleteBufferedData() {
  FBufList.clear();
  FAllSent = true;
  UpdateWriteNotifier();
}

int32_t TCustomWSocket::Send(const void *data, int32_t len) {
  if (FState != wsConnected) {
    errno = ENOTCONN;
    FLastError = WSAENOTCONN;
    SocketError("Send", WSAENOTCONN);
    return -1;
  }
  if (len <= 0) return 0;
  FAllSent = false;
  const char *p = static_cast<const char *>(data);
  int32_t left = len;
  if (!FBufList.empty()) {
    const int n = FBufList.back()->Write(p, left);
    p += n;
    left -= n;
  }
  while (left > 0) {
    FBufList.push_back(std::make_unique<TBuffer>(WSocketBufferSize));
    const int n = FBufList.back()->Write(p, left);
    p += n;
    left -= n;
  }
  TryToSend();
  UpdateWriteNotifier();
  PostDataSent();  // OnDataSent comes from the event loop, never from inside Send
  return len;
}

void TCustomWSocket::PostDataSent() {
  if (!FAllSent || FHSocket == INVALID_SOCKET || FWritePosted) return;
  FWritePosted = true;
  Post([this]() {
    FWritePosted = false;
    Dispatch(fdWrite, 0);
  });
}

bool TCustomWSocket::TryToSend() {
  if (FHSocket == INVALID_SOCKET || FBufList.empty()) return FAllSent;
  for (;;) {
    int len = 0;
    while (FBufList.size() > 1 && (FBufList.front()->Peek(&len), len <= 0)) FBufList.erase(FBufList.begin());
    FBufList.front()->Peek(&len);
    if (len <= 0) {
      FAllSent = true;
      break;
    }
    ssize_t r;
    size_t offered = 0;
    if (FType == SOCK_STREAM && FSendFlags == wsSendNormal) {
      // The chunks go out from in place in one call, so a message written in many small
      // pieces still leaves in few large segments.
      iovec iov[64];
      size_t cnt = 0;
      for (const auto &b : FBufList) {
        int l = 0;
        const char *p = b->Peek(&l);
        if (l <= 0 || cnt == 64) break;
        iov[cnt++] = {const_cast<char *>(p), static_cast<size_t>(l)};
        offered += static_cast<size_t>(l);
      }
      r = SocketWrite(iov, static_cast<int>(cnt));
    } else {
      const char *p = FBufList.front()->Peek(&len);
      offered = static_cast<size_t>(len);
      if (FType == SOCK_STREAM)
        r = ::send(FHSocket, p, offered, MSG_NOSIGNAL | MSG_OOB);
      else
        r = ::sendto(FHSocket, p, offered, MSG_NOSIGNAL, reinterpret_cast<sockaddr *>(&FSin), sizeof FSin);
    }
    if (r == 0) break;
    if (r > 0) {
      int left = static_cast<int>(r);
      for (size_t i = 0; left > 0 && i < FBufList.size(); ++i) left -= FBufList[i]->Remove(left);
      if (static_cast<size_t>(r) < offered) break;  // the next write readiness goes on
      continue;
    }
    if (errno == EINTR) continue;
    const int err = WSocketErrnoToError(errno);
    if (err == WSAEWOULDBLOCK) break;
    if (err == WSAECONNRESET || err == WSAENOTSOCK || err == WSAENOTCONN || err == WSAEINVAL) {
      // The session is gone: end it here, with the error that showed it.
      FLastError = err;
      FCloseInvoked = true;
      DeleteBufferedData();
      Close();
      TriggerSessionClosed(static_cast<uint16_t>(err));
      return false;
    }
    SocketError("TryToSend failed", err);
    break;
  }
  return FAllSent;
}

int32_t TCustomWSocket::SendTo(const TSockAddrIn &dest, const void *data, int32_t len) {
  if (FHSocket == INVALID_SOCKET) {
    FLastError = WSAENOTSOCK;
    return -1;
  }
  const ssize_t r = ::sendto(FHSocket, data, static_cast<size_t>(std::max(0, len)), MSG_NOSIGNAL,
                             reinterpret_cast<const sockaddr *>(&dest), sizeof dest);
  if (r < 0) {
    FLastError = WSocketErrnoToError(errno);
    return -1;
  }
  return static_cast<int32_t>(r);
}

void TCustomWSocket::Flush() {
  const bool pending = !FAllSent;
  const uint64_t noticed = FDataSentCount;
  while (FHSocket != INVALID_SOCKET && !FAllSent) {
    TryToSend();
    UpdateWriteNotifier();
    if (!FAllSent) ProcessMessages(true);  // wakes when the socket can take more
  }
  // The last bytes may have left here rather than on a write notification: a caller
  // waiting for OnDataSent still gets it, once.
  if (pending && FDataSentCount == noticed) PostDataSent();
}

// ----- closing

void TCustomWSocket::InternalClose(bool shutFirst, uint16_t error) {
  if (FHSocket == INVALID_SOCKET) {
    if (FState != wsClosed) {
      ChangeState(wsClosed);
      ResetDefaults();
    }
    return;
  }
  if (FState == wsClosed && FHSocket == INVALID_SOCKET) return;
  TransportClosing(shutFirst);
  if (shutFirst) ::shutdown(FHSocket, SHUT_WR);
  CloseNotifiers();
  const TSocket h = FHSocket;
  FHSocket = INVALID_SOCKET;
  if (::close(h) != 0 && errno != EINTR) {
    const int err = WSocketErrnoToError(errno);
    ChangeState(wsClosed);
    ResetDefaults();
    SocketError("Disconnect (closesocket)", err);
    return;
  }
  ChangeState(wsClosed);
  if (!FDestroying && !FCloseInvoked && OnSessionClosed) {
    FCloseInvoked = true;
    TriggerSessionClosed(error);
  }
  ResetDefaults();
}

void TCustomWSocket::Close() { InternalClose(true, 0); }

void TCustomWSocket::Abort() {
  CancelDnsLookup();
  DeleteBufferedData();
  if (FHSocket != INVALID_SOCKET && FState == wsConnected && FType == SOCK_STREAM) {
    LingerOnOff = wsLingerOff;
    LingerTimeout = 0;
    linger l{};
    setsockopt(FHSocket, SOL_SOCKET, SO_LINGER, &l, sizeof l);
  }
  InternalClose(false, 0);
}

void TCustomWSocket::ShutDown(int how) {
  if (FHSocket != INVALID_SOCKET) ::shutdown(FHSocket, how == 0 ? SHUT_RD : how == 1 ? SHUT_WR : SHUT_RDWR);
}

void TCustomWSocket::Pause() {
  FPaused = true;
  if (FReadNotifier) FReadNotifier->setEnabled(false);
  if (FWriteNotifier) FWriteNotifier->setEnabled(false);
}

void TCustomWSocket::Resume() {
  FPaused = false;
  if (FReadNotifier) FReadNotifier->setEnabled(FState != wsConnecting);
  UpdateWriteNotifier();
}

void TCustomWSocket::WaitForClose() {
  char buf[1024];
  while (FHSocket != INVALID_SOCKET && FState != wsClosed) {
    ProcessMessages(true);
    if (FHSocket != INVALID_SOCKET && SocketPending() > 0) Receive(buf, sizeof buf);
  }
}

void TCustomWSocket::ProcessMessages(bool wait) {
  QEventLoop loop;
  loop.processEvents(wait ? QEventLoop::WaitForMoreEvents : QEventLoop::AllEvents);
}

// ----- name lookup

void TCustomWSocket::DnsLookup(const std::string &hostName) {
  if (hostName.empty()) {
    RaiseException("DNS lookup: invalid host name.");
    TriggerDnsLookupDone(WSAEINVAL);  // reached only when OnError took the error
    return;
  }
  CancelDnsLookup();
  FDnsResult.clear();
  FDnsResultList.clear();
  uint32_t a = 0;
  const std::string h = TrimBlanks(hostName);
  if (ParseDotted(h, &a)) {
    FDnsResult = Dotted(a);
    FDnsResultList.push_back(FDnsResult);
    TriggerDnsLookupDone(0);
    return;
  }
  StartLookup(h, false);
}

void TCustomWSocket::ReverseDnsLookup(const std::string &hostAddr) {
  if (hostAddr.empty()) {
    RaiseException("DNS lookup: invalid host name.");
    TriggerDnsLookupDone(WSAEINVAL);
    return;
  }
  CancelDnsLookup();
  FDnsResult.clear();
  FDnsResultList.clear();
  StartLookup(TrimBlanks(hostAddr), true);
}

void TCustomWSocket::StartLookup(const std::string &what, bool reverse) {
  const uint64_t id = ++FDnsCounter;
  FDnsPending = id;
  std::shared_ptr<LookupShared> shared = FLookup;
  QThreadPool::globalInstance()->start([this, shared, id, what, reverse]() {
    std::vector<std::string> list;
    const int err = reverse ? LookupAddr(what, &list) : LookupHost(what, &list);
    std::lock_guard<std::mutex> lock(shared->Mutex);
    if (!shared->Target) return;  // the socket is gone
    QMetaObject::invokeMethod(
        shared->Target,
        [this, id, err, list]() {
          if (FDnsPending != id || FDestroying) return;  // cancelled or superseded
          FDnsPending = 0;
          if (err == 0) {
            FDnsResultList = list;
            FDnsResult = list.front();
          }
          try {
            TriggerDnsLookupDone(static_cast<uint16_t>(err));
          } catch (const std::exception &e) {
            HandleBackgroundException(e);
          }
        },
        Qt::QueuedConnection);
  });
}

void TCustomWSocket::CancelDnsLookup() {
  if (FDnsPending == 0) return;
  FDnsPending = 0;
  if (!FDestroying) TriggerDnsLookupDone(WSAEINTR);
}

// ----- queries

int TCustomWSocket::GetPeerName(TSockAddrIn *name, int len) {
  if (FState != wsConnected || FHSocket == INVALID_SOCKET) return -1;
  socklen_t l = static_cast<socklen_t>(len);
  return getpeername(FHSocket, reinterpret_cast<sockaddr *>(name), &l) == 0 ? 0 : -1;
}

int TCustomWSocket::GetSockName(TSockAddrIn *name, int len) {
  if (FHSocket == INVALID_SOCKET) return -1;
  socklen_t l = static_cast<socklen_t>(len);
  return getsockname(FHSocket, reinterpret_cast<sockaddr *>(name), &l) == 0 ? 0 : -1;
}

std::string TCustomWSocket::GetPeerAddr() {
  if (FState != wsConnected) return "error";
  TSockAddrIn sin{};
  if (GetPeerName(&sin, sizeof sin) != 0) {
    SocketError("GetPeerName");
    return "error";
  }
  return Dotted(sin.sin_addr.s_addr);
}

std::string TCustomWSocket::GetXPort() {
  if (FState != wsBound && FState != wsConnected && FState != wsListening) return "error";
  TSockAddrIn sin{};
  if (GetSockName(&sin, sizeof sin) != 0) return "error";
  return std::to_string(ntohs(sin.sin_port));
}

// ---------------------------------------------------------------------------------------------
// TCustomSocksWSocket

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

// ---------------------------------------------------------------------------------------------
// TCustomLineWSocket

int32_t TCustomLineWSocket::RcvdCount() {
  if (FLineMode && !LineEnd.empty()) return FLineLength;
  if (FRcvCnt > 0) return FRcvCnt;
  return TCustomSocksWSocket::RcvdCount();
}

int TCustomLineWSocket::DoRecv(void *buffer, int size) {
  if (size <= 0) return 0;
  int avail = 0;
  if (FLineMode && FLineLength > 0) avail = FLineLength;
  else if (!FLineMode && FRcvCnt > 0) avail = FRcvCnt;
  if (avail == 0) {
    if (FLineMode && !LineEnd.empty()) return 0;  // nothing until a whole line is there
    return TCustomSocksWSocket::DoRecv(buffer, size);
  }
  const int n = std::min(size, avail);
  std::memcpy(buffer, FRcvBuf.data(), static_cast<size_t>(n));
  std::memmove(FRcvBuf.data(), FRcvBuf.data() + n, static_cast<size_t>(FRcvCnt - n));
  FRcvCnt -= n;
  if (FLineLength > 0) FLineLength -= n;
  return n;
}

void TCustomLineWSocket::SetLineMode(bool value) {
  if (FLineMode == value) return;
  FLineMode = value;
  if (FRcvCnt > 0 || FLineLength > 0) {
    // Let the handler see the held bytes again in the new mode, from the event loop.
    FLineLength = 0;
    Post([this]() {
      try {
        if (FLineMode) DeliverLines(0, 0);
        else DeliverHeld(0);
      } catch (const std::exception &e) {
        HandleBackgroundException(e);
      }
    });
  }
}

void TCustomLineWSocket::DeliverHeld(uint16_t error) {
  while (!FLineMode && FRcvCnt > 0 && OnDataAvailable) {
    const int before = FRcvCnt;
    TCustomSocksWSocket::TriggerDataAvailable(error);
    if (FRcvCnt >= before) break;
  }
}

void TCustomLineWSocket::TriggerDataAvailable(uint16_t error) {
  if (SocksHandshaking() || !FLineMode || LineEnd.empty()) {
    if (FRcvCnt > 0 && !SocksHandshaking()) DeliverHeld(error);
    if (FRcvCnt == 0) TCustomSocksWSocket::TriggerDataAvailable(error);
    return;
  }
  const int waiting = SocketPending();
  const int oldCnt = FRcvCnt;
  if (waiting > 0) {
    if (static_cast<int>(FRcvBuf.size()) < FRcvCnt + waiting + 1)
      FRcvBuf.resize(static_cast<size_t>(FRcvCnt + waiting + 1));
    int n = SocketRecv(FRcvBuf.data() + FRcvCnt, waiting);
    if (n < 1) return;
    // A tab may widen the text: leave room for it.
    if (LineEdit) {
      std::vector<char> tail(FRcvBuf.begin() + FRcvCnt, FRcvBuf.begin() + FRcvCnt + n);
      FRcvBuf.resize(static_cast<size_t>(FRcvCnt + 8 * n + 1));
      std::copy(tail.begin(), tail.end(), FRcvBuf.begin() + FRcvCnt);
      // Edit in a scratch copy so that widening never overwrites unread input.
      std::vector<char> scratch(FRcvBuf.begin(), FRcvBuf.begin() + FRcvCnt);
      std::string echo;
      for (char c : tail) {
        if (c == 8) {
          if (!scratch.empty()) {
            scratch.pop_back();
            if (LineEcho) echo += "\b \b";
          }
        } else if (c == 9) {
          do {
            scratch.push_back(' ');
            if (LineEcho) echo += ' ';
          } while (scratch.size() % 8 != 0);
        } else {
          scratch.push_back(c);
          if (LineEcho) echo += c;
        }
      }
      std::copy(scratch.begin(), scratch.end(), FRcvBuf.begin());
      n = static_cast<int>(scratch.size()) - FRcvCnt;
      if (!echo.empty() && State() == wsConnected) SendStr(echo);
    } else if (LineEcho && State() == wsConnected) {
      Send(FRcvBuf.data() + FRcvCnt, n);
    }
    FRcvCnt += n;
    FRcvBuf[static_cast<size_t>(FRcvCnt)] = 0;
  }
  DeliverLines(std::max(0, oldCnt - static_cast<int>(LineEnd.size())), error);
}

void TCustomLineWSocket::DeliverLines(int searchFrom, uint16_t error) {
  int from = searchFrom;
  for (;;) {
    if (!FLineMode || LineEnd.empty()) return;
    if (FLineLength == 0) {
      const int le = static_cast<int>(LineEnd.size());
      int found = -1;
      for (int i = from; i + le <= FRcvCnt; ++i) {
        if (FRcvBuf[static_cast<size_t>(i)] == LineEnd[0] &&
            std::memcmp(FRcvBuf.data() + i, LineEnd.data(), static_cast<size_t>(le)) == 0) {
          found = i;
          break;
        }
      }
      if (found < 0) return;  // wait for the rest of the line
      FLineLength = found + le;
      FLineReceived = true;
    }
    while (FLineMode && FLineLength > 0) {
      const int before = FLineLength;
      TCustomSocksWSocket::TriggerDataAvailable(error);
      if (FLineLength >= before) return;  // not read now: kept for the next round
    }
    from = 0;
  }
}

void TCustomLineWSocket::DropReceived() {
  FRcvCnt = 0;
  FLineLength = 0;
}

void TCustomLineWSocket::TriggerSessionClosed(uint16_t error) {
  FLineReceived = true;
  if (FLineMode && FRcvCnt > 0) {
    // What came without a line end is still a line.
    FLineLength = FRcvCnt;
    while (FLineMode && FLineLength > 0) {
      const int before = FLineLength;
      TCustomSocksWSocket::TriggerDataAvailable(error);
      if (FLineLength >= before) break;
    }
  }
  FRcvBuf.clear();
  FRcvBuf.shrink_to_fit();
  FRcvCnt = 0;
  FLineLength = 0;
  TCustomSocksWSocket::TriggerSessionClosed(error);
}

// ---------------------------------------------------------------------------------------------
// TCustomSyncWSocket

int TCustomSyncWSocket::WaitUntilReady(const bool &flag, int timeoutMs) {
  QEventLoop loop;
  bool timedOut = false;
  QTimer timer;
  if (timeoutMs > 0) {
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, [&timedOut]() { timedOut = true; });
    timer.start(timeoutMs);
  }
  while (!flag) {
    if (timedOut || QCoreApplication::closingDown()) return WSocketWaitTimeout;
    loop.processEvents(QEventLoop::WaitForMoreEvents);
  }
  return 0;
}

int TCustomSyncWSocket::Synchronize(const std::function<void()> &op, const bool &flag, int timeoutMs) {
  op();
  return WaitUntilReady(flag, timeoutMs);
}
