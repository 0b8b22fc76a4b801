#include "net/WSocketFunctions.h"
#include "net/WSocketTypes.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace wsocket {

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

}  // namespace wsocket

using namespace wsocket;

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
