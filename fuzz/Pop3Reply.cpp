// Feeds arbitrary server bytes through the POP3 receive buffer in pieces (the first byte
// picks the piece size) and every line cut through the reply parsers. Checks that no byte
// is lost or invented and that parsed values keep their promises.
#include "net/Pop3Reply.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 1)
    return 0;
  const std::size_t piece = data[0] % 64 + 1;
  const char *in = reinterpret_cast<const char *>(data + 1);
  const std::size_t len = size - 1;
  TPop3LineBuffer buf;
  std::size_t fed = 0, consumed = 0;
  std::string line;
  while (fed < len) {
    const std::size_t n = std::min({piece, len - fed, buf.FreeSize()});
    if (n == 0)
      __builtin_trap(); // the buffer must always make room again
    std::memcpy(buf.FreeSpace(), in + fed, n);
    buf.Commit(n);
    fed += n;
    for (;;) {
      const auto r = buf.NextLine(line);
      if (r == TPop3LineBuffer::TResult::lrTooLong)
        return 0;
      if (r != TPop3LineBuffer::TResult::lrLine)
        break;
      if (line.find("\r\n") != std::string::npos ||
          std::string(in + consumed, line.size()) != line)
        __builtin_trap();
      consumed += line.size() + 2;
      const TPop3UidlEntry u = Pop3ParseUidl(line);
      for (char c : u.Uidl)
        if (c < '!' || c > '~')
          __builtin_trap();
      const TPop3Numbers nums = Pop3ParseNumbers(line);
      if (nums.First < 0 || nums.Second < 0 || Pop3ParseLast(line) < 0)
        __builtin_trap();
      const std::string stamp = Pop3TimeStamp(line);
      if (!stamp.empty() && (stamp.front() != '<' || stamp.back() != '>'))
        __builtin_trap();
      std::string data2 = line;
      if (Pop3Unstuff(data2) == TPop3DataLine::dlData && data2.size() + 1 < line.size())
        __builtin_trap();
    }
  }
  if (consumed + buf.Pending() != len)
    __builtin_trap();
  return 0;
}
