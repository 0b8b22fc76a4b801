#include "mail/Attachments.h"

#include "storage/Strings.h"

int AttachmentCategory(const std::string &fileName) {
  static const struct {
    const char *texts[6];
    int image;
  } kTable[] = {
      {{".jpg", ".bmp", ".gif", ".tif", ".jpeg", ".art"}, 8},
      {{".wav", ".mpg3", ".au", ".mp3", ".mpeg3", ".rm"}, 4},
      {{".vdo", ".mpeg", ".avi", ".mov"}, 6},
      {{".exe", ".zip"}, 5},
      {{".htm"}, 2},
      {{".txt"}, 9},
  };
  const std::string lower = LowerCase(fileName);
  for (const auto &row : kTable)
    for (const char *text : row.texts)
      if (text && lower.find(text) != std::string::npos) return row.image;
  return 7;
}

std::string SafeAttachmentName(const std::string &name, int number) {
  // Only the last path element counts, whichever slash the sender's system used.
  const size_t cut = name.find_last_of("/\\");
  std::string base = cut == std::string::npos ? name : name.substr(cut + 1);
  std::string clean;
  for (const char c : base)
    if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) clean += c;
  const size_t first = clean.find_first_not_of(". ");
  clean = first == std::string::npos ? std::string() : clean.substr(first);
  while (!clean.empty() && (clean.back() == ' ' || clean.back() == '.')) clean.pop_back();
  if (clean.size() > 200) {
    // Keep the extension: it chooses the icon and the program that opens the file.
    const size_t dot = clean.rfind('.');
    const std::string ext = dot != std::string::npos && clean.size() - dot <= 16 ? clean.substr(dot) : "";
    clean = clean.substr(0, 200 - ext.size()) + ext;
  }
  if (clean.empty()) clean = "attachment" + std::to_string(number);
  return clean;
}
