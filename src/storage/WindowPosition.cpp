#include "storage/WindowPosition.h"

#include "storage/IniFiles32.h"

namespace {
const char *const kFile = "Brevant 20.ini";
const char *const kSection = "Position";
}  // namespace

TWindowPosition ReadWindowPosition(const std::string &dataDir) {
  const TIniFile32 ini(dataDir + kFile, TIniMode::imPlatform);
  TWindowPosition pos;
  pos.State = ini.ReadInteger(kSection, "State", 0);
  pos.Top = ini.ReadInteger(kSection, "Top", TWindowPosition::kNotStored);
  pos.Left = ini.ReadInteger(kSection, "Left", TWindowPosition::kNotStored);
  pos.Width = ini.ReadInteger(kSection, "Width", TWindowPosition::kNotStored);
  pos.Height = ini.ReadInteger(kSection, "Height", TWindowPosition::kNotStored);
  return pos;
}

void WriteWindowPosition(const std::string &dataDir, const TWindowPosition &pos) {
  TIniFile32 ini(dataDir + kFile, TIniMode::imPlatform);
  ini.BeginUpdate();
  ini.WriteInteger(kSection, "Top", pos.Top);
  ini.WriteInteger(kSection, "Left", pos.Left);
  ini.WriteInteger(kSection, "Width", pos.Width);
  ini.WriteInteger(kSection, "Height", pos.Height);
  ini.WriteInteger(kSection, "State", pos.State);
  ini.EndUpdate();
}
