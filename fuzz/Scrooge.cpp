// Feeds arbitrary bytes to the HTML converter. The first two bytes pick the options; the rest
// is the RTF, given the header when it lacks one so that every input reaches the tokenizer.
#include "compose/Scrooge.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 2) return 0;
  TScrooge s;
  const unsigned bits = data[0] | (data[1] << 8);
  s.Options = {};
  for (int o = soUseColors; o <= soHyperlinks; ++o)
    if (bits & (1u << o)) s.Options.Include(static_cast<TScroogeOption>(o));
  s.Title = "T&<x>";
  s.BodyOptions = {"BGCOLOR=#FFFFFF"};
  s.Headtags = {"<style></style>"};
  s.ReplaceStrings = {"%Name%=Ann", "%E-mail%=a@b.c", "a=b", "=x", "no equals"};
  s.OnProgress = [](TScrooge *, int position, bool &cont) {
    if (position > 100) __builtin_trap();
    cont = true;
  };
  std::string rtf(reinterpret_cast<const char *>(data + 2), size - 2);
  if (rtf.compare(0, 6, "{\\rtf1") != 0) rtf.insert(0, "{\\rtf1");
  std::string html;
  try {
    s.ConvertRTF(rtf, html);
  } catch (const EScroogeError &) {
  }
  return 0;
}
