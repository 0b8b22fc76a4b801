#include "storage/FileErrors.h"
#include "storage/IniFiles32.h"
#include "storage/NewSections.h"
#include "storage/TextFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <csignal>
#include <random>
#include <sys/resource.h>

namespace {

// A folder and a settings file in it.
class IniFiles32 : public ::testing::Test {
protected:
  TempDir dir;
  const std::string path = dir.File("test.ini");
};

TEST_F(IniFiles32, MissingFileReadsDefaultsAndCreatesNothing) {
  TIniFile32 ini(path);
  EXPECT_EQ(ini.ReadString("A", "k", "def"), "def");
  EXPECT_EQ(ini.ReadInteger("A", "k", 7), 7);
  std::vector<std::string> sections{"stale"};
  ini.ReadSections(&sections);
  EXPECT_TRUE(sections.empty());
  EXPECT_FALSE(FileExists(path));
  EXPECT_THROW(ini.ReadSections(nullptr), std::invalid_argument);
}

TEST_F(IniFiles32, WritesCreateSectionWithLeadingBlankLine) {
  TIniFile32 ini(path);
  ini.WriteString("A", "k", "v");
  EXPECT_EQ(ReadAll(path), "\r\n[A]\r\nk=v\r\n");
  ini.WriteString("B", "k", "");
  EXPECT_EQ(ReadAll(path), "\r\n[A]\r\nk=v\r\n\r\n[B]\r\n");
  // An empty value neither clears nor removes an existing entry.
  ini.WriteString("A", "k", "");
  EXPECT_EQ(ini.ReadString("A", "k", "d"), "v");
  // A new key goes directly before the next section's header, after the blank line.
  ini.WriteString("A", "n", "2");
  EXPECT_EQ(ReadAll(path), "\r\n[A]\r\nk=v\r\n\r\nn=2\r\n[B]\r\n");
}

TEST_F(IniFiles32, ReadingRulesForKeysValuesAndSections) {
  WriteAll(path, "x=ignored\n[Lists]\nPath=p\nk=\nsp  =  v  \neq=a=b\n;note=x\n  [Blank]\nq=1\r[Lists]\nPath=second");
  TIniFile32 ini(path);
  EXPECT_EQ(ini.ReadString("lists", "Path", "d"), "p");
  EXPECT_EQ(ini.ReadString("Lists", "path", "d"), "d");
  EXPECT_EQ(ini.ReadString("Lists", "k", "d"), "d");
  EXPECT_EQ(ini.ReadString("Lists", "sp", "d"), "v");
  EXPECT_EQ(ini.ReadString("Lists", "eq", "d"), "a=b");
  EXPECT_EQ(ini.ReadString("Lists", ";note", "d"), "x");
  EXPECT_EQ(ini.ReadString("Blank", "q", "d"), "d");  // header with blanks is not found
  std::vector<std::string> sections;
  ini.ReadSections(&sections);
  EXPECT_EQ(sections, (std::vector<std::string>{"Lists", "Blank", "Lists"}));
}

TEST_F(IniFiles32, IntegersAndBooleans) {
  WriteAll(path, "[N]\nh=0x1F\nd=$1F\nbad=12abc\nneg=-5\ntwo=2\nzero=0\nbig=99999999999\nall=$FFFFFFFF\n");
  TIniFile32 ini(path);
  EXPECT_EQ(ini.ReadInteger("N", "h", 0), 31);
  EXPECT_EQ(ini.ReadInteger("N", "d", 0), 31);
  EXPECT_EQ(ini.ReadInteger("N", "bad", 9), 9);
  EXPECT_EQ(ini.ReadInteger("N", "neg", 0), -5);
  EXPECT_EQ(ini.ReadInteger("N", "big", 3), 3);
  EXPECT_EQ(ini.ReadInteger("N", "all", 0), -1);
  EXPECT_TRUE(ini.ReadBool("N", "two", false));
  EXPECT_FALSE(ini.ReadBool("N", "zero", true));
  EXPECT_TRUE(ini.ReadBool("N", "bad", true));
  ini.WriteInteger("N", "w", -42);
  ini.WriteBool("N", "b", true);
  TIniFile32 again(path);
  EXPECT_EQ(again.ReadString("N", "w", ""), "-42");
  EXPECT_EQ(again.ReadString("N", "b", ""), "1");
}

TEST_F(IniFiles32, EraseSectionAndDuplicateSections) {
  WriteAll(path, "[A]\na=1\n\n[B]\nb=1\n\n[C]\nc=1\n[A]\na=2\n");
  TIniFile32 ini(path);
  ini.EraseSection("B");
  EXPECT_EQ(ReadAll(path), "[A]\r\na=1\r\n\r\n\r\n[C]\r\nc=1\r\n[A]\r\na=2\r\n");
  ini.WriteString("A", "a", "3");
  EXPECT_EQ(ini.ReadString("A", "a", ""), "3");
  ini.EraseSection("A");  // the first [A] is the first line: no blank line left
  EXPECT_EQ(ReadAll(path), "[C]\r\nc=1\r\n[A]\r\na=2\r\n");
  EXPECT_EQ(ini.ReadString("A", "a", ""), "2");
  const std::string before = ReadAll(path);
  ini.EraseSection("Missing");
  EXPECT_EQ(ReadAll(path), before);
}

TEST_F(IniFiles32, PlatformWriterKeysWithoutCaseAndEmptyValues) {
  TIniFile32 ini(path, TIniMode::imPlatform);
  ini.WriteString("S", "Port", "25");
  ini.WriteString("S", "port", "26");
  ini.WriteString("S", "User", "");
  EXPECT_EQ(ReadAll(path), "\r\n[S]\r\nport=26\r\nUser=\r\n");
  EXPECT_EQ(ini.ReadString("s", "PORT", "d"), "26");
  EXPECT_EQ(ini.ReadString("S", "User", "d"), "");
}

TEST_F(IniFiles32, DamagedFilesOpenAndReadSensibly) {
  std::string junk = "[A]\nk=v\n";
  junk += std::string(1 << 20, 'x');  // a line of a megabyte, no line end
  junk += std::string("\x01\xff\x80[B]\nz=1\n", 10);
  WriteAll(path, junk);
  EXPECT_EQ(TIniFile32(path).ReadString("A", "k", ""), "v");
}

TEST_F(IniFiles32, FailedSaveKeepsOldFileAndReportsPath) {
  TIniFile32 ini(path);
  ini.WriteString("A", "k", "old");
  // A file size limit makes the save run out of space half-way, even for root.
  signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  rlimit small = saved;
  small.rlim_cur = 64;
  setrlimit(RLIMIT_FSIZE, &small);
  std::string message;
  try {
    ini.WriteString("A", "k", std::string(500, 'n'));
  } catch (const EFCreateError &e) {
    message = e.what();
  }
  setrlimit(RLIMIT_FSIZE, &saved);
  EXPECT_EQ(message, "Cannot create file " + path);
  EXPECT_EQ(ReadAll(path), "\r\n[A]\r\nk=old\r\n");
  EXPECT_EQ(ini.ReadString("A", "k", ""), std::string(500, 'n'));  // memory holds the change
  EXPECT_THROW(TIniFile32(dir.File("no/such/folder.ini")).WriteString("A", "k", "v"), EFCreateError);
}

// Erasing several sections in one pass gives what erasing them one by one from the last in
// the file to the first gives, and the section lookups stay right after lines move.
TEST_F(IniFiles32, EraseSectionsMatchesSingleErasures) {
  const std::string text = "[A]\r\na=1\r\n\r\n[B]\r\nb=1\r\n\r\n[C]\r\nc=1\r\n\r\n[D]\r\nd=1\r\n[E]\r\ne=2\r\n";
  const std::string order = "ABCDE";
  const std::vector<std::string> cases = {"A", "BC", "AB", "E", "CAD", "DE", "ABCDE", "x"};
  for (const auto &names : cases) {
    WriteAll(dir.File("one.ini"), text);
    WriteAll(dir.File("bulk.ini"), text);
    {
      TIniFile32 one(dir.File("one.ini"));
      for (auto it = order.rbegin(); it != order.rend(); ++it)
        if (names.find(*it) != std::string::npos) one.EraseSection(std::string(1, *it));
    }
    std::vector<std::string> list;
    for (char c : names) list.emplace_back(1, static_cast<char>(c | 0x20));  // lower case finds them too
    TIniFile32 bulk(dir.File("bulk.ini"));
    bulk.EraseSections(list);
    EXPECT_EQ(ReadAll(dir.File("bulk.ini")), ReadAll(dir.File("one.ini"))) << names;
  }
  // A name given twice erases the first two sections of that name.
  WriteAll(dir.File("dup.ini"), "\r\n[B]\r\nb=1\r\n[C]\r\nc=1\r\n[b]\r\nb=2\r\n[b]\r\nb=3\r\n");
  TIniFile32 dup(dir.File("dup.ini"));
  dup.EraseSections({"b", "B"});
  EXPECT_EQ(ReadAll(dir.File("dup.ini")), "\r\n\r\n[C]\r\nc=1\r\n\r\n[b]\r\nb=3\r\n");
  EXPECT_EQ(dup.ReadString("B", "b", ""), "3");

  // After an erasure moved the lines, writes still find the right sections.
  WriteAll(dir.File("bulk.ini"), text);
  TIniFile32 ini(dir.File("bulk.ini"));
  EXPECT_EQ(ini.ReadString("D", "d", ""), "1");
  ini.EraseSections({"A", "C"});
  ini.WriteString("B", "new", "x");
  ini.WriteString("D", "d", "9");
  ini.WriteString("F", "f", "5");
  EXPECT_EQ(ReadAll(dir.File("bulk.ini")),
            "[B]\r\nb=1\r\n\r\n\r\nnew=x\r\n[D]\r\nd=9\r\n[E]\r\ne=2\r\n\r\n[F]\r\nf=5\r\n");
  EXPECT_EQ(ini.ReadString("e", "e", ""), "2");
}

// Many records written in one batch (saved once, at its end) keep every lookup right while
// keys are inserted in the middle and sections appended at the end.
TEST_F(IniFiles32, SectionLookupsSurviveInsertions) {
  TIniFile32 ini(dir.File("book.ini"));
  ini.BeginUpdate();
  for (int i = 0; i < 200; ++i) ini.WriteString("<" + std::to_string(i) + "@x>", "Email", std::to_string(i));
  for (int i = 0; i < 200; i += 7) ini.WriteString("<" + std::to_string(i) + "@X>", "Name", "n" + std::to_string(i));
  EXPECT_FALSE(FileExists(dir.File("book.ini")));
  ini.EndUpdate();
  TIniFile32 reread(dir.File("book.ini"));
  for (int i = 0; i < 200; ++i) {
    EXPECT_EQ(reread.ReadString("<" + std::to_string(i) + "@x>", "Email", ""), std::to_string(i));
    EXPECT_EQ(reread.ReadString("<" + std::to_string(i) + "@x>", "Name", ""), i % 7 ? "" : "n" + std::to_string(i));
  }
  std::vector<std::string> sections;
  reread.ReadSections(&sections);
  EXPECT_EQ(sections.size(), 200u);
}

// New sections added in one go: the text of the saved form, one section per name in any case.
TEST_F(IniFiles32, AddNewSectionsWritesTheSavedForm) {
  TNewSections added;
  ASSERT_TRUE(added.AddSection("<a@x>"));
  added.AddEntry("Email", "a@x");
  ASSERT_TRUE(added.AddSection("<B@x>"));
  for (const char *key : {"Name", "Phone", "Email"}) added.AddEntry(key, key[0] == 'P' ? "" : "B");
  ASSERT_TRUE(added.AddSection("<e@x>"));
  EXPECT_FALSE(added.AddSection("<A@X>"));
  EXPECT_EQ(added.Count(), 3u);
  TIniFile32::AddNewSections(dir.File("new.ini"), added);
  EXPECT_EQ(ReadAll(dir.File("new.ini")), "\r\n[<a@x>]\r\nEmail=a@x\r\n\r\n[<B@x>]\r\nName=B\r\nEmail=B\r\n\r\n[<e@x>]\r\n");
}

// Generated books of odd shapes (other line ends, NULs, no last line end, sections already
// there in another case): the bulk routines that work on a book's text give the bytes that
// the object's one-by-one writes and erasures give.
TEST_F(IniFiles32, BulkRoutinesOnTextMatchTheObject) {
  std::mt19937 random(20261206);
  const auto pick = [&](std::initializer_list<const char *> from) {
    return std::string(from.begin()[random() % from.size()]);
  };
  const auto name = [&] { return pick({"<a@x>", "<A@X>", "<b@x>", "<c@x>", "<d@x>", "s"}); };
  for (int round = 0; round < 150; ++round) {
    std::string book;
    const int lines = static_cast<int>(random() % 12);
    for (int i = 0; i < lines; ++i)
      book += pick({"[", "", "k=v", "Email=z", " [<a@x>]", "[<b@x>] "}) + (i % 4 == 3 ? "" : name().substr(0, 6)) +
              (random() % 2 ? "]" : "") + (random() % 12 ? "" : std::string(1, '\0')) +
              (i + 1 == lines && random() % 8 == 0 ? "" : pick({"\r\n", "\r\n", "\r\n", "\n", "\r"}));
    // Added sections, each once, with an entry or two (one may be empty) or none.
    TNewSections added;
    std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>> writes;
    for (int i = 0, n = static_cast<int>(random() % 4); i < n; ++i) {
      const std::string section = name();
      if (!added.AddSection(section)) continue;
      writes.push_back({section, {}});
      for (int k = 0, m = static_cast<int>(random() % 3); k < m; ++k) {
        const std::string key = k == 0 ? "Email" : "Name", value = pick({"v", "", "w=1"});
        added.AddEntry(key, value);
        writes.back().second.emplace_back(key, value);
      }
    }
    WriteAll(dir.File("text.ini"), book);
    WriteAll(dir.File("object.ini"), book);
    TIniFile32::AddNewSections(dir.File("text.ini"), added);
    {
      TIniFile32 object(dir.File("object.ini"));
      for (const auto &[section, entries] : writes) {
        object.WriteString(section, "Email", "");
        for (const auto &[key, value] : entries) object.WriteString(section, key, value);
      }
    }
    ASSERT_EQ(ReadAll(dir.File("text.ini")), ReadAll(dir.File("object.ini"))) << round << ": " << book;

    std::vector<std::string> doomed;
    for (int i = 0, n = static_cast<int>(random() % 4); i < n; ++i) doomed.push_back(name());
    TIniFile32::EraseSectionsInFile(dir.File("text.ini"), doomed);
    TIniFile32(dir.File("object.ini")).EraseSections(doomed);
    ASSERT_EQ(ReadAll(dir.File("text.ini")), ReadAll(dir.File("object.ini"))) << round << ": " << book;
  }
}

}  // namespace
