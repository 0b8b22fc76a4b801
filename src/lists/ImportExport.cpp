#include "lists/ImportExport.h"

#include "storage/Ansi.h"
#include "storage/CaselessSet.h"
#include "storage/FileErrors.h"
#include "storage/FileNames.h"
#include "storage/IniFiles32.h"
#include "storage/NewSections.h"
#include "storage/Strings.h"
#include "storage/TextFile.h"

#include <QFile>
#include <algorithm>
#include <array>
#include <thread>

namespace {
// A file chosen to be read must be there: a missing one is an error, not an empty file.
std::string ReadChosenFile(const std::string &fileName) {
  if (!FileExists(fileName)) throw EFOpenError(fileName);
  return ReadFileBytes(fileName);
}

// The characters that end an address, in a table: the scan asks for every character.
struct TStopTable {
  bool Stops[256] = {};
  TStopTable() {
    for (const char *c = " <>(),:!/=;\\"; *c; ++c) Stops[static_cast<unsigned char>(*c)] = true;
  }
};
const TStopTable kStops;
bool IsStop(char c) { return kStops.Stops[static_cast<unsigned char>(c)]; }

}  // namespace

namespace {
// The address around the line's first at sign as a part of the line, or an empty view.
std::string_view AddressIn(std::string_view line) {
  const size_t at = line.find('@');
  if (at == std::string::npos) return {};
  size_t first = at;
  while (first > 0 && !IsStop(line[first - 1])) --first;
  size_t last = at + 1;
  while (last < line.size() && !IsStop(line[last]) && line[last] != '@') ++last;
  const std::string_view address = line.substr(first, last - first);
  const char head = address.front(), tail = address.back();
  if (head == '@' || head == '.' || tail == '@' || tail == '.') return {};
  return address;
}
}  // namespace

std::string ExtractAddress(std::string_view line) { return std::string(AddressIn(line)); }

namespace {
// An address as extraction yields it: one at sign and none of the stop characters. Only
// such an address can lie within the text around an entry's at sign.
bool IsPlainAddress(std::string_view address) {
  const size_t at = address.find('@');
  return at != std::string::npos && address.find('@', at + 1) == std::string::npos &&
         std::none_of(address.begin(), address.end(), [](char c) { return c == '\0' || IsStop(c); });
}

bool KnownBySearch(const std::vector<std::string> &entries, std::string_view address) {
  return std::any_of(entries.begin(), entries.end(), [&](const std::string &entry) {
    return SameText(entry, std::string(address)) || entry.find(address) != std::string::npos;
  });
}

// Rolling hashes of the text on each side of an at sign, grown one character at a time.
constexpr uint64_t kBase = 0x100000001B3ull;
uint64_t Grow(uint64_t hash, char c) { return hash * kBase + static_cast<unsigned char>(c) + 1; }
uint64_t PairHash(uint64_t left, uint64_t right) { return left * 0x9E3779B97F4A7C15ull ^ right; }
size_t FilterSlot(uint64_t hash) { return static_cast<size_t>((hash * 0x9E3779B97F4A7C15ull) >> 44); }

// The part of an entry that an address can be equal to without regard to case: the text
// in its angle brackets, or the whole entry when it has none.
std::string_view EqualityPart(std::string_view entry) {
  const size_t open = entry.find('<'), close = entry.rfind('>');
  if (open == std::string::npos) return entry;
  if (close == std::string::npos || close < open) return {};
  return entry.substr(open + 1, close - open - 1);
}
}  // namespace

namespace {
// Finds plain addresses inside entries by the text on either side of an at sign: rolling
// hashes of the left part (read backwards from the at sign) and of the right part, looked
// up in sorted tables and confirmed against the text itself, as hashes may collide.
class TContainedAddresses {
public:
  explicit TContainedAddresses(const std::vector<std::string_view> &addresses) : FAddresses(addresses) {
    FLefts.reserve(addresses.size());
    FPairs.reserve(addresses.size());
  }

  void Add(size_t number) {
    const std::string_view a = FAddresses[number];
    const size_t at = a.find('@');
    uint64_t left = 0, right = 0;
    for (size_t k = at; k > 0; --k) left = Grow(left, a[k - 1]);
    for (size_t k = at + 1; k < a.size(); ++k) right = Grow(right, a[k]);
    FLefts.push_back(left);
    FLeftFilter[FilterSlot(left)] = true;
    FPairs.emplace_back(PairHash(left, right), number);
  }
  void Prepare() {
    std::sort(FLefts.begin(), FLefts.end());
    std::sort(FPairs.begin(), FPairs.end());
  }

  // Marks the addresses that lie within the entry: around one of its at signs, the left
  // part ending there and the right part starting there.
  void Mark(std::string_view entry, std::vector<char> *known) const {
    for (size_t at = entry.find('@'); at != std::string_view::npos; at = entry.find('@', at + 1)) {
      size_t rightEnd = at + 1;
      while (rightEnd < entry.size() && entry[rightEnd] != '@' && entry[rightEnd] != '\0' && !IsStop(entry[rightEnd]))
        ++rightEnd;
      uint64_t left = 0;
      for (size_t k = 0;; ++k) {
        if (IsLeft(left)) MarkRightParts(entry, at - k, at, rightEnd, left, known);
        if (k >= at) break;
        const char c = entry[at - k - 1];
        if (c == '@' || c == '\0' || IsStop(c)) break;
        left = Grow(left, c);
      }
    }
  }

private:
  bool IsLeft(uint64_t left) const {
    return FLeftFilter[FilterSlot(left)] && std::binary_search(FLefts.begin(), FLefts.end(), left);
  }
  // Every address that starts at `start` and ends within the right part of the at sign.
  void MarkRightParts(std::string_view entry, size_t start, size_t at, size_t rightEnd, uint64_t left,
                      std::vector<char> *known) const {
    uint64_t right = 0;
    for (size_t m = at + 1;; ++m) {
      const auto key = PairHash(left, right);
      auto it = std::lower_bound(FPairs.begin(), FPairs.end(), std::pair<uint64_t, size_t>(key, 0));
      for (; it != FPairs.end() && it->first == key; ++it) {
        const std::string_view a = FAddresses[it->second];
        if (!(*known)[it->second] && a.size() == m - start && entry.compare(start, a.size(), a) == 0)
          (*known)[it->second] = 1;
      }
      if (m >= rightEnd) break;
      right = Grow(right, entry[m]);
    }
  }

  const std::vector<std::string_view> &FAddresses;
  std::vector<bool> FLeftFilter = std::vector<bool>(size_t{1} << 20, false);  // a quick "surely not"
  std::vector<uint64_t> FLefts;                                              // sorted
  std::vector<std::pair<uint64_t, size_t>> FPairs;                           // sorted by hash
};
}  // namespace

namespace {
// Marks the addresses known from entries [first, last): equal to one, or within one.
void MarkKnown(const std::vector<std::string> &entries, size_t first, size_t last, const TCaselessSet &equal,
               const TContainedAddresses &contained, std::vector<char> *known) {
  for (size_t e = first; e < last; ++e) {
    equal.ForEachNumber(EqualityPart(entries[e]), [&](size_t i) { (*known)[i] = 1; });
    contained.Mark(entries[e], known);
  }
}
}  // namespace

std::vector<bool> AddressesKnown(const std::vector<std::string> &entries, const std::vector<std::string_view> &addresses) {
  std::vector<char> known(addresses.size(), 0);
  TCaselessSet equal;  // plain addresses -> their numbers
  equal.Reserve(addresses.size());
  TContainedAddresses contained(addresses);
  for (size_t i = 0; i < addresses.size(); ++i) {
    if (!IsPlainAddress(addresses[i])) {
      known[i] = KnownBySearch(entries, addresses[i]);  // rare: no shortcut for such texts
      continue;
    }
    equal.Insert(addresses[i], i);
    contained.Add(i);
  }
  if (!equal.Empty()) {
    contained.Prepare();
    // A large book is shared out among the processor's cores, each marking on its own.
    constexpr size_t kShare = 16384;
    const size_t parts = std::clamp<size_t>(entries.size() / kShare, 1, std::max(1u, std::thread::hardware_concurrency()));
    std::vector<std::vector<char>> marks(parts - 1, std::vector<char>(addresses.size(), 0));
    std::vector<std::thread> helpers;
    for (size_t p = 1; p < parts; ++p)
      helpers.emplace_back(MarkKnown, std::cref(entries), entries.size() * p / parts, entries.size() * (p + 1) / parts,
                           std::cref(equal), std::cref(contained), &marks[p - 1]);
    MarkKnown(entries, 0, entries.size() / parts, equal, contained, &known);
    for (auto &helper : helpers) helper.join();
    for (const auto &m : marks)
      for (size_t i = 0; i < known.size(); ++i) known[i] |= m[i];
  }
  return std::vector<bool>(known.begin(), known.end());
}

bool AddressKnown(const std::vector<std::string> &entries, const std::string &address) {
  return AddressesKnown(entries, {address}).front();
}

size_t ExtractAddresses(const std::string &textFile, const std::string &listPath,
                        const std::vector<std::string> &entries, const TProgressFunc &progress) {
  const std::string text = ReadChosenFile(textFile);
  // First the candidates, each once (one record holds every spelling of an address), then
  // one pass over the entries answers for all of them. The candidates are parts of the text.
  std::vector<std::string_view> candidates;
  TCaselessSet seen;
  size_t lines = 0;
  ForEachLine(text, [&](std::string_view line) {
    if (progress && (lines++ & 1023) == 0) progress(candidates.size());
    const std::string_view address = AddressIn(line);
    if (!address.empty() && seen.InsertIfNew(address)) candidates.push_back(address);
  });
  const std::vector<bool> known = AddressesKnown(entries, candidates);
  TNewSections added;
  added.Reserve(candidates.size(), candidates.size() * 64);
  for (size_t i = 0; i < candidates.size(); ++i) {
    if (known[i]) continue;
    added.AddSection(AddressKey(std::string(candidates[i])));
    added.AddEntry("Email", candidates[i]);
  }
  if (progress) progress(added.Count());
  // New addresses are new sections at the end of the book: one save, and no parsing of it.
  TIniFile32::AddNewSections(AddressBookFile(listPath), added);
  return added.Count();
}

void ExportEntries(const std::string &fileName, const std::vector<std::string> &entries) {
  WriteFileAtomic(fileName, JoinLines(entries));
}

namespace {
// A length-prefixed text field; a length byte beyond the field's size is cut to it. Line
// breaks and NULs become blanks: in a profile file they would start lines of their own or
// end the file for its readers.
std::string Field(const char *record, size_t offset, size_t size) {
  const size_t length = std::min<size_t>(static_cast<unsigned char>(record[offset]), size - 1);
  std::string text(record + offset + 1, length);
  std::replace_if(text.begin(), text.end(), [](char c) { return c == '\0' || c == '\r' || c == '\n'; }, ' ');
  return text;
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
// Reads until the block is full or the file ends; returns the bytes read.
size_t ReadBlock(QFile &file, std::string *block) {
  size_t got = 0;
  while (got < block->size()) {
    const qint64 n = file.read(block->data() + got, static_cast<qint64>(block->size() - got));
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  return got;
}

// The address records of a list file, to be written as writing them key by key into a new
// book would leave them. An address met again (in any case) updates its section then; such
// records are kept apart and written after the new sections, which gives the same file.
class TImportedBook {
public:
  void Add(const char *rec) {
    const std::string email = Field(rec, 101, 101);
    const std::string key = AddressKey(email);
    const std::string values[] = {Field(rec, 0, 101), email, Field(rec, 431, 76), Field(rec, 303, 76),
                                  Field(rec, 410, 21)};
    ++FCount;
    if (!FNew.AddSection(key)) {
      FRepeated.push_back({key, {values[0], values[1], values[2], values[3], values[4]}});
      return;
    }
    for (size_t i = 0; i < kKeys.size(); ++i) FNew.AddEntry(kKeys[i], values[i]);
  }
  size_t Count() const { return FCount; }
  // Room for about this many records, so that the text is not copied as it grows.
  void Reserve(size_t records) { FNew.Reserve(records, records * 128); }

  void Write(const std::string &bookFile) const {
    TIniFile32::AddNewSections(bookFile, FNew);
    if (FRepeated.empty()) return;
    TIniFile32 book(bookFile);
    book.BeginUpdate();
    for (const auto &r : FRepeated)
      for (size_t i = 0; i < kKeys.size(); ++i) book.WriteString(r.Key, kKeys[i], r.Values[i]);
    book.EndUpdate();
  }

private:
  static constexpr std::array<const char *, 5> kKeys = {"Name", "Email", "Address 1", "Address 2", "Phone"};
  struct TRecord {
    std::string Key;
    std::array<std::string, 5> Values;
  };
  TNewSections FNew;
  std::vector<TRecord> FRepeated;
  size_t FCount = 0;
};
}  // namespace

TLegacyImport ImportLegacyList(const std::string &dataDir, const std::string &fileName, const TStatusFunc &status) {
  auto say = [&](const std::string &text) {
    if (status) status(text);
  };
  TLegacyImport result;
  say("Opening list...");
  // Block by block: the records are 2008 bytes each, of which an address keeps a few.
  QFile file(AnsiToQString(fileName));
  if (!file.exists() || !file.open(QIODevice::ReadOnly)) throw EFOpenError(fileName);
  std::string settingsRecord(kLegacyRecordSize, '\0');
  if (file.read(settingsRecord.data(), kLegacyRecordSize) != static_cast<qint64>(kLegacyRecordSize)) {
    result.Error = TruncatedText(fileName);
    return result;
  }
  const char *settings = settingsRecord.data();
  std::string listName = CleanListName(Field(settings, 0, 101));
  if (listName.empty()) listName = "Imported List";  // a list needs a name to be chosen by
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
  TImportedBook book;
  book.Reserve(static_cast<size_t>(file.size()) / kLegacyRecordSize);
  // The window gets its turn between blocks; the book is written once at the end.
  std::string block(256 * kLegacyRecordSize, '\0');
  for (;;) {
    const size_t got = ReadBlock(file, &block);
    for (size_t at = 0; at + kLegacyRecordSize <= got; at += kLegacyRecordSize) book.Add(block.data() + at);
    if (got % kLegacyRecordSize != 0) result.Error = TruncatedText(fileName);
    if (got < block.size()) break;
    say("Importing " + std::to_string(book.Count()) + " addresses...");
  }
  result.Count = book.Count();
  say("Importing " + std::to_string(result.Count) + " addresses...");
  book.Write(AddressBookFile(path));
  return result;
}
