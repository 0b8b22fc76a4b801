#include "lists/ImportExport.h"

#include "storage/Ansi.h"
#include "storage/FileErrors.h"
#include "storage/FileNames.h"
#include "storage/IniFiles32.h"
#include "storage/Strings.h"
#include "storage/TextFile.h"

#include <QFile>
#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

namespace {
// A file chosen to be read must be there: a missing one is an error, not an empty file.
std::string ReadChosenFile(const std::string &fileName) {
  if (!FileExists(fileName)) throw EFOpenError(fileName);
  return ReadFileBytes(fileName);
}

bool IsStop(char c) { return c != '\0' && std::strchr(" <>(),:!/=;\\", c) != nullptr; }
}  // namespace

std::string ExtractAddress(const std::string &line) {
  const size_t at = line.find('@');
  if (at == std::string::npos) return {};
  size_t first = at;
  while (first > 0 && !IsStop(line[first - 1])) --first;
  size_t last = at + 1;
  while (last < line.size() && !IsStop(line[last]) && line[last] != '@') ++last;
  const std::string address = line.substr(first, last - first);
  const char head = address.front(), tail = address.back();
  if (head == '@' || head == '.' || tail == '@' || tail == '.') return {};
  return address;
}

namespace {
// An address as extraction yields it: one at sign and none of the stop characters. Only
// such an address can lie within the text around an entry's at sign.
bool IsPlainAddress(const std::string &address) {
  const size_t at = address.find('@');
  return at != std::string::npos && address.find('@', at + 1) == std::string::npos &&
         std::none_of(address.begin(), address.end(), [](char c) { return c == '\0' || IsStop(c); });
}

bool KnownBySearch(const std::vector<std::string> &entries, const std::string &address) {
  return std::any_of(entries.begin(), entries.end(), [&](const std::string &entry) {
    return SameText(entry, address) || entry.find(address) != std::string::npos;
  });
}

// Rolling hashes of the text on each side of an at sign, grown one character at a time.
constexpr uint64_t kBase = 0x100000001B3ull;
uint64_t Grow(uint64_t hash, char c) { return hash * kBase + static_cast<unsigned char>(c) + 1; }
uint64_t PairHash(uint64_t left, uint64_t right) { return left * 0x9E3779B97F4A7C15ull ^ right; }
size_t FilterSlot(uint64_t hash) { return static_cast<size_t>((hash * 0x9E3779B97F4A7C15ull) >> 44); }

// The part of an entry that an address can be equal to without regard to case: the text
// in its angle brackets, or the whole entry when it has none.
std::string EqualityPart(const std::string &entry) {
  const size_t open = entry.find('<'), close = entry.rfind('>');
  if (open == std::string::npos) return LowerCase(entry);
  if (close == std::string::npos || close < open) return {};
  return LowerCase(entry.substr(open + 1, close - open - 1));
}
}  // namespace

std::vector<bool> AddressesKnown(const std::vector<std::string> &entries, const std::vector<std::string> &addresses) {
  std::vector<bool> known(addresses.size(), false);
  std::unordered_multimap<std::string, size_t> equal;  // lower-cased plain address -> its numbers
  std::unordered_set<uint64_t> lefts;                   // hashes of the text before the at sign
  std::vector<bool> leftFilter(1u << 20, false);        // a quick "surely not" before the set
  std::unordered_multimap<uint64_t, size_t> pairs;      // hashes of both sides -> numbers
  for (size_t i = 0; i < addresses.size(); ++i) {
    const std::string &a = addresses[i];
    if (!IsPlainAddress(a)) {
      known[i] = KnownBySearch(entries, a);  // rare: no shortcut for such texts
      continue;
    }
    equal.emplace(LowerCase(a), i);
    const size_t at = a.find('@');
    uint64_t left = 0, right = 0;
    for (size_t k = at; k > 0; --k) left = Grow(left, a[k - 1]);
    for (size_t k = at + 1; k < a.size(); ++k) right = Grow(right, a[k]);
    lefts.insert(left);
    leftFilter[FilterSlot(left)] = true;
    pairs.emplace(PairHash(left, right), i);
  }
  if (equal.empty()) return known;
  for (const std::string &entry : entries) {
    const auto hits = equal.equal_range(EqualityPart(entry));
    for (auto it = hits.first; it != hits.second; ++it) known[it->second] = true;
    // A plain address within this entry lies around one of its at signs, its left part
    // ending there and its right part starting there.
    for (size_t at = entry.find('@'); at != std::string::npos; at = entry.find('@', at + 1)) {
      size_t right_end = at + 1;
      while (right_end < entry.size() && entry[right_end] != '@' && entry[right_end] != '\0' && !IsStop(entry[right_end]))
        ++right_end;
      uint64_t left = 0;
      for (size_t k = 0;; ++k) {
        if (leftFilter[FilterSlot(left)] && lefts.count(left)) {
          uint64_t right = 0;
          for (size_t m = at + 1;; ++m) {
            const auto found = pairs.equal_range(PairHash(left, right));
            for (auto it = found.first; it != found.second; ++it) {
              const std::string &a = addresses[it->second];
              // Confirm against the text itself: a hash may collide.
              if (!known[it->second] && at >= k && a.size() == k + 1 + (m - at - 1) &&
                  entry.compare(at - k, a.size(), a) == 0)
                known[it->second] = true;
            }
            if (m >= right_end) break;
            right = Grow(right, entry[m]);
          }
        }
        if (k >= at) break;
        const char c = entry[at - k - 1];
        if (c == '@' || c == '\0' || IsStop(c)) break;
        left = Grow(left, c);
      }
    }
  }
  return known;
}

bool AddressKnown(const std::vector<std::string> &entries, const std::string &address) {
  return AddressesKnown(entries, {address}).front();
}

size_t ExtractAddresses(const std::string &textFile, const std::string &listPath,
                        const std::vector<std::string> &entries, const TProgressFunc &progress) {
  const std::vector<std::string> lines = SplitLines(ReadChosenFile(textFile));
  // First the candidates, each once (one record holds every spelling of an address), then
  // one pass over the entries answers for all of them.
  std::vector<std::string> candidates;
  std::unordered_set<std::string> seen;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (progress && (i & 1023) == 0) progress(candidates.size());
    if (lines[i].empty()) continue;
    std::string address = ExtractAddress(lines[i]);
    if (!address.empty() && seen.insert(LowerCase(address)).second) candidates.push_back(std::move(address));
  }
  const std::vector<bool> known = AddressesKnown(entries, candidates);
  std::vector<TIniFile32::TNewSection> added;
  for (size_t i = 0; i < candidates.size(); ++i)
    if (!known[i]) added.push_back({"<" + candidates[i] + ">", "Email", candidates[i]});
  if (progress) progress(added.size());
  // New addresses are new sections at the end of the book, which needs no parsing of it;
  // a book that holds one already (written meanwhile by another command) goes the long way.
  const std::string bookFile = AddressBookFile(listPath);
  if (!added.empty() && !TIniFile32::AppendNewSections(bookFile, added)) {
    TIniFile32 book(bookFile);
    book.BeginUpdate();
    for (const auto &s : added) book.WriteString(s.Section, s.Key, s.Value);
    book.EndUpdate();
  }
  return added.size();
}

void ExportEntries(const std::string &fileName, const std::vector<std::string> &entries) {
  WriteFileAtomic(fileName, JoinLines(entries));
}

namespace {
// A length-prefixed text field; a length byte beyond the field's size is cut to it.
std::string Field(const char *record, size_t offset, size_t size) {
  const size_t length = std::min<size_t>(static_cast<unsigned char>(record[offset]), size - 1);
  return std::string(record + offset + 1, length);
}

std::string TruncatedText(const std::string &fileName) {
  return "The list file " + fileName + " ends inside a record; it is damaged or not a Brevant 1.x list file.";
}

void WriteLegacySettings(TIniFile32 &lists, const std::string &name, const std::string &path, const char *rec) {
  const std::string flags = Field(rec, 1275, 11);
  auto on = [&](char digit) { return flags.find(digit) != std::string::npos; };
  auto text = [&](const char *key, const std::string &value) { lists.WriteString(name, key, value); };
  auto flag = [&](const char *key, char digit) {
    if (on(digit)) lists.WriteBool(name, key, true);
  };
  text("Path", path);
  text("From Address", Field(rec, 101, 101));
  text("To Address", Field(rec, 202, 101));
  text("POP Server", Field(rec, 303, 76));
  text("POP UserName", Field(rec, 379, 31));
  text("POP Password", Field(rec, 410, 21));
  text("SMTP Server", Field(rec, 431, 76));
  text("Header File", Field(rec, 507, 256));
  flag("Include Header", '1');
  text("Footer File", Field(rec, 763, 256));
  flag("Include Footer", '2');
  text("Sig File", Field(rec, 1019, 256));
  flag("Include Sig", '3');
  text("Remove To Address", Field(rec, 1286, 101));
  text("Remove Sub Address", Field(rec, 1387, 256));
  flag("Auto Maint", '5');
  flag("Remove To", '6');
  flag("Remove Sub", '7');
  flag("Delete Read", '8');
}
}  // namespace

TLegacyImport ImportLegacyList(const std::string &dataDir, const std::string &fileName, const TStatusFunc &status) {
  auto say = [&](const std::string &text) {
    if (status) status(text);
  };
  TLegacyImport result;
  say("Opening list...");
  // Record by record: a list file of many addresses is never held in memory whole.
  QFile file(AnsiToQString(fileName));
  if (!file.exists() || !file.open(QIODevice::ReadOnly)) throw EFOpenError(fileName);
  std::string settingsRecord(kLegacyRecordSize, '\0');
  if (file.read(settingsRecord.data(), kLegacyRecordSize) != static_cast<qint64>(kLegacyRecordSize)) {
    result.Error = TruncatedText(fileName);
    return result;
  }
  const char *settings = settingsRecord.data();
  std::string listName = Field(settings, 0, 101);
  if (Trim(listName).empty()) listName = "Imported List";  // a list needs a name to be chosen by
  const std::string name = MakeUniqueListName(dataDir, listName).substr(0, 100);
  const std::string path = MakeUniquePath(dataDir + StripFileNameChars(name)) + "/";
  result.Path = path;
  result.Folders = CreateListFolder(path);
  if (!result.Folders.Created) return result;
  result.Name = name;

  say("Writing list settings...");
  {
    TIniFile32 lists(ListsFile(dataDir));
    lists.BeginUpdate();
    WriteLegacySettings(lists, name, path, settings);
    lists.EndUpdate();
  }

  say("Reading addresses...");
  TIniFile32 book(AddressBookFile(path));
  book.BeginUpdate();
  try {
    std::string record(kLegacyRecordSize, '\0');
    for (;;) {
      const qint64 got = file.read(record.data(), kLegacyRecordSize);
      if (got == 0) break;
      if (got != static_cast<qint64>(kLegacyRecordSize)) {
        result.Error = TruncatedText(fileName);
        break;
      }
      const char *rec = record.data();
      const std::string email = Field(rec, 101, 101);
      const std::string key = AddressKey(email);
      book.WriteString(key, "Name", Field(rec, 0, 101));
      book.WriteString(key, "Email", email);
      book.WriteString(key, "Address 1", Field(rec, 431, 76));
      book.WriteString(key, "Address 2", Field(rec, 303, 76));
      book.WriteString(key, "Phone", Field(rec, 410, 21));
      ++result.Count;
      say("Importing " + std::to_string(result.Count) + " addresses...");
    }
  } catch (...) {
    book.EndUpdate();
    throw;
  }
  book.EndUpdate();
  return result;
}
