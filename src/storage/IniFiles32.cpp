#include "storage/IniFiles32.h"

#include "storage/CaselessSet.h"
#include "storage/NewSections.h"
#include "storage/Strings.h"
#include "storage/TextFile.h"

#include <algorithm>
#include <stdexcept>

TIniFile32::TIniFile32(const std::string &fileName, TIniMode mode) : FFileName(fileName), FMode(mode) {
  if (FileExists(fileName)) FLines = SplitLines(ReadRecordFile(fileName));
}

bool TIniFile32::IsSection(std::string_view line) {
  // The header test on the trimmed line, without copying it.
  size_t b = 0, e = line.size();
  while (b < e && static_cast<unsigned char>(line[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(line[e - 1]) <= ' ') --e;
  return e - b >= 2 && line[b] == '[' && line[e - 1] == ']';
}

std::string TIniFile32::SectionName(const std::string &line) {
  const std::string t = Trim(line);
  return Trim(t.substr(1, t.size() - 2));
}

std::string TIniFile32::GetKeyName(const std::string &line) {
  const size_t eq = line.find('=');
  return eq == std::string::npos ? std::string() : Trim(line.substr(0, eq));
}

std::string TIniFile32::GetKeyValue(const std::string &line) {
  const size_t eq = line.find('=');
  return eq == std::string::npos ? std::string() : Trim(line.substr(eq + 1));
}

bool TIniFile32::ParseInteger(const std::string &text, int32_t *value) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  const bool hex = i < text.size() && text[i] == '$';
  if (hex) ++i;
  if (i >= text.size()) return false;
  uint64_t n = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (hex && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else return false;
    n = n * (hex ? 16 : 10) + static_cast<uint64_t>(digit);
    if (n > 0xFFFFFFFFull) return false;
  }
  if (hex) {
    // Hexadecimal covers the whole 32-bit pattern, as $FFFFFFFF = -1.
    const auto bits = static_cast<int32_t>(static_cast<uint32_t>(n));
    *value = negative ? -bits : bits;
    return true;
  }
  if (negative ? n > 0x80000000ull : n > 0x7FFFFFFFull) return false;
  *value = negative ? static_cast<int32_t>(-static_cast<int64_t>(n)) : static_cast<int32_t>(n);
  return true;
}

namespace {
// Lines that a header lookup can match: '[' first and ']' last, as a whole line.
bool CanMatchHeader(std::string_view line) {
  return line.size() >= 2 && line.front() == '[' && line.back() == ']';
}
}  // namespace

void TIniFile32::BuildSectionIndex() const {
  FLookupValid = false;
  FSectionIndex.clear();
  FSectionIndex.reserve(FLines.size() / 4);
  FLastHeader = -1;
  for (size_t i = 0; i < FLines.size(); ++i) {
    if (IsSection(FLines[i])) FLastHeader = static_cast<int>(i);
    if (CanMatchHeader(FLines[i])) FSectionIndex.emplace(LowerCase(FLines[i]), static_cast<int>(i));
  }
  FIndexValid = true;
}

int TIniFile32::IndexOfSection(const std::string &section) const {
  if (!FIndexValid) BuildSectionIndex();
  if (FLookupValid && FLookupName == section) return FLookupIndex;
  const auto it = FSectionIndex.find(LowerCase("[" + section + "]"));
  FLookupName = section;
  FLookupIndex = it == FSectionIndex.end() ? -1 : it->second;
  FLookupValid = true;
  return FLookupIndex;
}

bool TIniFile32::KeyMatches(const std::string &line, const std::string &key) const {
  if (line.find('=') == std::string::npos) return false;
  const std::string name = GetKeyName(line);
  return FMode == TIniMode::imOwn ? name == key : SameText(name, key);
}

int TIniFile32::IndexOfKey(int header, const std::string &key, int *stop) const {
  size_t i = static_cast<size_t>(header) + 1;
  for (; i < FLines.size() && !IsSection(FLines[i]); ++i)
    if (KeyMatches(FLines[i], key)) {
      *stop = static_cast<int>(i);
      return static_cast<int>(i);
    }
  *stop = static_cast<int>(i);
  return -1;
}

std::string TIniFile32::ReadString(const std::string &section, const std::string &key,
                                   const std::string &defaultValue) const {
  const int header = IndexOfSection(section);
  if (header < 0) return defaultValue;
  int stop = 0;
  const int at = IndexOfKey(header, key, &stop);
  if (at < 0) return defaultValue;
  const std::string value = GetKeyValue(FLines[static_cast<size_t>(at)]);
  if (value.empty() && FMode == TIniMode::imOwn) return defaultValue;
  return value;
}

int32_t TIniFile32::ReadInteger(const std::string &section, const std::string &key, int32_t defaultValue) const {
  std::string text = ReadString(section, key, "");
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text.replace(0, 2, "$");
  int32_t value = 0;
  return ParseInteger(text, &value) ? value : defaultValue;
}

bool TIniFile32::ReadBool(const std::string &section, const std::string &key, bool defaultValue) const {
  return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void TIniFile32::WriteString(const std::string &section, const std::string &key, const std::string &value) {
  // The platform writer stores "Key=" for an empty value; ours leaves empty values out.
  const bool writeEntry = !value.empty() || FMode == TIniMode::imPlatform;
  const std::string entry = key + "=" + value;
  const int header = IndexOfSection(section);
  if (header < 0) {
    // Appending moves no line, so the index only gains the new header.
    FLines.emplace_back();
    FLines.push_back("[" + section + "]");
    const int at = static_cast<int>(FLines.size()) - 1;
    FSectionIndex.emplace(LowerCase(FLines.back()), at);
    FLastHeader = at;
    FLookupValid = false;
    if (writeEntry) FLines.push_back(entry);
  } else {
    int stop = 0;
    const int at = IndexOfKey(header, key, &stop);
    if (at >= 0 && writeEntry) {
      FLines[static_cast<size_t>(at)] = entry;
    } else if (at < 0 && writeEntry) {
      FLines.insert(FLines.begin() + stop, entry);
      if (stop <= FLastHeader) DropSectionIndex();
    }
  }
  UpdateFile();
}

void TIniFile32::WriteInteger(const std::string &section, const std::string &key, int32_t value) {
  WriteString(section, key, std::to_string(value));
}

void TIniFile32::WriteBool(const std::string &section, const std::string &key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void TIniFile32::ReadSections(std::vector<std::string> *strings) const {
  if (!strings) throw std::invalid_argument("Param Strings must be assigned");
  strings->clear();
  for (const auto &line : FLines)
    if (IsSection(line)) strings->push_back(SectionName(line));
}

void TIniFile32::EraseSection(const std::string &section) {
  const int header = IndexOfSection(section);
  if (header < 0) return;
  auto first = FLines.begin() + header;
  auto last = first + 1;
  while (last != FLines.end() && !IsSection(*last)) ++last;
  first = FLines.erase(first, last);
  if (header > 0) FLines.insert(first, std::string());
  DropSectionIndex();
  UpdateFile();
}

namespace {
// The lines left when the first section of each name goes (see EraseSections); empty
// views stand for the blank lines left behind. Nothing when no section matched.
bool EraseFromLines(const std::vector<std::string_view> &lines, const std::vector<std::string> &sections,
                    std::vector<std::string_view> *kept) {
  // How many sections of each name (in any case) are to go, counted at its first mention.
  TCaselessSet wanted;
  wanted.Reserve(sections.size());
  std::vector<int> toGo(sections.size(), 0);
  for (size_t n = 0; n < sections.size(); ++n) {
    const std::string header = "[" + sections[n] + "]";
    size_t first = n;
    wanted.ForEachNumber(header, [&](size_t k) { first = k; });
    if (first == n) wanted.Insert(header, n);
    ++toGo[first];
  }
  std::vector<bool> erased(lines.size(), false);
  bool any = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (!CanMatchHeader(lines[i])) continue;
    int *left = nullptr;
    wanted.ForEachNumber(lines[i], [&](size_t k) { left = &toGo[k]; });
    if (!left || *left == 0) continue;
    --*left;
    any = true;
    erased[i] = true;
    for (size_t j = i + 1; j < lines.size() && !TIniFile32::IsSection(lines[j]); ++j) erased[j] = true;
  }
  if (!any) return false;
  kept->clear();
  kept->reserve(lines.size());
  for (size_t i = 0; i < lines.size(); ++i) {
    if (!erased[i]) {
      kept->push_back(lines[i]);
    } else if (i > 0 && !erased[i - 1] && !kept->empty()) {
      // A run of erased sections leaves one blank line, or none at the top of the file.
      kept->emplace_back();
    }
  }
  return true;
}
}  // namespace

void TIniFile32::EraseSections(const std::vector<std::string> &sections) {
  std::vector<std::string_view> kept;
  if (!EraseFromLines(std::vector<std::string_view>(FLines.begin(), FLines.end()), sections, &kept)) return;
  FLines = std::vector<std::string>(kept.begin(), kept.end());
  DropSectionIndex();
  UpdateFile();
}

void TIniFile32::EraseSectionsInFile(const std::string &fileName, const std::vector<std::string> &sections) {
  const std::string text = ReadRecordFile(fileName);
  std::vector<std::string_view> kept;
  if (!EraseFromLines(SplitLineViews(text), sections, &kept)) return;
  WriteFileAtomic(fileName, JoinLineViews(kept));
}

namespace {
// Whether text is in the form this class saves: no NUL, and every line end a CR LF pair,
// the last line included. One pass that the compiler can vectorise: books run to megabytes.
bool IsSavedForm(std::string_view text) {
  if (text.empty()) return true;
  if (text.find('\0') != std::string_view::npos || !text.ends_with("\r\n") || text.front() == '\n') return false;
  unsigned char stray = 0;  // a CR without its LF, or an LF without its CR
  for (size_t i = 0; i + 1 < text.size(); ++i) stray |= (text[i] == '\r') ^ (text[i + 1] == '\n');
  return stray == 0;
}

// Whether a text in the saved form holds a header line that is in the set.
bool HoldsHeader(std::string_view text, const TCaselessSet &headers) {
  for (size_t at = text.find('['); at != std::string_view::npos; at = text.find('[', at + 1)) {
    if (at > 0 && text[at - 1] != '\n') continue;
    const size_t end = text.find('\r', at);  // every line ends in CR LF
    if (end > at + 1 && text[end - 1] == ']' && headers.Contains(text.substr(at, end - at))) return true;
    at = end;
  }
  return false;
}
}  // namespace

void TIniFile32::AddNewSections(const std::string &fileName, const TNewSections &sections) {
  if (sections.Empty()) return;
  const std::string text = ReadFileBytes(fileName);
  if (IsSavedForm(text) && !HoldsHeader(text, sections.Headers())) {
    WriteFileAtomicParts(fileName, {text, sections.Text()});
    return;
  }
  TIniFile32 ini(fileName);
  ini.BeginUpdate();
  std::string section;
  for (const std::string_view line : SplitLineViews(sections.Text())) {
    if (line.empty()) continue;
    const size_t eq = line.find('=');
    if (line.front() == '[' && (eq == std::string_view::npos || line.back() == ']')) {
      section.assign(line.substr(1, line.size() - 2));
      ini.WriteString(section, std::string(), std::string());  // the header, should it have no entries
    } else {
      ini.WriteString(section, std::string(line.substr(0, eq)), std::string(line.substr(eq + 1)));
    }
  }
  ini.EndUpdate();
}

void TIniFile32::BeginUpdate() { ++FUpdateLevel; }

void TIniFile32::EndUpdate() {
  if (FUpdateLevel > 0 && --FUpdateLevel == 0 && FDirty) UpdateFile();
}

void TIniFile32::UpdateFile() {
  if (FUpdateLevel > 0) {
    FDirty = true;
    return;
  }
  FDirty = false;
  WriteFileAtomic(FFileName, JoinLines(FLines));
}
