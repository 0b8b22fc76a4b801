#include "storage/NewSections.h"

bool TNewSections::AddSection(std::string_view name) {
  const size_t start = FText.size();
  FText += "\r\n[";
  FText += name;
  FText += ']';
  const std::string_view header = std::string_view(FText).substr(start + 2);
  if (!FHeaders.InsertIfNew(header)) {
    FText.resize(start);
    return false;
  }
  FText += "\r\n";
  return true;
}

void TNewSections::AddEntry(std::string_view key, std::string_view value) {
  if (value.empty()) return;
  FText += key;
  FText += '=';
  FText += value;
  FText += "\r\n";
}
