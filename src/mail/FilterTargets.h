#pragma once
// Where a fetched message is filed: the Inbox of the first list whose filter text occurs
// in the message's To value ("Filters.ini", sections and filters in file order), else the
// current list's. Read once per retrieval run.
#include <string>
#include <utility>
#include <vector>

class TFilterTargets {
public:
  TFilterTargets(const std::string &dataDir, const std::string &currentPath);
  // The folder of the list the To value is filed in (ends with '/').
  const std::string &PathFor(const std::string &to) const;

private:
  std::string FCurrentPath;
  // Upper-case filter text and the folder of its list, in the order they are tried.
  std::vector<std::pair<std::string, std::string>> FFilters;
};
