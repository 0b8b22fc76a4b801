#pragma once
// Error texts and synchronous name resolution for the socket layers.
#include <cstdint>
#include <string>
#include <vector>

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

// Small helpers the layers share.
namespace wsocket {
std::string TrimBlanks(const std::string &s);
std::string Dotted(uint32_t netAddr);  // network byte order
// A dotted address of four decimal parts, each 0..255.
bool ParseDotted(const std::string &s, uint32_t *netAddr);
// Every IPv4 address of a host, in the order the resolver returns them; 0 or an error number.
int LookupHost(const std::string &name, std::vector<std::string> *result);
int LookupAddr(const std::string &dotted, std::vector<std::string> *result);
}  // namespace wsocket
