// Which POP server Get New uses: the list's own, else the default one of the registry.
#include "mail/PopSettings.h"
#include "storage/ServerRegistry.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace {

TEST(PopSettings, AListWithoutAServerTakesTheDefaultOneWhole) {
  TempDir dir;
  WritePopServer(dir.Path(), {"b.example.org", "bee", "bpass", "1110", true, 2, "AB:CD"});
  WritePopServer(dir.Path(), {"a.example.org", "ay", "apass", "", false, 1, ""});
  // Positions count in the sorted registry: 1 is b.example.org.
  const TPopSettings def = DefaultPopSettings(dir.Path(), 1);
  EXPECT_EQ(def.Host, "b.example.org");
  EXPECT_EQ(def.Port, "1110");
  EXPECT_EQ(def.UserName, "bee");
  EXPECT_EQ(def.PassWord, "bpass");
  EXPECT_TRUE(def.Delete);
  EXPECT_EQ(def.Security, 2);
  EXPECT_EQ(def.Certificate, "AB:CD");
  EXPECT_EQ(DefaultPopSettings(dir.Path(), 0).Port, "pop3");  // an empty port is the usual one
  EXPECT_EQ(DefaultPopSettings(dir.Path(), -1).Host, "");      // no default chosen
  EXPECT_EQ(DefaultPopSettings(dir.Path() + "none/", 0).Host, "");

  TPopSettings panel;
  panel.Port = "995";
  EXPECT_EQ(ListPopSettings(dir.Path(), panel, 1).Host, "b.example.org");
  EXPECT_EQ(ListPopSettings(dir.Path(), panel, 1).Port, "1110");
  panel = {"own.example.org", " ", "me", "mine", false, 0, ""};
  const TPopSettings own = ListPopSettings(dir.Path(), panel, 1);
  EXPECT_EQ(own.Host, "own.example.org");
  EXPECT_EQ(own.Port, "pop3");
  EXPECT_EQ(own.UserName, "me");
  EXPECT_FALSE(own.Delete);
  EXPECT_EQ(own.Security, 0);  // not in the registry: no security settings known
  panel.Security = -1;
  EXPECT_EQ(ListPopSettings(dir.Path(), panel, 1).Security, 0);
  // A list that never chose a security takes its server's entry's; its own choice wins.
  panel.Host = "a.example.org";
  EXPECT_EQ(ListPopSettings(dir.Path(), panel, 1).Security, 1);
  EXPECT_EQ(ListPopSettings(dir.Path(), panel, 1).UserName, "me");
  panel.Host = "b.example.org";
  panel.Security = 0;
  EXPECT_EQ(ListPopSettings(dir.Path(), panel, 1).Security, 0);
  EXPECT_EQ(ListPopSettings(dir.Path(), panel, 1).Certificate, "AB:CD");
  panel.Security = 1;
  EXPECT_EQ(ListPopSettings(dir.Path(), panel, 1).Security, 1);
}

}  // namespace
