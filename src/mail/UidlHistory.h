#pragma once
// "UIDLs.dat" in the data directory: one profile section "host:identifier" with the entry
// 1=1 per message ever stored. A run reads it once, keeping only the identifiers of its own
// host, and appends the sections of the messages it stored; the file is never rewritten.
#include "storage/CaselessSet.h"

#include <string>
#include <string_view>
#include <vector>

inline constexpr const char *kUidlFile = "UIDLs.dat";

class TUidlHistory {
public:
  // Reads the sections of `host` from the file in the data directory (a missing file is
  // an empty history). The file is read in blocks, never held whole.
  TUidlHistory(const std::string &dataDir, const std::string &host);
  // The same, keeping only the identifiers of `wanted` (those on the server): the file is
  // still read once, but memory and lookups stay with the mailbox, not the history.
  TUidlHistory(const std::string &dataDir, const std::string &host, const std::vector<std::string> &wanted);

  // Whether "host:identifier" is a recorded section, compared exactly.
  bool Seen(std::string_view identifier) const;
  // Counts the identifier as seen; its section is written by the next Flush.
  void Record(const std::string &identifier);
  // Appends the sections recorded since the last flush in one write and waits until they
  // are on disk. Throws EFCreateError; the sections then stay pending.
  void Flush();
  size_t Size() const { return FSeen.Size(); }
  bool Pending() const { return !FPending.empty(); }

private:
  void Add(std::string_view identifier);
  template <class Keep> void Read(Keep &&keep);

  std::string FFile;
  std::string FHost;
  // The identifiers one after the other, and a table of them by their offset in it: one
  // allocation for a whole history rather than one per identifier. The table matches
  // without case; Seen then compares the bytes.
  std::string FPool;
  TCaselessSet FSeen;
  std::string FPending;  // the sections' text
};
