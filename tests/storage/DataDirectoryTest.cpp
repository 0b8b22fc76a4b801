#include "storage/DataDirectory.h"
#include "storage/GeneralSettings.h"
#include "storage/PrivateFiles.h"
#include "storage/TextFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {
bool Writable(const std::string &) { return true; }
bool ReadOnly(const std::string &) { return false; }

TEST(DataDirectory, ChoosesTheProgramFolderOnlyWhenPortableOrAlreadyInUse) {
  struct Case {
    const char *name;
    bool portableFile, settingsFile;
    bool (*writable)(const std::string &);
    bool besideProgram;
  };
  const Case cases[] = {
      {"fresh install", false, false, Writable, false},
      {"portable file", true, false, ReadOnly, true},
      {"writable folder with settings", false, true, Writable, true},
      {"read-only folder with settings", false, true, ReadOnly, false},
  };
  for (const Case &c : cases) {
    TempDir exe;
    if (c.portableFile) WriteAll(exe.File("portable"), "");
    if (c.settingsFile) WriteAll(exe.File(kSettingsFile), "[General]\r\n");
    const TDataDirectory dir = ResolveDataDirectory({exe.Path(), "", "/xdg/data", "/home/ann", c.writable});
    EXPECT_EQ(dir.BesideProgram, c.besideProgram) << c.name;
    EXPECT_EQ(dir.Path, c.besideProgram ? exe.Path() : "/xdg/data/Brevant/") << c.name;
  }
}

TEST(DataDirectory, OverrideXdgAndHome) {
  TempDir exe;
  WriteAll(exe.File("portable"), "");
  // --data-dir wins over everything, and a relative folder is made absolute.
  EXPECT_EQ(ResolveDataDirectory({exe.Path(), "/srv/news", "/xdg", "/home/ann", Writable}).Path, "/srv/news/");
  const std::string relative = ResolveDataDirectory({exe.Path(), "some/where/..", "", "", Writable}).Path;
  EXPECT_EQ(relative.front(), '/');
  EXPECT_EQ(relative.substr(relative.size() - 6), "/some/");

  TempDir other;
  EXPECT_EQ(ResolveDataDirectory({other.Path(), "", "", "/home/ann", Writable}).Path, "/home/ann/.local/share/Brevant/");
  // A relative XDG_DATA_HOME does not count.
  EXPECT_EQ(ResolveDataDirectory({other.Path(), "", "data", "/home/ann", Writable}).Path,
            "/home/ann/.local/share/Brevant/");
}

TEST(DataDirectory, PrepareMakesTheFolder) {
  TempDir home;
  TempDir exe;
  const TDataDirectory dir = PrepareDataDirectory({exe.Path(), "", "", home.Path() + "h", nullptr});
  EXPECT_EQ(dir.Path, home.Path() + "h/.local/share/Brevant/");
  EXPECT_TRUE(DirectoryExists(dir.Path));
  struct stat st {};
  ASSERT_EQ(stat(dir.Path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_TRUE(PrivateDataFolder());
  // A folder given on the command line is the user's own choice, not private by default.
  PrepareDataDirectory({exe.Path(), home.Path() + "given", "", "", nullptr});
  EXPECT_FALSE(PrivateDataFolder());
  WriteAll(home.File("file"), "x");
  EXPECT_THROW(PrepareDataDirectory({exe.Path(), home.File("file") + "/sub", "", "", nullptr}), std::exception);
}

TEST(DataDirectory, TakesTheOptionOutOfTheArguments) {
  using TArgs = std::vector<std::string>;
  // The folder given, then the arguments left; "failed" when the option lacks its folder.
  const auto take = [](TArgs args) {
    std::string dir;
    const bool ok = TakeDataDirOption(args, &dir);
    args.insert(args.begin(), ok ? dir : "failed");
    return args;
  };
  EXPECT_EQ(take({"brevant", "--data-dir", "/d", "x"}), (TArgs{"/d", "brevant", "x"}));
  EXPECT_EQ(take({"brevant", "--data-dir=/e"}), (TArgs{"/e", "brevant"}));
  EXPECT_EQ(take({"brevant"}), (TArgs{"", "brevant"}));
  EXPECT_EQ(take({"brevant", "--data-dir"}).front(), "failed");
  EXPECT_EQ(take({"brevant", "--data-dir="}).front(), "failed");
}

TEST(DataDirectory, HelpBesideTheProgramOrInTheShareFolder) {
  TempDir prefix;
  ForceDirectories(prefix.Path() + "bin");
  EXPECT_EQ(HelpFilePath(prefix.Path() + "bin"), prefix.Path() + "share/brevant/Help.html");
  WriteAll(prefix.File("bin/Help.html"), "<html/>");
  EXPECT_EQ(HelpFilePath(prefix.Path() + "bin"), prefix.Path() + "bin/Help.html");
}
}  // namespace
