#pragma once
// The general settings of "Brevant 20.ini" and the bounce subjects of "IAR Subjects.dat".
// One instance lives as long as the program; the General Properties dialog edits it and
// every other part reads the current settings from it.
#include "storage/DisplayValues.h"

#include <string>
#include <vector>

inline constexpr const char *kSettingsFile = "Brevant 20.ini";
inline constexpr const char *kIARSubjectsFile = "IAR Subjects.dat";

// Index values of "Toolbar Align" and "Tab Position".
enum class TPlacement { plBottom = 0, plLeft = 1, plRight = 2, plTop = 3 };

struct TFontSetting {
  std::string Name;
  std::string Color;  // colour as text
  TFontStyles Style = 0;
  int Size = 8;
  bool operator==(const TFontSetting &) const = default;
};

struct TGeneralSettings {
  // "Personal Information"; texts hold CR LF line ends (only Notes has several lines).
  std::string Name, Address1, Address2, Phone1, Phone2, EMail, Reply, Organization, Title, WebURL, PhotoURL,
      Notes;

  // "General"
  bool ShowHints = true;
  bool HTMLDigest = false;
  bool HideHTMLBar = false;
  bool IncludeHeader = false;
  std::string HeaderFile;
  bool IncludeSig = false;
  std::string SignatureFile;
  std::string FooterFile;
  bool IncludeFooter = false;
  // The texts of the three files, loaded when the files are named (not stored in the ini).
  std::string HeaderText, SignatureText, FooterText;

  // "Display"
  std::string GeneralColor = "clSilver";
  TFontSetting ToolbarFont{"Tahoma", "clBlack", 0, 8};
  std::string ToolbarColor = "clSilver";
  TPlacement ToolbarAlign = TPlacement::plTop;
  TFontSetting PageFont{"Tahoma", "clBlack", 0, 8};
  TPlacement TabPosition = TPlacement::plLeft;
  std::string TitleColor = "clSilver";
  TFontSetting TitleFont{"Tahoma", "clWhite", fsBold, 10};

  // Positions of the default servers in the sorted registries; -1 while none is checked
  // (stored as 0, so after a restart the first server is the default).
  int SmtpServer = 0;
  int PopServer = 0;
  bool EnabledIARSubjects = false;
  std::vector<std::string> IARSubjects;

  bool operator==(const TGeneralSettings &) const = default;
};

// Reads the settings and the bounce subjects; missing files and keys give the defaults.
// A named header, signature or footer file that no longer exists leaves its text empty;
// one that exists but cannot be read throws EFOpenError, or, when `fileError` is given,
// leaves its text empty and puts the error's text there so the other settings still load.
TGeneralSettings ReadGeneralSettings(const std::string &dataDir, std::string *fileError = nullptr);

// Writes every key except the window position in the order of the file's table, then
// "IAR Subjects.dat". An emptied text is stored as "Key=" so that it stays empty.
// smtpCount / popCount: the number of registered servers; no position is written for an
// empty registry. Throws EFCreateError when a file cannot be written.
void WriteGeneralSettings(const std::string &dataDir, const TGeneralSettings &settings, int smtpCount,
                          int popCount);

std::vector<std::string> ReadIARSubjects(const std::string &dataDir);
void WriteIARSubjects(const std::string &dataDir, const std::vector<std::string> &subjects);

// The colour of a colour text, or `fallback` when the text is no colour.
TColor SettingColor(const std::string &text, TColor fallback);
