#pragma once
// "UIDLs.dat" in the data directory: one profile section "host:identifier" with the entry
// 1=1 per message ever stored. A run reads it once, keeping only the identifiers of its own
// host, and appends the sections of the messages it stored; the file is never rewritten.
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
  // Counts the identifier as seen; its section is written by the next Flush.
  void Record(const std::string &identifier);
  // Appends the sections recorded since the last flush in one write and waits until they
  // are on disk. Throws EFCreateError; the sections then stay pending.
  void Flush();
  size_t Size() const { return FSeen.size(); }
  bool Pending() const { return !FPending.empty(); }

private:
  std::string FFile;
  std::string FHost;
  std::unordered_set<std::string> FSeen;
  std::string FPending;  // the sections' text
};
