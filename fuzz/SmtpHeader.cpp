// Feeds arbitrary bytes to the SMTP client's pure text routines: header folding must leave
// no line break that starts a header line of its own, no line over 998 characters, and lose
// nothing but line breaks, blanks and control characters; reply parsing must take any bytes.
#include "net/SmtpProt.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace {

// The visible characters: a piece of a value made only of blanks and control characters is
// dropped by the folding, since it would make an empty continuation line.
std::string Visible(const std::string &s) {
  std::string out;
  for (char c : s)
    if (static_cast<unsigned char>(c) > ' ') out += c;
  return out;
}

[[noreturn]] void Fail(const char *what, const std::string &in, const std::string &out) {
  std::fprintf(stderr, "%s\ninput: %s\noutput: %s\n", what, in.c_str(), out.c_str());
  __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string input(reinterpret_cast<const char *>(data), size);

  const std::string folded = FoldHeaderLine(input);
  size_t start = 0;
  for (bool first = true;; first = false) {
    const size_t end = folded.find("\r\n", start);
    const std::string line = folded.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (line.find_first_of("\r\n") != std::string::npos) Fail("bare line break", input, folded);
    if (line.size() > 998) Fail("line too long", input, folded);
    if (!first && (line.empty() || (line[0] != ' ' && line[0] != '\t'))) Fail("line of its own", input, folded);
    if (end == std::string::npos) break;
    start = end + 2;
  }
  if (Visible(folded) != Visible(input)) Fail("text lost", input, folded);

  std::string buffer = input;
  std::string line;
  while (TakeSmtpLine(buffer, &line)) (void)ParseSmtpReply(line);
  return 0;
}
