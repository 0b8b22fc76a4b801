#pragma once
// Event-driven TCP/UDP socket. Nothing blocks: name lookups, connecting, reading and writing
// are started by a call and finished by an event that arrives later from the Qt event loop of
// the thread that created the socket. Built in layers: the socket itself, a SOCKS relay, a
// line mode, a wait routine, and TWSocket on top.
#include <netinet/in.h>
#include <sys/types.h>
#include <sys/uio.h>

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

class QObject;
class QSocketNotifier;

// Common base of the program's components, so that events can name their sender.
class TComponent {
public:
  virtual ~TComponent() = default;
};

class ESocketException : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

enum TSocketState { wsInvalidState, wsOpened, wsBound, wsConnecting, wsConnected, wsAccepting, wsListening, wsClosed };
enum TSocketSendFlags { wsSendNormal, wsSendUrgent };
enum TSocketLingerOnOff { wsLingerOff, wsLingerOn, wsLingerNoSet };
enum TSocksAuthentication { socksNoAuthentication, socksAuthenticateUsercode };
enum TSocksAuthState { socksAuthStart, socksAuthSuccess, socksAuthFailure, socksAuthNotRequired };

using TSocket = int;
constexpr TSocket INVALID_SOCKET = -1;
using TSockAddrIn = sockaddr_in;

// Socket error numbers (the 100xx numbering every error text below is keyed on).
enum : int {
  WSAEINTR = 10004, WSAEBADF = 10009, WSAEACCES = 10013, WSAEFAULT = 10014, WSAEINVAL = 10022,
  WSAEMFILE = 10024, WSAEWOULDBLOCK = 10035, WSAEINPROGRESS = 10036, WSAEALREADY = 10037,
  WSAENOTSOCK = 10038, WSAEDESTADDRREQ = 10039, WSAEMSGSIZE = 10040, WSAEPROTOTYPE = 10041,
  WSAENOPROTOOPT = 10042, WSAEPROTONOSUPPORT = 10043, WSAESOCKTNOSUPPORT = 10044,
  WSAEOPNOTSUPP = 10045, WSAEPFNOSUPPORT = 10046, WSAEAFNOSUPPORT = 10047, WSAEADDRINUSE = 10048,
  WSAEADDRNOTAVAIL = 10049, WSAENETDOWN = 10050, WSAENETUNREACH = 10051, WSAENETRESET = 10052,
  WSAECONNABORTED = 10053, WSAECONNRESET = 10054, WSAENOBUFS = 10055, WSAEISCONN = 10056,
  WSAENOTCONN = 10057, WSAESHUTDOWN = 10058, WSAETOOMANYREFS = 10059, WSAETIMEDOUT = 10060,
  WSAECONNREFUSED = 10061, WSAELOOP = 10062, WSAENAMETOOLONG = 10063, WSAEHOSTDOWN = 10064,
  WSAEHOSTUNREACH = 10065, WSAENOTEMPTY = 10066, WSAEPROCLIM = 10067, WSAEUSERS = 10068,
  WSAEDQUOT = 10069, WSAESTALE = 10070, WSAEREMOTE = 10071, WSASYSNOTREADY = 10091,
  WSAVERNOTSUPPORTED = 10092, WSANOTINITIALISED = 10093, WSAHOST_NOT_FOUND = 11001,
  WSATRY_AGAIN = 11002, WSANO_RECOVERY = 11003, WSANO_DATA = 11004,
};
// Result of the wait routine when it gave up.
constexpr int WSocketWaitTimeout = 12001;

// Errors of the SOCKS relay, reported through OnSocksError and OnSessionConnected.
enum : int {
  socksNoError = 20000, socksProtocolError = 20001, socksVersionError = 20002,
  socksAuthMethodError = 20003, socksGeneralFailure = 20004, socksConnectionNotAllowed = 20005,
  socksNetworkUnreachable = 20006, socksHostUnreachable = 20007, socksConnectionRefused = 20008,
  socksTtlExpired = 20009, socksUnknownCommand = 20010, socksUnknownAddressType = 20011,
  socksRequestRejected = 20012, socksAuthenticationFailed = 20013, socksInternalError = 20014,
};

using TDataAvailable = std::function<void(TComponent *Sender, uint16_t Error)>;
using TDataSent = std::function<void(TComponent *Sender, uint16_t Error)>;
using TSessionClosed = std::function<void(TComponent *Sender, uint16_t Error)>;
using TSessionAvailable = std::function<void(TComponent *Sender, uint16_t Error)>;
using TSessionConnected = std::function<void(TComponent *Sender, uint16_t Error)>;
using TDnsLookupDone = std::function<void(TComponent *Sender, uint16_t Error)>;
using TChangeState = std::function<void(TComponent *Sender, TSocketState OldState, TSocketState NewState)>;
using TBgExceptionEvent = std::function<void(TComponent *Sender, const std::exception &E, bool &CanClose)>;
using TSocksErrorEvent = std::function<void(TComponent *Sender, int32_t Error, const std::string &Msg)>;
using TSocksAuthStateEvent = std::function<void(TComponent *Sender, TSocksAuthState AuthState)>;
using TNotifyEvent = std::function<void(TComponent *Sender)>;

// Error number -> text, for every number a socket operation can report.
std::string WSocketErrorDesc(int error);
// Maps a POSIX errno value to the socket error numbers above.
int WSocketErrnoToError(int err);
// Synchronous resolution; each raises ESocketException with a descriptive text on failure.
uint32_t WSocketResolveHost(const std::string &host);  // network byte order
uint16_t WSocketResolvePort(const std::string &port, const std::string &proto);  // host byte order
int WSocketResolveProto(const std::string &proto);
// The machine's own host name, or "Winsock.GetHostName failed".
std::string LocalHostName();

// One chunk of the send buffer: data is written in at the end and sent from in place.
class TBuffer {
public:
  explicit TBuffer(int size);
  int Write(const char *data, int len);  // bytes copied (0 when full)
  // First unsent byte and the number of unsent bytes (nullptr and 0 when none).
  const char *Peek(int *len) const;
  int Remove(int n);  // marks bytes as sent; an emptied chunk starts again from its start
  void Resize(int size);
  int Size() const { return static_cast<int>(FBuf.size()); }

private:
  std::vector<char> FBuf;
  int FWrCount = 0;
  int FRdCount = 0;
};

constexpr int WSocketBufferSize = 1514;

class TCustomWSocket : public TComponent {
public:
  TCustomWSocket();
  ~TCustomWSocket() override;
  TCustomWSocket(const TCustomWSocket &) = delete;
  TCustomWSocket &operator=(const TCustomWSocket &) = delete;

  // Properties. The address, port, protocol and local port can change only while closed.
  const std::string &Addr() const { return FAddrStr; }
  void SetAddr(const std::string &value);
  const std::string &Port() const { return FPortStr; }
  void SetPort(const std::string &value);
  const std::string &Proto() const { return FProtoStr; }
  void SetProto(const std::string &value);
  const std::string &LocalPort() const { return FLocalPortStr; }
  void SetLocalPort(const std::string &value);
  const std::string &DnsResult() const { return FDnsResult; }
  const std::vector<std::string> &DnsResultList() const { return FDnsResultList; }
  TSocketState State() const { return FState; }
  int32_t ReadCount() const { return FReadCount; }
  virtual int32_t RcvdCount();
  int32_t LastError() const { return FLastError; }
  // The text of the last error raised or handed to OnError.
  const std::string &LastErrorMessage() const { return FLastErrorMessage; }
  TSocket HSocket() const { return FHSocket; }
  bool MultiThreaded = false;
  int32_t FlushTimeout = 60;
  TSocketSendFlags SendFlags() const { return FSendFlags; }
  void SetSendFlags(int value);
  TSocketLingerOnOff LingerOnOff = wsLingerOn;
  int32_t LingerTimeout = 0;
  const TSockAddrIn &SockAddr() const { return FSin; }
  bool AllSent() const { return FAllSent; }

  // Operations.
  virtual void Connect();
  virtual void Listen();
  TSocket Accept();
  void Dup(TSocket newHSocket);
  int32_t Send(const void *data, int32_t len);
  int32_t SendStr(const std::string &s) { return Send(s.data(), static_cast<int32_t>(s.size())); }
  int32_t SendTo(const TSockAddrIn &dest, const void *data, int32_t len);
  int32_t Receive(void *buffer, int32_t size);
  std::string ReceiveStr();
  int32_t ReceiveFrom(void *buffer, int32_t size, TSockAddrIn *from);
  void Close();
  void Abort();
  void Flush();
  void ShutDown(int how);
  void Pause();
  void Resume();
  void WaitForClose();
  void DnsLookup(const std::string &hostName);
  void ReverseDnsLookup(const std::string &hostAddr);
  void CancelDnsLookup();
  bool DnsLookupPending() const { return FDnsPending != 0; }
  std::string GetPeerAddr();
  std::string GetXPort();
  int GetPeerName(TSockAddrIn *name, int len);
  int GetSockName(TSockAddrIn *name, int len);
  // Pumps the events pending in this thread once; with `wait`, blocks for the next one.
  void ProcessMessages(bool wait = false);

  // Events; an unassigned event does nothing.
  TDataAvailable OnDataAvailable;
  TDataSent OnDataSent;
  TSessionClosed OnSessionClosed;
  TSessionAvailable OnSessionAvailable;
  TSessionConnected OnSessionConnected;
  TChangeState OnChangeState;
  TNotifyEvent OnLineTooLong;
  TDnsLookupDone OnDnsLookupDone;
  TNotifyEvent OnError;
  TBgExceptionEvent OnBgException;

protected:
  enum : unsigned { fdRead = 1, fdWrite = 2, fdAccept = 8, fdConnect = 16, fdClose = 32 };

  virtual void ResetDefaults();
  void InternalClose(bool shutFirst, uint16_t error);
  virtual int DoRecv(void *buffer, int size);
  // The transport under the line mode: straight from the handle, or through TLS above it.
  virtual int SocketRecv(void *buffer, int size);
  virtual int SocketPending();  // bytes ready to be read, -1 on failure
  // Writes what the transport takes of `iov`; -1 with errno set when it takes nothing.
  virtual ssize_t SocketWrite(const iovec *iov, int count);
  // Called before a handle is closed; `graceful` unless the session is aborted.
  virtual void TransportClosing(bool graceful) { (void)graceful; }
  void SetLastError(int32_t error) { FLastError = error; }
  void SetLastErrorMessage(const std::string &msg) { FLastErrorMessage = msg; }
  void ChangeState(TSocketState newState);
  void SocketError(const std::string &step, int error = -1);
  void RaiseException(const std::string &msg);
  void HandleBackgroundException(const std::exception &e);
  // Runs `fn` later from the event loop, unless the socket is gone by then.
  void Post(std::function<void()> fn);
  // OnDataSent for data that left outside a write notification, from the event loop.
  void PostDataSent();
  void Dispatch(unsigned events, uint16_t error);

  virtual void TriggerDataAvailable(uint16_t error);
  virtual void TriggerSessionConnected(uint16_t error);
  virtual void TriggerSessionClosed(uint16_t error);
  void TriggerSessionAvailable(uint16_t error);
  void TriggerDataSent(uint16_t error);
  void TriggerDnsLookupDone(uint16_t error);
  void TriggerError();
  void DoConnect(const std::string &addr, const std::string &port);  // no SOCKS check
  void DoListen();
  bool TryToSend();
  void DeleteBufferedData();
  void ReceiveLoop(uint16_t error);

  bool PortAssigned() const { return FPortAssigned; }
  bool AddrAssigned() const { return FAddrAssigned; }

  bool FDestroying = false;
  bool FCloseInvoked = false;

private:
  void OpenNotifiers();
  void CloseNotifiers();
  void UpdateWriteNotifier();
  void ReadReady();
  void WriteReady();
  bool Resolve(const std::string &addr, const std::string &port, bool localPort);
  void BindSocket();
  void ApplyLinger();
  void SetOption(int level, int name, int value, const char *step);
  void StartLookup(const std::string &what, bool reverse);

  TSocket FHSocket = INVALID_SOCKET;
  std::unique_ptr<QObject> FSink;
  QSocketNotifier *FReadNotifier = nullptr;
  QSocketNotifier *FWriteNotifier = nullptr;
  uint64_t FSession = 0;  // bumped per handle, so stale posted work is dropped

  std::string FAddrStr, FPortStr, FProtoStr = "tcp", FLocalPortStr = "0";
  bool FAddrAssigned = false, FPortAssigned = false, FProtoAssigned = true, FLocalPortAssigned = true;
  bool FAddrResolved = false, FPortResolved = false, FProtoResolved = false, FLocalPortResolved = false;
  uint32_t FAddr = 0;  // network order
  uint16_t FPortNo = 0, FLocalPortNo = 0;
  int FProto = 6;
  int FType = 1;  // SOCK_STREAM
  TSockAddrIn FSin{};

  std::vector<std::unique_ptr<TBuffer>> FBufList;
  bool FAllSent = true;
  bool FWritePosted = false;
  uint64_t FDataSentCount = 0;  // OnDataSent notices so far, for Flush
  bool FPaused = false;

  std::string FDnsResult;
  std::vector<std::string> FDnsResultList;
  uint64_t FDnsPending = 0;  // id of the pending lookup, 0 when none
  uint64_t FDnsCounter = 0;
  struct LookupShared;
  std::shared_ptr<LookupShared> FLookup;

  TSocketState FState = wsClosed;
  int32_t FReadCount = 0;
  int32_t FLastError = 0;
  std::string FLastErrorMessage;
  TSocketSendFlags FSendFlags = wsSendNormal;
};

class TCustomSocksWSocket : public TCustomWSocket {
public:
  void Connect() override;
  void Listen() override;
  const std::string &SocksLevel() const { return FSocksLevel; }
  void SetSocksLevel(const std::string &value);
  const std::string &SocksServer() const { return FSocksServer; }
  void SetSocksServer(const std::string &value);
  const std::string &SocksPort() const { return FSocksPort; }
  void SetSocksPort(const std::string &value);
  std::string SocksUsercode;
  std::string SocksPassword;
  TSocksAuthentication SocksAuthentication = socksNoAuthentication;

  TSessionConnected OnSocksConnected;
  TSocksErrorEvent OnSocksError;
  TSocksAuthStateEvent OnSocksAuthState;

protected:
  void ResetDefaults() override;
  void TriggerSessionConnected(uint16_t error) override;
  void TriggerDataAvailable(uint16_t error) override;
  bool SocksHandshaking() const { return FSocksPhase != spNone; }

private:
  enum SocksPhase { spNone, spGreeting, spAuth, spRequest };
  void SocksFailed(int error, const std::string &msg);
  void SocksDone();
  void SendSocksRequest();
  std::string FSocksLevel = "5", FSocksServer, FSocksPort;
  std::string FTargetAddr, FTargetPort;
  SocksPhase FSocksPhase = spNone;
  std::string FSocksIn;  // reply bytes gathered during the handshake
};

// How a mail session is secured: not at all, TLS on request after a command, or TLS from the
// first byte.
enum TMailSecurity { secNone, secStartTls, secSslTls };

// Errors of the TLS layer; the socket's LastErrorMessage says what happened.
enum : int { sslHandshakeFailed = 13001, sslCertificateRefused = 13002, sslHandshakeTimeout = 13003, sslSessionFailed = 13004 };
inline bool IsSslError(int error) { return error >= sslHandshakeFailed && error <= sslSessionFailed; }

// TLS over the same non-blocking handle, started at connect (SslImplicit) or on request
// (StartTls). The handshake runs on notifiers of its own while the plain ones are paused;
// afterwards reads and writes go through TLS and the layers above see plain bytes.
class TCustomSslWSocket : public TCustomSocksWSocket {
public:
  TCustomSslWSocket();
  ~TCustomSslWSocket() override;

  bool SslImplicit = false;          // handshake right after connecting
  std::string SslHostName;           // checked against the certificate; Addr when empty
  std::string SslTrustedFingerprint; // SHA-256 of a certificate the user accepted for this server
  std::string SslCAFile;             // trust anchors added to the system store
  int SslHandshakeTimeout = 30000;   // milliseconds
  // Starts TLS on the open session now; OnSslHandshakeDone tells how it ended.
  void StartTls();
  bool SslActive() const;
  // SHA-256 of the server's certificate, "AB:CD:...", once the handshake has seen it.
  const std::string &SslPeerFingerprint() const;
  bool SslSessionReused() const;
  TSessionConnected OnSslHandshakeDone;

protected:
  void ResetDefaults() override;
  void TriggerSessionConnected(uint16_t error) override;
  int SocketRecv(void *buffer, int size) override;
  int SocketPending() override;
  ssize_t SocketWrite(const iovec *iov, int count) override;
  void TransportClosing(bool graceful) override;
  // Bytes received in clear text before TLS started must not be read as if they were secure.
  virtual void DropReceived() {}

private:
  friend struct TSslState;
  void HandshakeStep();
  void HandshakeEnded(int error, const std::string &message);
  void PumpReads();
  void PostRecheck();
  std::unique_ptr<struct TSslState> FSsl;
};

class TCustomLineWSocket : public TCustomSslWSocket {
public:
  int32_t RcvdCount() override;
  bool LineMode() const { return FLineMode; }
  void SetLineMode(bool value);
  std::string LineEnd = "\r\n";
  bool LineEcho = false;
  bool LineEdit = false;

protected:
  int DoRecv(void *buffer, int size) override;
  void TriggerDataAvailable(uint16_t error) override;
  void TriggerSessionClosed(uint16_t error) override;
  void DropReceived() override;

private:
  void DeliverLines(int searchFrom, uint16_t error);
  void DeliverHeld(uint16_t error);
  bool FLineMode = false;
  std::vector<char> FRcvBuf;
  int FRcvCnt = 0;
  int FLineLength = 0;
  bool FLineReceived = false;
};

class TCustomSyncWSocket : public TCustomLineWSocket {
public:
  // Blocks in the event loop until `flag` is true (0), or gives up with 12001 after
  // `timeoutMs` milliseconds (0: no limit) or when the application is closing down.
  int WaitUntilReady(const bool &flag, int timeoutMs);
  // Runs `op`, then waits for `flag` as above.
  int Synchronize(const std::function<void()> &op, const bool &flag, int timeoutMs);
};

class TWSocket : public TCustomSyncWSocket {};
