#pragma once
// A set of texts compared without regard to ASCII case, built for bulk lookups: the texts
// live in one pool and the table is open-addressed, so neither inserting nor asking
// allocates per text, and most misses cost one probe.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TCaselessSet {
public:
  // Adds a member with a number of the caller's; the same text may be added again. Throws
  // std::length_error past 4 GB of texts or 4 G members.
  void Insert(std::string_view text, size_t number = 0);
  // Adds a member unless one equal to it is here already; true when it was added.
  bool InsertIfNew(std::string_view text, size_t number = 0);
  // Room for this many members, of about this many bytes in all, without growing on the way.
  void Reserve(size_t members, size_t bytes = 0);
  bool Empty() const { return FCount == 0; }
  size_t Size() const { return FCount; }
  bool Contains(std::string_view text) const {
    bool found = false;
    ForEachNumber(text, [&](size_t) { found = true; });
    return found;
  }
  // Calls f with the number of every member equal to text without regard to case.
  template <class F> void ForEachNumber(std::string_view text, F &&f) const {
    if (FSlots.empty()) return;
    const uint64_t hash = Hash(text);
    const uint32_t tag = Tag(hash);
    for (size_t i = hash & FMask; FSlots[i].Tag != 0; i = (i + 1) & FMask)
      if (FSlots[i].Tag == tag && Matches(FSlots[i], text)) f(FSlots[i].Number);
  }

private:
  struct TSlot {  // small, so that more of the table stays in the cache
    uint32_t Tag = 0;     // the hash's high half, never 0 in a used slot
    uint32_t Offset = 0;  // of the lower-cased text in the pool
    uint32_t Length = 0;
    uint32_t Number = 0;
  };
  static uint64_t Hash(std::string_view text);
  static uint32_t Tag(uint64_t hash) { return static_cast<uint32_t>(hash >> 32) | 1u; }
  bool Matches(const TSlot &slot, std::string_view text) const;
  void Grow();
  void Place(uint64_t hash, std::string_view text, size_t number);

  std::vector<TSlot> FSlots;  // a slot's place comes from the hash's low bits
  size_t FMask = 0;
  size_t FCount = 0;
  std::string FPool;
};
