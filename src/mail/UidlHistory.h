#pragma once
// "UIDLs.dat" in the data directory: one profile section "host:identifier" with the entry
// 1=1 per message ever stored. A run reads it once, keeping only the identifiers of its own
// host, and appends one section per message it stores; the file is never rewritten.
#include <string>
#include <unordered_set>

inline constexpr const char *kUidlFile = "UIDLs.dat";

class TUidlHistory {
public:
  // Reads the sections of `host` from the file in the data directory (a missing file is
  // an empty history). The file is read piece by piece, never held whole.
  TUidlHistory(const std::string &dataDir, const std::string &host);

  // Whether "host:identifier" is a recorded section, compared exactly.
  bool Seen(const std::string &identifier) const { return FSeen.count(identifier) != 0; }
  // Appends the section of the identifier (throws EFCreateError) and remembers it.
  void Record(const std::string &identifier);
  size_t Size() const { return FSeen.size(); }

private:
  std::string FFile;
  std::string FHost;
  std::unordered_set<std::string> FSeen;
};
