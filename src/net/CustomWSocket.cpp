#include "net/CustomWSocket.h"

#include <QEventLoop>
#include <QMetaObject>
#include <QObject>
#include <QSocketNotifier>
#include <QThreadPool>

#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <mutex>

using namespace wsocket;

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
