#include "storage/CustomColors.h"
#include "storage/Filters.h"
#include "storage/ServerRegistry.h"
#include "storage/TextFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace {

TEST(ServerRegistry, SmtpEntriesRoundTripSorted) {
  TempDir dir;
  EXPECT_TRUE(ReadSmtpServerNames(dir.Path()).empty());
  WriteSmtpServer(dir.Path(), {"zeta.example.com", "z", "2525", 1, 20});
  WriteSmtpServer(dir.Path(), {"Alpha.example.com", "", "smtp", 0, 1});
  WriteSmtpServer(dir.Path(), {"mail.example.com", "me", "587", 2, 1});
  EXPECT_EQ(ReadSmtpServerNames(dir.Path()),
            (std::vector<std::string>{"Alpha.example.com", "mail.example.com", "zeta.example.com"}));
  EXPECT_EQ(ReadSmtpServer(dir.Path(), "zeta.example.com"), (TSmtpServer{"zeta.example.com", "z", "2525", 1, 20}));
  // An empty user name is stored as "Username=" and reads back empty.
  EXPECT_NE(ReadAll(dir.File("Smtp Servers.ini")).find("[Alpha.example.com]\r\nUsername=\r\n"), std::string::npos);
  EXPECT_EQ(ReadSmtpServer(dir.Path(), "Alpha.example.com").Username, "");
  EXPECT_TRUE(SmtpServerExists(dir.Path(), "MAIL.example.com"));
  DeleteSmtpServer(dir.Path(), "mail.example.com");
  EXPECT_FALSE(SmtpServerExists(dir.Path(), "mail.example.com"));
  EXPECT_EQ(ReadSmtpServerNames(dir.Path()).size(), 2u);
}

TEST(ServerRegistry, DefaultsAndEmptyValuesPerReader) {
  TempDir dir;
  WriteAll(dir.File("Smtp Servers.ini"), "[bare]\r\n\r\n[empty]\r\nPort=\r\nusername=bob\r\n");
  // Unregistered or bare names give the defaults.
  for (const char *name : {"nowhere", "bare"}) {
    EXPECT_EQ(FillServerFromRegistry(dir.Path(), name), (TSmtpServer{name, "", "smtp", 0, 1}));
    EXPECT_EQ(ReadSmtpServer(dir.Path(), name), (TSmtpServer{name, "", "smtp", 0, 1}));
  }
  // The list panel's reader takes an empty port for the default and matches keys with case;
  // the dialogs' reader takes it as empty and ignores case.
  EXPECT_EQ(FillServerFromRegistry(dir.Path(), "empty").Port, "smtp");
  EXPECT_EQ(FillServerFromRegistry(dir.Path(), "empty").Username, "");
  EXPECT_EQ(ReadSmtpServer(dir.Path(), "empty").Port, "");
  EXPECT_EQ(ReadSmtpServer(dir.Path(), "empty").Username, "bob");

  WritePopServer(dir.Path(), {"pop.example.com", "ann", "s3cret", "995", true});
  EXPECT_EQ(FillPopServerFromRegistry(dir.Path(), "pop.example.com"),
            (TPopServer{"pop.example.com", "ann", "s3cret", "995", true}));
  EXPECT_EQ(FillPopServerFromRegistry(dir.Path(), "other"), (TPopServer{"other", "", "", "pop3", false}));
}

TEST(ServerRegistry, RetryPausesRoundTripAndDamagedValues) {
  TempDir dir;
  TSmtpServer entry{"mail.example.com", "me", "587", 0, 1};
  EXPECT_EQ(entry.RetryPauses, (std::vector<int>{30, 120, 300}));
  entry.RetryPauses = {10, 20};
  WriteSmtpServer(dir.Path(), entry);
  EXPECT_NE(ReadAll(dir.File("Smtp Servers.ini")).find("Retry Pauses=10,20\r\n"), std::string::npos);
  EXPECT_EQ(ReadSmtpServer(dir.Path(), entry.Name).RetryPauses, (std::vector<int>{10, 20}));
  entry.RetryPauses.clear();
  WriteSmtpServer(dir.Path(), entry);
  EXPECT_TRUE(ReadSmtpServer(dir.Path(), entry.Name).RetryPauses.empty());
  const struct {
    const char *value;
    std::vector<int> pauses;
  } rows[] = {
      {"", {30, 120, 300}},            // absent: the defaults
      {"garbage", {30, 120, 300}},     // makes no sense: the defaults
      {" 5 , 7 ", {5, 7}},
      {"5,0,7", {5}},                  // a 0 ends the rounds
      {"5,x,7", {5}},
      {"1,2,3,4", {1, 2, 3}},          // three rounds at most
      {"99999999999,-4", {3600}},      // brought into range
  };
  for (const auto &row : rows) {
    WriteAll(dir.File("Smtp Servers.ini"), std::string("[s]\r\nRetry Pauses=") + row.value + "\r\n");
    EXPECT_EQ(ReadSmtpServer(dir.Path(), "s").RetryPauses, row.pauses) << row.value;
  }
}

TEST(ServerRegistry, SecurityAndLoginKeysRoundTripAndAbsentMeanPlain) {
  TempDir dir;
  TSmtpServer smtp{"submit.example.com", "ann", "587", 0, 1};
  smtp.Security = 1;
  smtp.Login = true;
  smtp.Password = "p=w;d";
  smtp.ClearText = true;
  smtp.Certificate = "AB:CD";
  WriteSmtpServer(dir.Path(), smtp);
  EXPECT_EQ(ReadSmtpServer(dir.Path(), smtp.Name), smtp);
  EXPECT_EQ(ReadSmtpServer(dir.Path(), smtp.Name, TIniMode::imOwn), smtp);
  TPopServer pop{"pop.example.com", "ann", "pw", "995", false};
  pop.Security = 2;
  pop.Certificate = "EF:01";
  WritePopServer(dir.Path(), pop);
  EXPECT_EQ(ReadPopServer(dir.Path(), pop.Name), pop);
  // An entry written by the older program has none of the new keys: a plain session.
  WriteAll(dir.File("Smtp Servers.ini"), "[old.example.com]\r\nUsername=me\r\nPort=25\r\n");
  const TSmtpServer old = ReadSmtpServer(dir.Path(), "old.example.com", TIniMode::imOwn);
  EXPECT_EQ(old.Security, 0);
  EXPECT_FALSE(old.Login);
  EXPECT_EQ(old.Username, "me");
}

TEST(ServerRegistry, PortsFollowTheSecurityChoice) {
  struct Case {
    bool smtp;
    int security;
    const char *current, *expected;
  };
  for (const Case &c : {Case{true, 1, "", "587"}, Case{true, 2, "smtp", "465"}, Case{true, 0, "465", "25"},
                        Case{true, 2, " 587 ", "465"}, Case{true, 1, "2525", "2525"}, Case{false, 2, "pop3", "995"},
                        Case{false, 1, "995", "110"}, Case{false, 0, "1110", "1110"}, Case{true, 9, "587", "25"}}) {
    EXPECT_EQ(PortForSecurity(c.smtp, c.security, c.current), c.expected) << c.current << " " << c.security;
  }
}

TEST(ServerRegistry, RegistryFileNameInAnyCase) {
  TempDir dir;
  WriteAll(dir.File("SMTP Servers.ini"), "[a.example.com]\r\nPort=26\r\n");
  WriteAll(dir.File("POP SERVERS.INI"), "[p.example.com]\r\n");
  EXPECT_EQ(SmtpRegistryPath(dir.Path()), dir.File("SMTP Servers.ini"));
  EXPECT_EQ(ReadSmtpServer(dir.Path(), "a.example.com").Port, "26");
  EXPECT_EQ(ReadPopServerNames(dir.Path()), std::vector<std::string>{"p.example.com"});
  WritePopServer(dir.Path(), {"q.example.com", "", "", "pop3", false});
  EXPECT_EQ(ReadPopServerNames(dir.Path()).size(), 2u);
  EXPECT_FALSE(FileExists(dir.File("Pop Servers.ini")));
}

TEST(ServerRegistry, SendMethodTextsAndDefaultPosition) {
  EXPECT_EQ(SendMethodText(0, 9), "Send to one address at a time");
  EXPECT_EQ(SendMethodText(1, 7), "Send to 7 address at a time");
  EXPECT_EQ(SendMethodText(2, 9), "Send to all addresses at one time");
  EXPECT_EQ(SendMethodText(5, 1), "");
  EXPECT_EQ(SendMethodText(-1, 1), "");
  const std::vector<std::string> names{"a", "b"};
  EXPECT_EQ(DefaultServerName(names, 1), "b");
  EXPECT_EQ(DefaultServerName(names, -1), "");
  EXPECT_EQ(DefaultServerName(names, 2), "");
}

TEST(Filters, WriteReadShrinkAndDamage) {
  TempDir dir;
  EXPECT_TRUE(ReadFilters(dir.Path(), "Weekly").empty());
  WriteFilters(dir.Path(), "Weekly", {"a@example.com", "b@example.com", "c@example.com"});
  WriteFilters(dir.Path(), "Monthly", {"m@example.com"});
  EXPECT_EQ(ReadFilters(dir.Path(), "Weekly"),
            (std::vector<std::string>{"a@example.com", "b@example.com", "c@example.com"}));
  WriteFilters(dir.Path(), "Weekly", {"b@example.com"});
  EXPECT_EQ(ReadFilters(dir.Path(), "Weekly"), std::vector<std::string>{"b@example.com"});
  const std::string file = ReadAll(dir.File(kFiltersFile));
  EXPECT_NE(file.find("[Weekly]\r\nCount=1\r\nFilter1=b@example.com\r\nFilter2=b@example.com\r\n"
                      "Filter3=c@example.com\r\n"),
            std::string::npos);
  EXPECT_EQ(ReadFilters(dir.Path(), "Monthly"), std::vector<std::string>{"m@example.com"});
  // A count beyond the keys reads the missing ones as empty; a huge count is bounded.
  WriteAll(dir.File(kFiltersFile), "[L]\r\nCount=2\r\nFilter1=x\r\n[M]\r\nCount=2000000000\r\n");
  EXPECT_EQ(ReadFilters(dir.Path(), "L"), (std::vector<std::string>{"x", ""}));
  EXPECT_LE(ReadFilters(dir.Path(), "M").size(), 100000u);
}

TEST(CustomColors, SixteenLinesBothWays) {
  TempDir dir;
  TCustomColors colors;
  colors.fill(0x123456);
  EXPECT_FALSE(ReadCustomColors(dir.Path(), &colors));
  EXPECT_EQ(colors[0], 0x123456u);
  for (size_t i = 0; i < 16; ++i) colors[i] = static_cast<TColor>(i * 0x0A0B0C);
  colors[15] = 0xFFFFFF;
  WriteCustomColors(dir.Path(), colors);
  const std::string file = ReadAll(dir.File(kCustomColorsFile));
  EXPECT_EQ(file.substr(0, 30), "ColorA=000000\r\nColorB=0a0b0c\r\n");
  EXPECT_NE(file.find("ColorP=ffffff\r\n"), std::string::npos);
  TCustomColors back{};
  ASSERT_TRUE(ReadCustomColors(dir.Path(), &back));
  EXPECT_EQ(back, colors);
  // Damaged lines leave their colours alone.
  WriteAll(dir.File(kCustomColorsFile), "ColorB=zz\r\nColorC=00ff00\nColorQ=111111\r\ngarbage\r\ncolord=0000ff");
  back.fill(7);
  ASSERT_TRUE(ReadCustomColors(dir.Path(), &back));
  EXPECT_EQ(back[1], 7u);
  EXPECT_EQ(back[2], 0x00FF00u);
  EXPECT_EQ(back[3], 0x0000FFu);
  EXPECT_EQ(back[0], 7u);
}

}  // namespace
