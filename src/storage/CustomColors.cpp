#include "storage/CustomColors.h"

#include "storage/IniFiles32.h"
#include "storage/Strings.h"
#include "storage/TextFile.h"

#include <cstdio>
#include <stdexcept>

bool ReadCustomColors(const std::string &dataDir, TCustomColors *colors) {
  const std::string path = dataDir + kCustomColorsFile;
  std::string bytes;
  try {
    if (!FileExists(path)) return false;
    bytes = ReadFileBytes(path);
  } catch (const std::exception &) {
    return false;  // an unreadable file leaves the dialog's own defaults
  }
  for (const std::string &line : SplitLines(bytes)) {
    const std::string key = TIniFile32::GetKeyName(line);
    if (key.size() != 6 || !StartsText("Color", key)) continue;
    const char letter = static_cast<char>(key[5] & ~0x20);
    if (letter < 'A' || letter > 'P') continue;
    TColor value;
    const std::string hex = TIniFile32::GetKeyValue(line);
    if (hex.empty() || hex.size() > 8 || !TextToColor("$" + hex, &value)) continue;
    (*colors)[static_cast<size_t>(letter - 'A')] = value & 0xFFFFFF;
  }
  return true;
}

void WriteCustomColors(const std::string &dataDir, const TCustomColors &colors) {
  std::vector<std::string> lines;
  for (size_t i = 0; i < colors.size(); ++i) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "Color%c=%06x", static_cast<char>('A' + i), static_cast<unsigned>(colors[i] & 0xFFFFFF));
    lines.push_back(buf);
  }
  WriteFileAtomic(dataDir + kCustomColorsFile, JoinLines(lines));
}
