#pragma once
// "Filters.ini": per mailing list, the addresses that retrieval and maintenance filter.
#include <string>
#include <vector>

inline constexpr const char *kFiltersFile = "Filters.ini";

// The addresses "Filter1".."FilterN" of the list's section, N being its "Count".
std::vector<std::string> ReadFilters(const std::string &dataDir, const std::string &list);
// Writes "Count" and the numbered keys; keys above a shrunk count stay but are never read.
void WriteFilters(const std::string &dataDir, const std::string &list, const std::vector<std::string> &filters);
// A renamed list takes its filters along (one save); a removed list's filters go.
void MoveFilters(const std::string &dataDir, const std::string &from, const std::string &to);
void EraseFilters(const std::string &dataDir, const std::string &list);
