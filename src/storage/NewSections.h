#pragma once
// Sections to be added at the end of a profile file, kept as the very text they add, so
// that bulk commands (many thousands of addresses) build them without a structure per key.
#include "storage/CaselessSet.h"

#include <string>
#include <string_view>

class TNewSections {
public:
  // Starts a section; false, adding nothing, when one of that name (in any case) is here.
  bool AddSection(std::string_view name);
  // An entry of the last section started. An empty value is left out, as profile files
  // leave it out. Keys within a section differ, and values are one line.
  void AddEntry(std::string_view key, std::string_view value);

  // Room for this many sections of about this many bytes of text in all.
  void Reserve(size_t sections, size_t bytes) {
    FHeaders.Reserve(sections, bytes / 2);
    FText.reserve(bytes);
  }

  size_t Count() const { return FHeaders.Size(); }
  bool Empty() const { return FHeaders.Empty(); }
  // CR LF, "[name]", CR LF, then "key=value" CR LF per entry, for every section in order.
  const std::string &Text() const { return FText; }
  // The header lines "[name]" of the sections.
  const TCaselessSet &Headers() const { return FHeaders; }

private:
  std::string FText;
  TCaselessSet FHeaders;
};
