#include "cli/CliOptions.h"

#include <gtest/gtest.h>

namespace {
TCliOptions Parse(std::initializer_list<const char *> args) {
  std::vector<std::string> v;
  for (const char *a : args) v.emplace_back(a);
  return ParseCliOptions(v);
}

TEST(CliOptions, ReadsEachCommandWithItsOptions) {
  TCliOptions o = Parse({"--data-dir", "/d", "send", "--list", "News", "issue.bvd", "--field-codes", "--dry-run=/out",
                         "--wait", "30", "--bcc", "--html"});
  EXPECT_EQ(o.Error, "");
  EXPECT_EQ(o.Command, TCliCommand::ccSend);
  EXPECT_EQ(o.DataDir, "/d");
  EXPECT_EQ(o.List, "News");
  EXPECT_EQ(o.File, "issue.bvd");
  EXPECT_TRUE(o.FieldCodes && o.Bcc && o.Html);
  EXPECT_EQ(o.DryRunDir, "/out");
  EXPECT_EQ(o.WaitSeconds, 30);

  o = Parse({"lists"});
  EXPECT_EQ(o.Error, "");
  EXPECT_EQ(o.Command, TCliCommand::ccLists);
  o = Parse({"import", "--list=A list", "people.csv"});
  EXPECT_EQ(o.Error, "");
  EXPECT_EQ(o.List, "A list");
  EXPECT_EQ(o.File, "people.csv");
  o = Parse({"fetch", "--list", "News"});
  EXPECT_EQ(o.Error, "");
  EXPECT_EQ(o.Command, TCliCommand::ccFetch);
}

TEST(CliOptions, HelpForTheProgramAndForEachCommand) {
  TCliOptions o = Parse({"--help"});
  EXPECT_TRUE(o.Help);
  EXPECT_EQ(o.Command, TCliCommand::ccNone);
  EXPECT_NE(CliUsage(o.Command).find("Exit status"), std::string::npos);
  // Help needs nothing else of the line, even with options missing.
  o = Parse({"send", "--help"});
  EXPECT_TRUE(o.Help);
  EXPECT_EQ(o.Command, TCliCommand::ccSend);
  for (TCliCommand c : {TCliCommand::ccLists, TCliCommand::ccSend, TCliCommand::ccFetch, TCliCommand::ccImport,
                        TCliCommand::ccExport})
    EXPECT_EQ(CliUsage(c).rfind("Usage: brevant-cli ", 0), 0u);
}

TEST(CliOptions, BadLinesSayWhatIsWrong) {
  const struct {
    std::initializer_list<const char *> args;
    const char *error;
  } cases[] = {
      {{}, "no command given"},
      {{"sned"}, "unknown command \"sned\""},
      {{"send", "issue.bvd"}, "send needs --list NAME"},
      {{"send", "--list", "N"}, "send needs a file"},
      {{"export", "--list", "N", "a", "b"}, "export takes one file only"},
      {{"lists", "extra"}, "lists takes no file"},
      {{"lists", "--frobnicate"}, "unknown option --frobnicate"},
      {{"send", "--list"}, "--list needs a value"},
      {{"fetch", "--list", "N", "--wait", "soon"}, "--wait needs a number of seconds, not \"soon\""},
      {{"import", "--list", "N", "f.csv", "--dry-run", "/x"}, "--field-codes, --html, --bcc and --dry-run are options of send"},
  };
  for (const auto &c : cases) EXPECT_EQ(ParseCliOptions(std::vector<std::string>(c.args.begin(), c.args.end())).Error, c.error);
}
}  // namespace
