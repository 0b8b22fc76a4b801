// Feeds arbitrary server bytes, cut into lines, to the EHLO capability parser and checks what
// it promises: a size only with SIZE, mechanism names upper case and without blanks, and a
// choice only among the mechanisms offered.
#include "net/SmtpAuth.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::vector<std::string> lines(1);
  for (size_t i = 0; i < size; ++i) {
    const char c = static_cast<char>(data[i]);
    if (c == '\n') lines.emplace_back();
    else lines.back() += c;
  }
  const TSmtpCapabilities caps = ParseEhloReply(lines);
  if (caps.MaxSize < 0 || (caps.MaxSize > 0 && !caps.Size)) __builtin_trap();
  for (const std::string &m : caps.Auth) {
    if (m.empty()) __builtin_trap();
    for (char c : m)
      if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || (c >= 'a' && c <= 'z')) __builtin_trap();
  }
  for (bool tls : {false, true}) {
    const TSmtpAuthMech m = ChooseSmtpAuth(caps, tls);
    if (m != smtpAuthNone && !caps.Auth.count(SmtpAuthName(m))) __builtin_trap();
    if (m == smtpAuthNone && (caps.Auth.count("PLAIN") || caps.Auth.count("LOGIN") || caps.Auth.count("CRAM-MD5")))
      __builtin_trap();
  }
  return 0;
}
