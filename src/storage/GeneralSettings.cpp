#include "storage/GeneralSettings.h"

#include "storage/FileErrors.h"
#include "storage/IniFiles32.h"
#include "storage/Strings.h"
#include "storage/TextFile.h"

namespace {

const char *const kPersonal = "Personal Information";
const char *const kGeneral = "General";
const char *const kDisplay = "Display";

// The personal keys in file order with the member each belongs to.
struct TPersonalKey {
  const char *key;
  std::string TGeneralSettings::*field;
};
const TPersonalKey kPersonalKeys[] = {
    {"Name", &TGeneralSettings::Name},           {"Address 1", &TGeneralSettings::Address1},
    {"Address 2", &TGeneralSettings::Address2},  {"Phone 1", &TGeneralSettings::Phone1},
    {"Phone 2", &TGeneralSettings::Phone2},      {"E-Mail", &TGeneralSettings::EMail},
    {"Reply", &TGeneralSettings::Reply},         {"Organization", &TGeneralSettings::Organization},
    {"Title", &TGeneralSettings::Title},         {"Web URL", &TGeneralSettings::WebURL},
    {"Phont URL", &TGeneralSettings::PhotoURL},  {"Notes", &TGeneralSettings::Notes},
};

TPlacement ReadPlacement(const TIniFile32 &ini, const char *key, TPlacement fallback) {
  const int value = ini.ReadInteger(kDisplay, key, static_cast<int>(fallback));
  return value >= 0 && value <= 3 ? static_cast<TPlacement>(value) : fallback;
}

// A colour text that is no colour falls back to the default, so a damaged file cannot
// leave a swatch without a colour.
std::string ReadColorText(const TIniFile32 &ini, const std::string &key, const std::string &fallback) {
  const std::string text = ini.ReadString(kDisplay, key, fallback);
  TColor color;
  return TextToColor(text, &color) ? text : fallback;
}

TFontSetting ReadFont(const TIniFile32 &ini, const std::string &prefix, const TFontSetting &fallback) {
  TFontSetting font;
  font.Name = Trim(ini.ReadString(kDisplay, prefix + " Font Name", fallback.Name));
  if (font.Name.empty()) font.Name = fallback.Name;
  font.Color = ReadColorText(ini, prefix + " Font Color", fallback.Color);
  // A present but empty style is "no style"; only a missing key gives the default.
  font.Style = TextToFontStyle(ini.ReadString(kDisplay, prefix + " Font Style", FontStyleToText(fallback.Style)));
  font.Size = ini.ReadInteger(kDisplay, prefix + " Font Size", fallback.Size);
  if (font.Size < 1 || font.Size > 1638) font.Size = fallback.Size;
  return font;
}

void WriteFont(TIniFile32 &ini, const std::string &prefix, const TFontSetting &font) {
  ini.WriteString(kDisplay, prefix + " Font Name", font.Name);
  ini.WriteString(kDisplay, prefix + " Font Color", font.Color);
  ini.WriteString(kDisplay, prefix + " Font Style", FontStyleToText(font.Style));
  ini.WriteInteger(kDisplay, prefix + " Font Size", font.Size);
}

// The text of a named header, signature or footer file; a vanished file is skipped as
// list files are, so a moved file never stops the program from starting.
std::string LoadNamedText(const std::string &path, std::string *fileError) {
  if (path.empty() || !FileExists(path)) return std::string();
  if (!fileError) return ReadFileBytes(path);
  try {
    return ReadFileBytes(path);
  } catch (const EFOpenError &e) {
    if (fileError->empty()) *fileError = e.what();
    return std::string();
  }
}

}  // namespace

TColor SettingColor(const std::string &text, TColor fallback) {
  TColor color = fallback;
  TextToColor(text, &color);
  return color;
}

// Read and written with the second writer: an emptied text is stored as "Key=" and reads
// back empty instead of bringing back the old value.
TGeneralSettings ReadGeneralSettings(const std::string &dataDir, std::string *fileError) {
  const TIniFile32 ini(dataDir + kSettingsFile, TIniMode::imPlatform);
  const TGeneralSettings d;
  TGeneralSettings s;
  for (const auto &k : kPersonalKeys) s.*k.field = ini.ReadString(kPersonal, k.key, "");
  s.Notes = DecodeLineBreaks(s.Notes);

  s.ShowHints = ini.ReadBool(kGeneral, "Show Hints", d.ShowHints);
  s.HTMLDigest = ini.ReadBool(kGeneral, "HTML Digest", d.HTMLDigest);
  s.HideHTMLBar = ini.ReadBool(kGeneral, "Hide HTML Bar", d.HideHTMLBar);
  s.IncludeHeader = ini.ReadBool(kGeneral, "Include Header", d.IncludeHeader);
  s.HeaderFile = ini.ReadString(kGeneral, "Header File", "");
  s.IncludeSig = ini.ReadBool(kGeneral, "Include Sig", d.IncludeSig);
  s.SignatureFile = ini.ReadString(kGeneral, "Signature File", "");
  s.FooterFile = ini.ReadString(kGeneral, "Footer File", "");
  s.IncludeFooter = ini.ReadBool(kGeneral, "Include Footer", d.IncludeFooter);
  s.HeaderText = LoadNamedText(s.HeaderFile, fileError);
  s.SignatureText = LoadNamedText(s.SignatureFile, fileError);
  s.FooterText = LoadNamedText(s.FooterFile, fileError);

  s.GeneralColor = ReadColorText(ini, "General Color", d.GeneralColor);
  s.ToolbarFont = ReadFont(ini, "Toolbar", d.ToolbarFont);
  s.ToolbarColor = ReadColorText(ini, "Toolbar Color", d.ToolbarColor);
  s.ToolbarAlign = ReadPlacement(ini, "Toolbar Align", d.ToolbarAlign);
  s.PageFont = ReadFont(ini, "Page", d.PageFont);
  s.TabPosition = ReadPlacement(ini, "Tab Position", d.TabPosition);
  s.TitleColor = ReadColorText(ini, "Title Color", d.TitleColor);
  s.TitleFont = ReadFont(ini, "Title", d.TitleFont);

  s.SmtpServer = ini.ReadInteger("SMTP", "Server", d.SmtpServer);
  s.PopServer = ini.ReadInteger("POP", "Server", d.PopServer);
  s.EnabledIARSubjects = ini.ReadBool("POP", "Enabled IAR Subjects", d.EnabledIARSubjects);
  s.IARSubjects = ReadIARSubjects(dataDir);
  return s;
}

void WriteGeneralSettings(const std::string &dataDir, const TGeneralSettings &s, int smtpCount, int popCount) {
  TIniFile32 ini(dataDir + kSettingsFile, TIniMode::imPlatform);
  ini.BeginUpdate();
  for (const auto &k : kPersonalKeys)
    ini.WriteString(kPersonal, k.key, k.field == &TGeneralSettings::Notes ? EncodeLineBreaks(s.Notes) : s.*k.field);

  ini.WriteBool(kGeneral, "Show Hints", s.ShowHints);
  ini.WriteBool(kGeneral, "HTML Digest", s.HTMLDigest);
  ini.WriteBool(kGeneral, "Hide HTML Bar", s.HideHTMLBar);
  ini.WriteBool(kGeneral, "Include Header", s.IncludeHeader);
  ini.WriteString(kGeneral, "Header File", s.HeaderFile);
  ini.WriteBool(kGeneral, "Include Sig", s.IncludeSig);
  ini.WriteString(kGeneral, "Signature File", s.SignatureFile);
  ini.WriteString(kGeneral, "Footer File", s.FooterFile);
  ini.WriteBool(kGeneral, "Include Footer", s.IncludeFooter);

  ini.WriteString(kDisplay, "General Color", s.GeneralColor);
  WriteFont(ini, "Toolbar", s.ToolbarFont);
  ini.WriteString(kDisplay, "Toolbar Color", s.ToolbarColor);
  ini.WriteInteger(kDisplay, "Toolbar Align", static_cast<int>(s.ToolbarAlign));
  WriteFont(ini, "Page", s.PageFont);
  ini.WriteInteger(kDisplay, "Tab Position", static_cast<int>(s.TabPosition));
  ini.WriteString(kDisplay, "Title Color", s.TitleColor);
  WriteFont(ini, "Title", s.TitleFont);

  // The position of the first checked server, 0 when none is checked.
  if (smtpCount > 0) ini.WriteInteger("SMTP", "Server", s.SmtpServer >= 0 && s.SmtpServer < smtpCount ? s.SmtpServer : 0);
  if (popCount > 0) ini.WriteInteger("POP", "Server", s.PopServer >= 0 && s.PopServer < popCount ? s.PopServer : 0);
  ini.WriteBool("POP", "Enabled IAR Subjects", s.EnabledIARSubjects);
  ini.EndUpdate();
  WriteIARSubjects(dataDir, s.IARSubjects);
}

std::vector<std::string> ReadIARSubjects(const std::string &dataDir) {
  return SplitLines(ReadFileBytes(dataDir + kIARSubjectsFile));
}

void WriteIARSubjects(const std::string &dataDir, const std::vector<std::string> &subjects) {
  WriteFileAtomic(dataDir + kIARSubjectsFile, JoinLines(subjects));
}
