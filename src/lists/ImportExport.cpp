#include "lists/ImportExport.h"

#include "storage/FileErrors.h"
#include "storage/FileNames.h"
#include "storage/IniFiles32.h"
#include "storage/Strings.h"
#include "storage/TextFile.h"

#include <algorithm>
#include <cstring>

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

TKnownAddresses::TKnownAddresses(const std::vector<std::string> &entries) : FEntries(entries) {
  for (const auto &entry : entries) {
    FLowered.insert(LowerCase(entry));
    const size_t open = entry.find('<'), close = entry.rfind('>');
    if (open != std::string::npos && close != std::string::npos && close > open)
      FLowered.insert(LowerCase(entry.substr(open + 1, close - open - 1)));
    // Every at sign with the text around it up to a character that no extracted address
    // holds: an address contained in the entry lies within one of these segments.
    for (size_t at = entry.find('@'); at != std::string::npos; at = entry.find('@', at + 1)) {
      TSegment segment;
      for (size_t i = at; i > 0 && !IsStop(entry[i - 1]) && entry[i - 1] != '@'; --i) segment.Left += entry[i - 1];
      for (size_t i = at + 1; i < entry.size() && !IsStop(entry[i]) && entry[i] != '@'; ++i) segment.Right += entry[i];
      FSegments.push_back(std::move(segment));
    }
  }
  FByLeft.resize(FSegments.size());
  for (size_t i = 0; i < FByLeft.size(); ++i) FByLeft[i] = i;
  FByRight = FByLeft;
  std::sort(FByLeft.begin(), FByLeft.end(), [&](size_t a, size_t b) { return FSegments[a].Left < FSegments[b].Left; });
  std::sort(FByRight.begin(), FByRight.end(),
            [&](size_t a, size_t b) { return FSegments[a].Right < FSegments[b].Right; });
}

bool TKnownAddresses::ContainedInSlow(const std::string &address) const {
  return std::any_of(FEntries.begin(), FEntries.end(),
                     [&](const std::string &entry) { return entry.find(address) != std::string::npos; });
}

namespace {
// The run of `order` whose `field` begins with `prefix` (the order is sorted by that field).
template <typename Field>
std::pair<std::vector<size_t>::const_iterator, std::vector<size_t>::const_iterator> PrefixRange(
    const std::vector<size_t> &order, const std::string &prefix, Field field) {
  const auto first = std::partition_point(order.begin(), order.end(),
                                          [&](size_t i) { return field(i).compare(0, prefix.size(), prefix) < 0; });
  const auto last = std::partition_point(first, order.end(),
                                         [&](size_t i) { return field(i).compare(0, prefix.size(), prefix) == 0; });
  return {first, last};
}

bool StartsWith(const std::string &s, const std::string &prefix) { return s.compare(0, prefix.size(), prefix) == 0; }
}  // namespace

bool TKnownAddresses::AddressKnown(const std::string &address) const {
  if (FLowered.count(LowerCase(address))) return true;
  const size_t at = address.find('@');
  const bool plain = at != std::string::npos && address.find('@', at + 1) == std::string::npos &&
                     std::none_of(address.begin(), address.end(), IsStop);
  if (!plain) return ContainedInSlow(address);  // not an extracted address: no shortcut
  std::string left(address.rbegin() + static_cast<std::ptrdiff_t>(address.size() - at), address.rend());
  const std::string right = address.substr(at + 1);
  const auto byLeft = PrefixRange(FByLeft, left, [&](size_t i) -> const std::string & { return FSegments[i].Left; });
  const auto byRight =
      PrefixRange(FByRight, right, [&](size_t i) -> const std::string & { return FSegments[i].Right; });
  // Walk the shorter run and check the other half there.
  if (byLeft.second - byLeft.first <= byRight.second - byRight.first)
    return std::any_of(byLeft.first, byLeft.second, [&](size_t i) { return StartsWith(FSegments[i].Right, right); });
  return std::any_of(byRight.first, byRight.second, [&](size_t i) { return StartsWith(FSegments[i].Left, left); });
}

size_t ExtractAddresses(const std::string &textFile, const std::string &listPath, const TKnownAddresses &known,
                        const TProgressFunc &progress) {
  const std::vector<std::string> lines = SplitLines(ReadChosenFile(textFile));
  std::unordered_set<std::string> added;  // lower-cased: one record holds every spelling
  TIniFile32 book(AddressBookFile(listPath));
  size_t count = 0;
  book.BeginUpdate();
  try {
    for (size_t i = 0; i < lines.size(); ++i) {
      if (progress && (i & 255) == 0) progress(count);
      if (lines[i].empty()) continue;
      const std::string address = ExtractAddress(lines[i]);
      if (address.empty() || known.AddressKnown(address) || !added.insert(LowerCase(address)).second) continue;
      book.WriteString("<" + address + ">", "Email", address);
      ++count;
    }
  } catch (...) {
    book.EndUpdate();  // keep what was found so far
    throw;
  }
  book.EndUpdate();
  if (progress) progress(count);
  return count;
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
  const std::string bytes = ReadChosenFile(fileName);
  if (bytes.size() < kLegacyRecordSize) {
    result.Error = TruncatedText(fileName);
    return result;
  }
  const char *settings = bytes.data();
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
    size_t offset = kLegacyRecordSize;
    for (; offset + kLegacyRecordSize <= bytes.size(); offset += kLegacyRecordSize) {
      const char *rec = bytes.data() + offset;
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
    if (offset < bytes.size()) result.Error = TruncatedText(fileName);
  } catch (...) {
    book.EndUpdate();
    throw;
  }
  book.EndUpdate();
  return result;
}
