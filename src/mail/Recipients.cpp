#include "mail/Recipients.h"

#include "storage/Strings.h"

#include <algorithm>

std::string ListPageAddresses(const std::vector<std::string> &checkedEntries) {
  std::string text;
  for (const std::string &entry : checkedEntries) text += entry + ",";
  return text;
}

std::string AddressPageAddresses(const std::string &typed) {
  if (Trim(ReplaceAll(typed, ",", "")).empty()) return {};
  if (typed.back() == ',') return typed;
  return typed + ",";
}

int CountAtSigns(const std::string &text) {
  return static_cast<int>(std::count(text.begin(), text.end(), '@'));
}

std::string EnvelopeAddress(const std::string &entry) {
  const size_t open = entry.find('<');
  if (open == std::string::npos) return entry;
  const size_t close = entry.find('>', open + 1);
  if (close == std::string::npos) return entry;
  return entry.substr(open + 1, close - open - 1);
}

std::vector<std::string> TakeBatch(std::string &addresses, int batchSize, std::vector<std::string> *entries) {
  std::vector<std::string> batch;
  const size_t wanted = static_cast<size_t>(std::max(batchSize, 1));
  while (batch.size() < wanted && !addresses.empty()) {
    const size_t comma = addresses.find(',');
    std::string entry = addresses.substr(0, comma);
    addresses.erase(0, comma == std::string::npos ? std::string::npos : comma + 1);
    if (Trim(entry).empty()) continue;
    if (entries) entries->push_back(Trim(entry));
    batch.push_back(EnvelopeAddress(entry));
  }
  return batch;
}
