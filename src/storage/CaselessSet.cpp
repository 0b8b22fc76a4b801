#include "storage/CaselessSet.h"

#include <cstring>
#include <stdexcept>

namespace {
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
}  // namespace

namespace {
// Eight bytes at a time with their ASCII capitals made small: a byte gains 0x20 when it lies
// from 'A' to 'Z', found by two additions that carry into each byte's top bit.
uint64_t LowerWord(uint64_t word) {
  constexpr uint64_t kOnes = 0x0101010101010101ull, kTops = 0x8080808080808080ull;
  const uint64_t low7 = word & ~kTops;
  const uint64_t fromA = low7 + (0x80 - 'A') * kOnes, pastZ = low7 + (0x80 - 'Z' - 1) * kOnes;
  return word | (((fromA ^ pastZ) & ~word & kTops) >> 2);
}

uint64_t Mix(uint64_t hash, uint64_t word) {
  hash = (hash ^ word) * 0x9E3779B97F4A7C15ull;
  return hash ^ (hash >> 29);
}
}  // namespace

uint64_t TCaselessSet::Hash(std::string_view text) {
  uint64_t hash = text.size();
  size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    uint64_t word;
    std::memcpy(&word, text.data() + i, 8);
    hash = Mix(hash, LowerWord(word));
  }
  if (i < text.size()) {
    uint64_t word = 0;
    std::memcpy(&word, text.data() + i, text.size() - i);
    hash = Mix(hash, LowerWord(word));
  }
  // Mixed once more: the low bits choose the slot.
  hash *= 0xFF51AFD7ED558CCDull;
  return hash ^ (hash >> 32);
}

bool TCaselessSet::Matches(const TSlot &slot, std::string_view text) const {
  if (slot.Length != text.size()) return false;
  const char *member = FPool.data() + slot.Offset;
  for (size_t i = 0; i < text.size(); ++i)
    if (member[i] != Lower(text[i])) return false;
  return true;
}

void TCaselessSet::Reserve(size_t members, size_t bytes) {
  while (members * 2 > FSlots.size()) Grow();
  FPool.reserve(bytes);
}

void TCaselessSet::Grow() {
  std::vector<TSlot> old = std::move(FSlots);
  FSlots.assign(old.empty() ? 64 : old.size() * 2, TSlot{});
  FMask = FSlots.size() - 1;
  for (const TSlot &slot : old) {
    if (slot.Tag == 0) continue;
    // The low bits of the hash are gone, so the text gives them again.
    size_t i = Hash(std::string_view(FPool).substr(slot.Offset, slot.Length)) & FMask;
    while (FSlots[i].Tag != 0) i = (i + 1) & FMask;
    FSlots[i] = slot;
  }
}

void TCaselessSet::Insert(std::string_view text, size_t number) { Place(Hash(text), text, number); }

bool TCaselessSet::InsertIfNew(std::string_view text, size_t number) {
  const uint64_t hash = Hash(text);
  if (!FSlots.empty()) {
    const uint32_t tag = Tag(hash);
    for (size_t i = hash & FMask; FSlots[i].Tag != 0; i = (i + 1) & FMask)
      if (FSlots[i].Tag == tag && Matches(FSlots[i], text)) return false;
  }
  Place(hash, text, number);
  return true;
}

void TCaselessSet::Place(uint64_t hash, std::string_view text, size_t number) {
  constexpr size_t kLimit = 0xFFFFFFFFu;
  if (FPool.size() + text.size() > kLimit || number > kLimit) throw std::length_error("TCaselessSet");
  if ((FCount + 1) * 2 > FSlots.size()) Grow();  // at most half full: probes stay short
  TSlot slot;
  slot.Tag = Tag(hash);
  slot.Offset = static_cast<uint32_t>(FPool.size());
  slot.Length = static_cast<uint32_t>(text.size());
  slot.Number = static_cast<uint32_t>(number);
  FPool += text;
  for (size_t k = slot.Offset; k < FPool.size(); ++k) FPool[k] = Lower(FPool[k]);
  size_t i = hash & FMask;
  while (FSlots[i].Tag != 0) i = (i + 1) & FMask;
  FSlots[i] = slot;
  ++FCount;
}
