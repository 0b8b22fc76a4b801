#pragma once
// What an SMTP server announces in its EHLO reply, and the login answers built from it.
// Pure functions: no socket, no state.
#include <cstdint>
#include <set>
#include <string>
#include <vector>

struct TSmtpCapabilities {
  bool StartTls = false;
  bool Size = false;
  int64_t MaxSize = 0;          // SIZE's limit in bytes; 0 when none is given
  std::set<std::string> Auth;   // mechanism names, upper case
  bool Pipelining = false;      // commands may go out without waiting for each reply
};

// Reads the text of the EHLO reply lines (code and separator included, as received); the
// first line is the server's greeting. Unknown keywords and damaged values are ignored.
TSmtpCapabilities ParseEhloReply(const std::vector<std::string> &lines);

enum TSmtpAuthMech { smtpAuthNone, smtpAuthPlain, smtpAuthLogin, smtpAuthCramMd5 };
// The mechanism to use among those offered. Over TLS the simplest is fine; in clear text
// the one that never shows the password comes first.
TSmtpAuthMech ChooseSmtpAuth(const TSmtpCapabilities &caps, bool overTls);
const char *SmtpAuthName(TSmtpAuthMech mech);

std::string Base64Text(const std::string &bytes);
// "\0user\0password" in base64 (RFC 4616).
std::string AuthPlainResponse(const std::string &user, const std::string &password);
// HMAC-MD5 (RFC 2104) as 32 lower-case hex digits.
std::string HmacMd5Hex(const std::string &key, const std::string &text);
// The answer to a CRAM-MD5 challenge given in base64 (RFC 2195), in base64.
std::string CramMd5Response(const std::string &user, const std::string &password, const std::string &challenge64);
