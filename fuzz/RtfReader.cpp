// Feeds arbitrary bytes to the RTF reader, then checks that what it read survives writing and
// reading again unchanged.
#include "compose/RtfReader.h"
#include "compose/RtfWriter.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string input(reinterpret_cast<const char *>(data), size);
  const TRichDocument doc = ReadRtf(input);
  const std::string once = WriteRtf(doc);
  const std::string twice = WriteRtf(ReadRtf(once));
  if (once != twice) {
    std::fprintf(stderr, "round trip differs:\n%s\n---\n%s\n", once.c_str(), twice.c_str());
    __builtin_trap();
  }
  return 0;
}
