#pragma once
// Certificate fingerprints as users see and store them, and the text of a refusal.
#include <cstddef>
#include <string>

// "AB:CD:..." of a digest.
std::string FormatFingerprint(const unsigned char *digest, size_t len);
// Same digest, whatever the case and with or without colons or blanks; an empty one matches nothing.
bool SameFingerprint(const std::string &a, const std::string &b);
// What the user reads when a server's certificate is refused.
std::string SslRefusalText(const std::string &reason, const std::string &fingerprint);
