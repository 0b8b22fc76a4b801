#include "lists/ListRecord.h"
#include "storage/Strings.h"
#include "storage/Filters.h"
#include "storage/FileNames.h"
#include "storage/IniFiles32.h"
#include "storage/TextFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace {

TListRecord SampleRecord() {
  TListRecord r = NewListRecord(TListRecord());
  r.ToAddress = "list@example.com";
  r.FromAddress = "editor@example.com";
  r.FromName = "Caf\xe9 Editor";
  r.MessagesPerMinute = 30;
  r.Comments = "first line\r\nsecond line\r\n\r\nlast";
  r.SMTPServer = "smtp.example.com";
  r.SMTPUsername = "ann";
  r.SMTPPort = "2525";
  r.SendMethod = 1;
  r.RCPTTO = 50;
  r.DeleteRead = true;
  r.HeaderFile = "/tmp/header.txt";
  r.IncludeHeader = true;
  r.AutoMaint = true;
  return r;
}

TEST(ListRecord, FreshCatalogueAndPseudoListDefaults) {
  TempDir dir;
  EXPECT_TRUE(LoadMailLists(dir.Path()).empty());
  const TListRecord pseudo = LoadListRecord(dir.Path(), "");
  TListRecord expected;
  expected.Path = dir.Path();
  EXPECT_EQ(pseudo, expected);
  EXPECT_FALSE(FileExists(dir.File("Lists.ini")));
  // A new list keeps port, method and batch of the list shown before.
  const TListRecord fresh = NewListRecord(SampleRecord());
  EXPECT_EQ(fresh.SMTPPort, "2525");
  EXPECT_EQ(fresh.SendMethod, 1);
  EXPECT_EQ(fresh.RCPTTO, 50);
  EXPECT_TRUE(fresh.AddTo && fresh.RemoveTo && !fresh.AddSub && !fresh.RemoveSub);
  EXPECT_EQ(fresh.AddToAddress, "add@example.com");
  EXPECT_EQ(fresh.RemoveSubAddress, "Remove Me!");
  EXPECT_TRUE(fresh.Comments.empty() && fresh.SMTPUsername.empty() && !fresh.DeleteRead);
}

TEST(ListRecord, CreatingTwiceGivesUniqueNamesAndFolders) {
  TempDir dir;
  const TNewListResult first = CreateMailList(dir.Path(), "Weekly", SampleRecord());
  const TNewListResult second = CreateMailList(dir.Path(), "weekly", SampleRecord());
  EXPECT_EQ(first.Name, "Weekly");
  EXPECT_EQ(second.Name, "weekly - 1");
  EXPECT_EQ(first.Path, dir.Path() + "Weekly/");
  EXPECT_EQ(second.Path, dir.Path() + "weekly - 1/");
  for (const auto &path : {first.Path, second.Path}) {
    for (const char *sub : {"Inbox", "Sent", "Trash"}) EXPECT_TRUE(DirectoryExists(path + sub)) << path << sub;
    EXPECT_TRUE(FileExists(path + "Addresses.ini"));
    EXPECT_EQ(ReadAll(path + "Addresses.ini"), "");
  }
  EXPECT_EQ(LoadMailLists(dir.Path()), (std::vector<std::string>{"Weekly", "weekly - 1"}));
  EXPECT_EQ(LoadListRecord(dir.Path(), "WEEKLY - 1").Path, second.Path);
  // Long names: the counter follows the name's first 24 characters.
  const std::string longName(40, 'n');
  CreateMailList(dir.Path(), longName, TListRecord());
  EXPECT_EQ(MakeUniqueListName(dir.Path(), longName), std::string(24, 'n') + " - 1");
}

TEST(ListRecord, FolderNamesFromLongNamesAndForbiddenCharacters) {
  TempDir dir;
  const std::string longName = "A very long list name with forty chars!!";
  ASSERT_EQ(longName.size(), 40u);
  EXPECT_EQ(CreateMailList(dir.Path(), longName, TListRecord()).Path, dir.Path() + longName.substr(0, 29) + "/");
  // The same first 29 characters again: the folder gets a number.
  const TNewListResult next = CreateMailList(dir.Path(), longName.substr(0, 29) + " and more", TListRecord());
  EXPECT_EQ(next.Path, dir.Path() + longName.substr(0, 29) + "1/");

  const TNewListResult odd = CreateMailList(dir.Path(), "Q/A: news*?", TListRecord());
  EXPECT_EQ(odd.Name, "Q/A: news*?");
  EXPECT_EQ(odd.Path, dir.Path() + "QA news/");
  EXPECT_EQ(StripFileNameChars(" a:b/c\\d*e?f\"g<h>i|j. "), " abcdefghij. ");

  // Files are numbered before their first dot; a folder with a dotted name still counts.
  WriteAll(dir.File("log.2.txt"), "x");
  EXPECT_EQ(MakeUniquePath(dir.File("log.2.txt")), dir.File("log1.2.txt"));
  EXPECT_EQ(MakeUniquePath(dir.File("fresh.txt")), dir.File("fresh.txt"));
  ASSERT_TRUE(ForceDirectories(dir.File("v1.0")));
  EXPECT_EQ(MakeUniquePath(dir.File("v1.0")), dir.File("v11.0"));
  // Names that mean something to the file system never come back as they are.
  EXPECT_EQ(MakeUniquePath(dir.File("..")), dir.File("1.."));
  EXPECT_EQ(MakeUniquePath(dir.Path()), dir.File("1"));
}

TEST(ListRecord, RecordRoundTripCommentsAndEmptyValues) {
  TempDir dir;
  const TNewListResult made = CreateMailList(dir.Path(), "News", SampleRecord());
  TListRecord r = LoadListRecord(dir.Path(), "News");
  TListRecord expected = SampleRecord();
  expected.Path = made.Path;
  EXPECT_EQ(r, expected);
  const std::string file = ReadAll(dir.File("Lists.ini"));
  EXPECT_NE(file.find("Comments=first line:|:second line:|::|:last\r\n"), std::string::npos);
  // Keys stand in table order, empty values are left out.
  EXPECT_LT(file.find("Path="), file.find("To Address="));
  EXPECT_LT(file.find("SMTP Port="), file.find("Send Method=1"));
  EXPECT_LT(file.find("Remove Sub=0"), file.find("Remove Sub Address=Remove Me!"));
  EXPECT_EQ(file.find("Reply Address"), std::string::npos);
  // Clearing the SMTP user name makes its key disappear.
  r.SMTPUsername.clear();
  WriteListRecord(dir.Path(), "News", r, true, "News");
  EXPECT_EQ(ReadAll(dir.File("Lists.ini")).find("SMTP Username"), std::string::npos);
  EXPECT_EQ(LoadListRecord(dir.Path(), "News"), r);

  // Security keys only for a list that chose; a value out of range means "as the registry".
  EXPECT_EQ(r.SMTPSecurity, -1);
  EXPECT_EQ(ReadAll(dir.File("Lists.ini")).find("Security"), std::string::npos);
  r.SMTPSecurity = 1;
  r.SMTPLogin = true;
  r.POPSecurity = 2;
  WriteListRecord(dir.Path(), "News", r, true, "News");
  EXPECT_EQ(LoadListRecord(dir.Path(), "News"), r);
  const std::string secure = ReadAll(dir.File("Lists.ini"));
  EXPECT_NE(secure.find("SMTP Security=1\r\nSMTP Login=1\r\n"), std::string::npos) << secure;
  WriteAll(dir.File("Lists.ini"), ReplaceAll(secure, "POP Security=2", "POP Security=7"));
  EXPECT_EQ(LoadListRecord(dir.Path(), "News").POPSecurity, -1);
}

TEST(ListRecord, RenameRemoveAndNameChecks) {
  TempDir dir;
  CreateMailList(dir.Path(), "Alpha", SampleRecord());
  const TNewListResult beta = CreateMailList(dir.Path(), "Beta", TListRecord());
  TListRecord record = LoadListRecord(dir.Path(), "Alpha");
  // Renaming: the section moves to the end, the folder keeps its name.
  WriteListRecord(dir.Path(), "Gamma", record, true, "Alpha");
  std::vector<std::string> sections;
  TIniFile32(dir.File("Lists.ini")).ReadSections(&sections);
  EXPECT_EQ(sections, (std::vector<std::string>{"Beta", "Gamma"}));
  EXPECT_EQ(LoadListRecord(dir.Path(), "Gamma").Path, dir.Path() + "Alpha/");
  // Another list's name is taken; the list's own name in another case is not.
  EXPECT_TRUE(ListNameTaken(dir.Path(), "beta", "Gamma"));
  EXPECT_FALSE(ListNameTaken(dir.Path(), "GAMMA", "Gamma"));
  EXPECT_FALSE(ListNameTaken(dir.Path(), "Delta", "Gamma"));
  // Removing keeps the folder; the same name later gets a new folder.
  RemoveMailList(dir.Path(), "Beta");
  EXPECT_EQ(LoadMailLists(dir.Path()), std::vector<std::string>{"Gamma"});
  EXPECT_TRUE(DirectoryExists(beta.Path));
  EXPECT_EQ(CreateMailList(dir.Path(), "Beta", TListRecord()).Path, dir.Path() + "Beta1/");
}

TEST(ListRecord, NamesAreTrimmedAndThePseudoListNameIsReserved) {
  TempDir dir;
  // Blanks at either end never reach the catalogue, so the record is found by its name.
  const TNewListResult made = CreateMailList(dir.Path(), "  Weekly \t ", SampleRecord());
  EXPECT_EQ(made.Name, "Weekly");
  EXPECT_EQ(LoadMailLists(dir.Path()), std::vector<std::string>{"Weekly"});
  EXPECT_EQ(LoadListRecord(dir.Path(), "Weekly").Path, made.Path);
  EXPECT_EQ(made.Path, dir.Path() + "Weekly/");
  for (const char *bad : {"", "   ", "Brevant", " brevant ", "BREVANT"}) EXPECT_FALSE(IsValidListName(bad)) << bad;
  for (const char *good : {"News", " News ", "Brevant News"}) EXPECT_TRUE(IsValidListName(good)) << good;
  // A list that would be called "Brevant" (an import, say) gets a name of its own.
  EXPECT_EQ(MakeUniqueListName(dir.Path(), "brevant"), "brevant - 1");
}

TEST(ListRecord, FiltersFollowRenameAndRemoval) {
  TempDir dir;
  CreateMailList(dir.Path(), "Alpha", SampleRecord());
  CreateMailList(dir.Path(), "Beta", SampleRecord());
  WriteFilters(dir.Path(), "Alpha", {"a@example.com", "b@example.com"});
  WriteFilters(dir.Path(), "Beta", {"c@example.com"});
  MoveFilters(dir.Path(), "Alpha", "Gamma");
  EXPECT_TRUE(ReadFilters(dir.Path(), "Alpha").empty());
  EXPECT_EQ(ReadFilters(dir.Path(), "Gamma"), (std::vector<std::string>{"a@example.com", "b@example.com"}));
  // Only the letter case changes: the filters stay, under the new spelling.
  MoveFilters(dir.Path(), "Gamma", "GAMMA");
  std::vector<std::string> sections;
  TIniFile32(dir.File("Filters.ini"), TIniMode::imPlatform).ReadSections(&sections);
  EXPECT_EQ(sections, (std::vector<std::string>{"Beta", "GAMMA"}));
  EXPECT_EQ(ReadFilters(dir.Path(), "GAMMA").size(), 2u);
  // A list without filters moves nothing and creates no section.
  MoveFilters(dir.Path(), "Nobody", "Somebody");
  TIniFile32(dir.File("Filters.ini"), TIniMode::imPlatform).ReadSections(&sections);
  EXPECT_EQ(sections.size(), 2u);
  // Removing a list removes its filters, and only its own.
  RemoveMailList(dir.Path(), "Beta");
  EXPECT_TRUE(ReadFilters(dir.Path(), "Beta").empty());
  TIniFile32(dir.File("Filters.ini"), TIniMode::imPlatform).ReadSections(&sections);
  EXPECT_EQ(sections, std::vector<std::string>{"GAMMA"});
}

TEST(ListRecord, FolderFailureWritesNothing) {
  TempDir dir;
  WriteAll(dir.File("blocked"), "a file where a folder would go");
  const TListFolderResult folders = CreateListFolder(dir.File("blocked/sub/"));
  EXPECT_FALSE(folders.Created);
  EXPECT_EQ(folders.Failed, std::vector<std::string>{dir.File("blocked/sub/")});
  EXPECT_EQ(DirectoryFailureText("/x/y/"), "Brevant was unable to create the directory\r\n/x/y/!");
  // A data directory that cannot hold folders: the list is not written at all.
  const TNewListResult made = CreateMailList(dir.File("blocked/"), "Weekly", TListRecord());
  EXPECT_TRUE(made.Name.empty());
  EXPECT_FALSE(made.Folders.Created);
  EXPECT_FALSE(FileExists(dir.File("blocked/Lists.ini")));
}

}  // namespace
