// Feeds arbitrary bytes to TMimeDecode::DecodeStream with every event assigned, so that the
// sanitizers see every byte the decoder hands out.
#include "net/MimeDec.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

namespace {

volatile unsigned gSink;  // keeps the sums below from being optimised away

// Touches each byte handed out so that a read outside the line is caught.
unsigned Sum(const char *data, std::size_t len) {
  unsigned s = 0;
  for (std::size_t i = 0; i < len; ++i) s += static_cast<unsigned char>(data[i]);
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string input(reinterpret_cast<const char *>(data), size);
  std::istringstream in(input);
  std::ostringstream dest;
  TMimeDecode mime;
  unsigned sink = 0;
  std::size_t delivered = 0;
  int lastPart = 0;
  auto current = [&](TMimeDecode *m) {
    if (!m->CurrentData()) return;
    sink += Sum(m->CurrentData(), m->CurrentDataLen());
    if (m->CurrentData()[m->CurrentDataLen()] != '\0') std::abort();
  };
  mime.OnHeaderBegin = current;
  mime.OnHeaderLine = current;
  mime.OnHeaderEnd = current;
  mime.OnPartHeaderBegin = [&](TMimeDecode *m) {
    // Part numbers only grow.
    if (m->PartNumber() <= lastPart) std::abort();
    lastPart = m->PartNumber();
  };
  mime.OnPartHeaderLine = current;
  mime.OnPartHeaderEnd = current;
  mime.OnPartBegin = [&](TMimeDecode *m) {
    sink += unsigned(m->PartFileName().size() + m->PartEncoding().size());
    m->DestStream = &dest;
  };
  mime.OnPartLine = [&](TMimeDecode *, const char *d, std::size_t n) {
    if (d[n] != '\0') std::abort();
    sink += Sum(d, n);
    delivered += n;
  };
  mime.OnPartEnd = [&](TMimeDecode *m) { m->DestStream = nullptr; };
  mime.OnInlineDecodeBegin = [&](TMimeDecode *, const std::string &name) { sink += unsigned(name.size()); };
  mime.OnInlineDecodeLine = [&](TMimeDecode *, const char *line) { sink += unsigned(std::strlen(line)); };
  mime.OnInlineDecodeEnd = [&](TMimeDecode *, const std::string &name) { sink += unsigned(name.size()); };
  mime.DecodeStream(in);
  // A uuencoded line of one character may stand for 63 bytes; nothing gives more.
  if (delivered > 63 * size || dest.str().size() > 63 * size + 2) std::abort();
  gSink = sink;
  return 0;
}
