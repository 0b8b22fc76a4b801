#include "storage/FileNames.h"

#include "storage/Ansi.h"

#include <QFileInfo>

std::string StripFileNameChars(const std::string &text) {
  std::string r;
  r.reserve(text.size());
  for (const char c : text)
    switch (c) {
      case ':': case '/': case '\\': case '*': case '?': case '"': case '<': case '>': case '|':
        break;
      default:
        r += c;
    }
  return r;
}

namespace {
bool PathTaken(const std::string &path) { return QFileInfo::exists(AnsiToQString(path)); }
}  // namespace

std::string MakeUniquePath(const std::string &path) {
  const size_t cut = path.find_last_of("/:");
  const std::string dir = cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
  const std::string base = cut == std::string::npos ? path : path.substr(cut + 1);
  std::string name = StripFileNameChars(base);
  const size_t dot = base.find('.');
  for (int counter = 1; PathTaken(dir + name); ++counter) {
    const std::string number = std::to_string(counter);
    name = StripFileNameChars(dot == std::string::npos ? base + number
                                                       : base.substr(0, dot) + number + base.substr(dot));
  }
  return dir + name;
}
