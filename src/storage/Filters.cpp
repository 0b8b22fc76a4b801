#include "storage/Filters.h"

#include "storage/IniFiles32.h"

namespace {
// A damaged count must not make us read (or reserve) millions of keys.
constexpr int kMaxFilters = 100000;
}

std::vector<std::string> ReadFilters(const std::string &dataDir, const std::string &list) {
  const TIniFile32 ini(dataDir + kFiltersFile, TIniMode::imPlatform);
  const int count = ini.ReadInteger(list, "Count", 0);
  std::vector<std::string> filters;
  for (int n = 1; n <= count && n <= kMaxFilters; ++n)
    filters.push_back(ini.ReadString(list, "Filter" + std::to_string(n), ""));
  return filters;
}

void WriteFilters(const std::string &dataDir, const std::string &list, const std::vector<std::string> &filters) {
  TIniFile32 ini(dataDir + kFiltersFile, TIniMode::imPlatform);
  ini.BeginUpdate();
  ini.WriteInteger(list, "Count", static_cast<int>(filters.size()));
  for (size_t i = 0; i < filters.size(); ++i) ini.WriteString(list, "Filter" + std::to_string(i + 1), filters[i]);
  ini.EndUpdate();
}
