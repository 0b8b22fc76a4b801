#include "storage/Filters.h"

#include "storage/IniFiles32.h"
#include "storage/Strings.h"

#include <algorithm>

namespace {
// A damaged count must not make us read (or reserve) millions of keys.
constexpr int kMaxFilters = 100000;

bool HasSection(const TIniFile32 &ini, const std::string &name) {
  std::vector<std::string> sections;
  ini.ReadSections(&sections);
  return std::any_of(sections.begin(), sections.end(), [&](const std::string &s) { return SameText(s, name); });
}

std::vector<std::string> ReadFilters(const TIniFile32 &ini, const std::string &list) {
  const int count = ini.ReadInteger(list, "Count", 0);
  std::vector<std::string> filters;
  for (int n = 1; n <= count && n <= kMaxFilters; ++n)
    filters.push_back(ini.ReadString(list, "Filter" + std::to_string(n), ""));
  return filters;
}

void WriteFilters(TIniFile32 &ini, const std::string &list, const std::vector<std::string> &filters) {
  ini.WriteInteger(list, "Count", static_cast<int>(filters.size()));
  for (size_t i = 0; i < filters.size(); ++i) ini.WriteString(list, "Filter" + std::to_string(i + 1), filters[i]);
}
}  // namespace

std::vector<std::string> ReadFilters(const std::string &dataDir, const std::string &list) {
  const TIniFile32 ini(dataDir + kFiltersFile, TIniMode::imPlatform);
  return ReadFilters(ini, list);
}

void WriteFilters(const std::string &dataDir, const std::string &list, const std::vector<std::string> &filters) {
  TIniFile32 ini(dataDir + kFiltersFile, TIniMode::imPlatform);
  ini.BeginUpdate();
  WriteFilters(ini, list, filters);
  ini.EndUpdate();
}

void MoveFilters(const std::string &dataDir, const std::string &from, const std::string &to) {
  if (from == to) return;
  TIniFile32 ini(dataDir + kFiltersFile, TIniMode::imPlatform);
  if (!HasSection(ini, from)) return;
  const std::vector<std::string> filters = ReadFilters(ini, from);
  ini.BeginUpdate();
  ini.EraseSection(from);  // first, so that a change of letter case only renames the section
  WriteFilters(ini, to, filters);
  ini.EndUpdate();
}

void EraseFilters(const std::string &dataDir, const std::string &list) {
  TIniFile32 ini(dataDir + kFiltersFile, TIniMode::imPlatform);
  if (HasSection(ini, list)) ini.EraseSection(list);
}
