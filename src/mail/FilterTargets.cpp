#include "mail/FilterTargets.h"

#include "lists/ListRecord.h"
#include "storage/Filters.h"
#include "storage/IniFiles32.h"
#include "storage/Strings.h"

TFilterTargets::TFilterTargets(const std::string &dataDir, const std::string &currentPath)
    : FCurrentPath(currentPath) {
  std::vector<std::string> lists;
  TIniFile32(dataDir + kFiltersFile, TIniMode::imPlatform).ReadSections(&lists);
  const TIniFile32 catalogue(ListsFile(dataDir));
  for (const std::string &list : lists) {
    // A filter of a list that is not in the catalogue has no Inbox: such mail stays with
    // the current list.
    if (catalogue.ReadString(list, "Path", "").empty()) continue;
    const std::string path = ReadListRecord(catalogue, dataDir, list).Path;
    if (path.empty()) continue;  // its folder was not found
    for (const std::string &filter : ReadFilters(dataDir, list))
      // An empty filter would occur in every To value and swallow all mail.
      if (!filter.empty()) FFilters.emplace_back(UpperCase(filter), IncludeTrailingSlash(path));
  }
}

const std::string &TFilterTargets::PathFor(const std::string &to) const {
  const std::string upper = UpperCase(to);
  for (const auto &[filter, path] : FFilters)
    if (upper.find(filter) != std::string::npos) return path;
  return FCurrentPath;
}
