#pragma once
// Names shared by every layer of the event-driven socket: states, error numbers, events.
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
