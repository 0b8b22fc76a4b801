// Which POP server Get New uses: the list's own, else the default one of the registry.
#include "mail/PopSettings.h"
#include "storage/ServerRegistry.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace {

// Every field, so that a comparison takes the settings whole.
std::string Text(const TPopSettings &p) {
  return p.Host + "|" + p.Port + "|" + p.UserName + "|" + p.PassWord + "|" + std::to_string(p.Delete) + "|" +
         std::to_string(p.Security) + "|" + p.Certificate;
}

TEST(PopSettings, AListWithoutAServerTakesTheDefaultOneWhole) {
  TempDir dir;
  WritePopServer(dir.Path(), {"b.example.org", "bee", "bpass", "1110", true, 2, "AB:CD"});
  WritePopServer(dir.Path(), {"a.example.org", "ay", "apass", "", false, 1, ""});
  // Positions count in the sorted registry: 1 is b.example.org.
  EXPECT_EQ(Text(DefaultPopSettings(dir.Path(), 1)), "b.example.org|1110|bee|bpass|1|2|AB:CD");
  EXPECT_EQ(DefaultPopSettings(dir.Path(), 0).Port, "pop3");  // an empty port is the usual one
  EXPECT_EQ(DefaultPopSettings(dir.Path(), -1).Host, "");      // no default chosen
  EXPECT_EQ(DefaultPopSettings(dir.Path() + "none/", 0).Host, "");

  TPopSettings panel;
  panel.Port = "995";
  EXPECT_EQ(Text(ListPopSettings(dir.Path(), panel, 1)), "b.example.org|1110|bee|bpass|1|2|AB:CD");
  // Not in the registry: no security settings known.
  panel = {"own.example.org", " ", "me", "mine", false, 0, ""};
  EXPECT_EQ(Text(ListPopSettings(dir.Path(), panel, 1)), "own.example.org|pop3|me|mine|0|0|");
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
