#include "storage/FileErrors.h"
#include "storage/GeneralSettings.h"
#include "storage/IniFiles32.h"
#include "storage/TextFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>

namespace {

TEST(GeneralSettings, DefaultsWithoutAnyFile) {
  TempDir dir;
  EXPECT_EQ(ReadGeneralSettings(dir.Path()), TGeneralSettings());
  EXPECT_FALSE(FileExists(dir.File(kSettingsFile)));
}

TGeneralSettings Changed(const TempDir &dir) {
  TGeneralSettings s;
  s.Name = "Ann Smith";
  s.Address1 = "1 High St";
  s.Address2 = "Bath";
  s.Phone1 = "+44 1";
  s.Phone2 = "+44 2";
  s.EMail = "ann@example.com";
  s.Reply = "reply@example.com";
  s.Organization = "Ann & Co";
  s.Title = "Editor";
  s.WebURL = "http://example.com/";
  s.PhotoURL = "http://example.com/a.jpg";
  s.Notes = "first line\r\nsecond = line\r\n\r\nlast";
  s.ShowHints = false;
  s.HTMLDigest = s.HideHTMLBar = s.IncludeHeader = s.IncludeSig = s.IncludeFooter = true;
  s.HeaderFile = dir.File("head.txt");
  s.SignatureFile = dir.File("sig.txt");
  s.FooterFile = dir.File("foot.txt");
  s.GeneralColor = "$00FF8040";
  s.ToolbarFont = {"DejaVu Sans", "clNavy", fsItalic | fsUnderline, 11};
  s.ToolbarColor = "clBtnFace";
  s.ToolbarAlign = TPlacement::plRight;
  s.PageFont = {"Lato", "clRed", fsStrikeOut, 9};
  s.TabPosition = TPlacement::plBottom;
  s.TitleColor = "clNavy";
  s.TitleFont = {"Nimbus Sans", "clYellow", fsItalic | fsBold, 12};
  s.SmtpServer = 2;
  s.PopServer = 1;
  s.EnabledIARSubjects = true;
  s.IARSubjects = {"Returned mail", "Undeliverable: x", ""};
  return s;
}

TEST(GeneralSettings, EveryKeyRoundTripsInTableOrder) {
  TempDir dir;
  WriteAll(dir.File("head.txt"), "Header\r\ntext");
  WriteAll(dir.File("sig.txt"), "-- \r\nAnn");
  WriteAll(dir.File("foot.txt"), "Bye");
  TGeneralSettings s = Changed(dir);
  WriteGeneralSettings(dir.Path(), s, 3, 2);
  s.HeaderText = "Header\r\ntext";
  s.SignatureText = "-- \r\nAnn";
  s.FooterText = "Bye";
  EXPECT_EQ(ReadGeneralSettings(dir.Path()), s);

  const std::string file = ReadAll(dir.File(kSettingsFile));
  const char *order[] = {"[Personal Information]", "Name=Ann Smith", "Address 1=", "Address 2=", "Phone 1=",
                         "Phone 2=", "E-Mail=", "Reply=", "Organization=", "Title=", "Web URL=", "Phont URL=",
                         "Notes=first line:|:second = line:|::|:last", "[General]", "Show Hints=0", "HTML Digest=1",
                         "Hide HTML Bar=1", "Include Header=1", "Header File=", "Include Sig=1", "Signature File=",
                         "Footer File=", "Include Footer=1", "[Display]", "General Color=$00FF8040",
                         "Toolbar Font Name=DejaVu Sans", "Toolbar Font Color=clNavy", "Toolbar Font Style=i,u",
                         "Toolbar Font Size=11", "Toolbar Color=clBtnFace", "Toolbar Align=2", "Page Font Name=Lato",
                         "Page Font Color=clRed", "Page Font Style=s,", "Page Font Size=9", "Tab Position=0",
                         "Title Color=clNavy", "Title Font Name=Nimbus Sans", "Title Font Color=clYellow",
                         "Title Font Style=i,b,", "Title Font Size=12", "[SMTP]", "Server=2", "[POP]", "Server=1",
                         "Enabled IAR Subjects=1"};
  size_t at = 0;
  for (const char *piece : order) {
    const size_t found = file.find(piece, at);
    ASSERT_NE(found, std::string::npos) << piece;
    at = found;
  }
  EXPECT_EQ(ReadAll(dir.File(kIARSubjectsFile)), "Returned mail\r\nUndeliverable: x\r\n\r\n");
}

TEST(GeneralSettings, ClearedValuesStayClearedAndPositionKeysSurvive) {
  TempDir dir;
  WriteAll(dir.File(kSettingsFile), "[Position]\r\nTop=10\r\nState=1\r\n");
  TGeneralSettings s = Changed(dir);
  WriteGeneralSettings(dir.Path(), s, 3, 2);
  s = TGeneralSettings();
  s.TitleFont.Style = 0;  // a regular title font is kept, not turned back into bold
  WriteGeneralSettings(dir.Path(), s, 3, 2);
  const TGeneralSettings back = ReadGeneralSettings(dir.Path());
  EXPECT_EQ(back.Name, "");
  EXPECT_EQ(back.Notes, "");
  EXPECT_EQ(back.HeaderFile, "");
  EXPECT_EQ(back.TitleFont.Style, 0u);
  EXPECT_TRUE(back.IARSubjects.empty());
  TIniFile32 ini(dir.File(kSettingsFile), TIniMode::imPlatform);
  EXPECT_EQ(ini.ReadInteger("Position", "Top", -1), 10);
  EXPECT_EQ(ini.ReadInteger("Position", "State", -1), 1);
}

TEST(GeneralSettings, DefaultServerPositions) {
  TempDir dir;
  TGeneralSettings s;
  // None checked is stored as the first server; an empty registry stores nothing.
  s.SmtpServer = -1;
  s.PopServer = 1;
  WriteGeneralSettings(dir.Path(), s, 3, 0);
  TIniFile32 ini(dir.File(kSettingsFile), TIniMode::imPlatform);
  EXPECT_EQ(ini.ReadString("SMTP", "Server", "none"), "0");
  EXPECT_EQ(ini.ReadString("POP", "Server", "none"), "none");
  s.SmtpServer = 1;
  WriteGeneralSettings(dir.Path(), s, 3, 0);
  EXPECT_EQ(ReadGeneralSettings(dir.Path()).SmtpServer, 1);
}

TEST(GeneralSettings, DamagedValuesFallBackToDefaults) {
  TempDir dir;
  WriteAll(dir.File(kSettingsFile),
           "[General]\r\nShow Hints=maybe\r\n[Display]\r\nGeneral Color=pink\r\nToolbar Align=9\r\n"
           "Tab Position=-1\r\nTitle Font Size=0\r\nPage Font Name= \r\nPage Font Style=b,i,\r\n"
           "Title Font Color=\r\n");
  const TGeneralSettings s = ReadGeneralSettings(dir.Path());
  EXPECT_TRUE(s.ShowHints);
  EXPECT_EQ(s.GeneralColor, "clSilver");
  EXPECT_EQ(s.ToolbarAlign, TPlacement::plTop);
  EXPECT_EQ(s.TabPosition, TPlacement::plLeft);
  EXPECT_EQ(s.TitleFont.Size, 10);
  EXPECT_EQ(s.TitleFont.Color, "clWhite");
  EXPECT_EQ(s.PageFont.Name, "Tahoma");
  EXPECT_EQ(s.PageFont.Style, 0u);
  EXPECT_EQ(SettingColor("pink", clBlack), clBlack);
  EXPECT_EQ(SettingColor("clWhite", clBlack), clWhite);
}

TEST(GeneralSettings, NamedTextFiles) {
  TempDir dir;
  TGeneralSettings s;
  s.HeaderFile = dir.File("gone.txt");  // a vanished file is skipped
  s.FooterFile = dir.File("foot.txt");
  WriteAll(s.FooterFile, "x");
  WriteGeneralSettings(dir.Path(), s, 0, 0);
  const TGeneralSettings back = ReadGeneralSettings(dir.Path());
  EXPECT_EQ(back.HeaderFile, s.HeaderFile);
  EXPECT_EQ(back.HeaderText, "");
  EXPECT_EQ(back.FooterText, "x");
  // A footer that cannot be opened, not even by root: a socket.
  s.FooterFile = dir.File("foot.sock");
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", s.FooterFile.c_str());
  ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address), 0);
  WriteGeneralSettings(dir.Path(), s, 0, 0);
  EXPECT_THROW(ReadGeneralSettings(dir.Path()), EFOpenError);
  std::string error;
  const TGeneralSettings partial = ReadGeneralSettings(dir.Path(), &error);
  EXPECT_EQ(error, "Cannot open file " + s.FooterFile);
  EXPECT_EQ(partial.FooterFile, s.FooterFile);
  EXPECT_EQ(partial.FooterText, "");
  ::close(fd);
}

}  // namespace
