#pragma once
// The base layer of the event-driven socket: the descriptor, its notifiers, connect, listen,
// send and receive. Nothing blocks: every call is finished by an event from the Qt event loop.
#include "net/Buffer.h"
#include "net/WSocketFunctions.h"
#include "net/WSocketTypes.h"

#include <sys/uio.h>

#include <memory>
#include <string>

class QObject;
class QSocketNotifier;

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
