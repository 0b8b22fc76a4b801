#include "net/SslFingerprint.h"

#include <cctype>

namespace {
std::string HexDigits(const std::string &s) {
  std::string out;
  for (char c : s)
    if (std::isxdigit(static_cast<unsigned char>(c))) out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    else if (c != ':' && c != ' ') return std::string();  // not a fingerprint at all
  return out;
}
}  // namespace

std::string FormatFingerprint(const unsigned char *digest, size_t len) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (size_t i = 0; i < len; ++i) {
    if (i) out += ':';
    out += kHex[digest[i] >> 4];
    out += kHex[digest[i] & 15];
  }
  return out;
}

bool SameFingerprint(const std::string &a, const std::string &b) {
  const std::string x = HexDigits(a);
  return x.size() == 64 && x == HexDigits(b);
}

std::string SslRefusalText(const std::string &reason, const std::string &fingerprint) {
  return "The server's certificate was refused: " + reason + ". SHA-256 fingerprint: " + fingerprint;
}
