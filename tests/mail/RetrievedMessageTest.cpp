// Reading fetched messages: the identifier rule, the header scan, the file names, the
// identifier history and where a message is filed.
#include <algorithm>
#include "lists/ListRecord.h"
#include "mail/FilterTargets.h"
#include "mail/FolderIndex.h"
#include "mail/InboxFiler.h"
#include "mail/RetrievedMessage.h"
#include "mail/UidlHistory.h"
#include "storage/Filters.h"
#include "storage/IniFiles32.h"
#include "support/TempDir.h"
#include <QDir>

#include <gtest/gtest.h>

namespace {

TEST(RetrievedMessage, IdentifierFromTracedUidlReply) {
  const struct {
    const char *line, *identifier;
  } cases[] = {
      {"< +OK 1 000000014f3a", "000000014f3a"},
      {"< +OK 123 123abc", "123abc"},      // no digit of the number sticks to it
      {"< +OK 7    spaced", "spaced"},     // every blank after the number goes
      {"< +OK 2 trailing ", "trailing"},   // a trailing blank would never match its section
      {"< -ERR no such message", ""},
      {"> UIDL 3", ""},
  };
  for (const auto &c : cases) EXPECT_EQ(MessageIdentifier(c.line), c.identifier) << c.line;
}

TEST(RetrievedMessage, HeaderScanStopsAtTheBodyAndMatchesWithCase) {
  const TMessageSummary s = SummarizeMessage({
      "> UIDL 4", "< +OK 4 id-4",
      "From: First <a@x.org>", "Subject: one", "subject: lower case is no subject", "From: Second <b@x.org>",
      "Date: Mon, 7 Dec 2026 10:00:00 +0000", "Content-Type: multipart/mixed; boundary=\"b\"",
      "", "Subject: in the body", "To: body@x.org"});
  EXPECT_EQ(s.RecordName, "id-4");
  EXPECT_EQ(s.From, "Second <b@x.org>");  // a later line of the same kind wins
  EXPECT_EQ(s.Subject, "one");
  EXPECT_EQ(s.Date, "Mon, 7 Dec 2026 10:00:00 +0000");
  EXPECT_TRUE(s.Attachment);
  EXPECT_EQ(s.To, "body@x.org");  // the first To line of the whole buffer counts

  // Values start after the colon's blanks, however many there are.
  const TMessageSummary bare =
      SummarizeMessage({"> UIDL 1", "< +OK 1 a", "To:x@y.org", "Subject:", "From:   c@y.org", ""});
  EXPECT_EQ(bare.To, "x@y.org");
  EXPECT_EQ(bare.Subject, "");
  EXPECT_EQ(bare.From, "c@y.org");
}

TEST(RetrievedMessage, FileNameIsTheDayCountWithEightDecimals) {
  // 7 December 2026 12:00 is day 46363.5.
  const double noon = 46363.5;
  EXPECT_EQ(DayCountFileName(noon, QLocale(QLocale::English, QLocale::UnitedStates)), "46,36350000000.dat");
  EXPECT_EQ(DayCountFileName(noon, QLocale(QLocale::German, QLocale::Germany)), "46363,50000000.dat");
  EXPECT_EQ(DayCountFileName(noon + 1e-8, QLocale::c()), "4636350000001.dat");
  const std::string french = DayCountFileName(noon, QLocale(QLocale::French, QLocale::France));
  EXPECT_EQ(french.find('?'), std::string::npos) << french;
  EXPECT_EQ(french.substr(french.size() - 16), "363,50000000.dat");
}

TEST(UidlHistory, SeenIsExactAndPerHostAndRecordsAppend) {
  TempDir dir;
  // Lines ending in CR alone or LF alone read as well as CR LF.
  WriteAll(dir.File(kUidlFile), "\r\n[pop.x.org:abc]\r\n1=1\r\n\r[other.org:zzz]\r1=1\n\n[pop.x.org:q]\n1=1\n");
  TUidlHistory history(dir.Path(), "pop.x.org");
  EXPECT_TRUE(history.Seen("abc"));
  EXPECT_TRUE(history.Seen("q"));
  EXPECT_FALSE(history.Seen("abcd"));  // a recorded name inside a longer one is not this one
  EXPECT_FALSE(history.Seen("ab"));
  EXPECT_FALSE(history.Seen("zzz"));   // another host's message
  EXPECT_EQ(history.Size(), 2u);

  history.Record("abcd");
  history.Record("e");
  EXPECT_TRUE(history.Seen("abcd"));
  EXPECT_FALSE(TUidlHistory(dir.Path(), "pop.x.org").Seen("abcd"));  // written by the flush
  history.Flush();
  EXPECT_FALSE(history.Pending());
  std::vector<std::string> sections;
  TIniFile32 ini(dir.File(kUidlFile));
  ini.ReadSections(&sections);
  EXPECT_EQ(sections.back(), "pop.x.org:e");
  EXPECT_EQ(ini.ReadString("pop.x.org:abcd", "1", ""), "1");
  EXPECT_TRUE(TUidlHistory(dir.Path(), "pop.x.org").Seen("abcd"));
  EXPECT_EQ(TUidlHistory(dir.Path() + "missing/", "pop.x.org").Size(), 0u);
}

// The history skips from bracket to bracket: it must still find just the sections a profile
// reader finds, across its read blocks and whatever the line ends.
TEST(UidlHistory, FindsWhatTheProfileReaderFindsAcrossBlocks) {
  TempDir dir;
  std::string text;
  std::vector<std::string> wanted;
  for (int i = 0; i < 3000; ++i) {
    const std::string id = "m" + std::to_string(i) + std::string(static_cast<size_t>(i % 37), 'x');
    const char *ends[] = {"\r\n", "\n", "\r"};
    const std::string end = ends[i % 3];
    if (i % 5 == 0) text += "1=[pop.x.org:v" + id + "]" + end;  // a bracket in a value
    if (i % 1000 == 500) text += std::string(70000, 'y') + end;        // a line longer than a block
    text += (i % 4 == 0 ? " \t[ pop.x.org:" : "[pop.x.org:") + id + (i % 6 == 0 ? " ] " : "]") + end + "1=1" + end;
    if (i % 3 == 0) wanted.push_back(id);
  }
  WriteAll(dir.File(kUidlFile), text);
  std::vector<std::string> sections;
  TIniFile32(dir.File(kUidlFile)).ReadSections(&sections);
  const TUidlHistory all(dir.Path(), "pop.x.org");
  const TUidlHistory some(dir.Path(), "pop.x.org", wanted);
  size_t ours = 0;
  for (const std::string &section : sections) {
    if (section.rfind("pop.x.org:", 0) != 0) continue;
    ++ours;
    const std::string id = section.substr(10);
    EXPECT_TRUE(all.Seen(id)) << id;
    EXPECT_EQ(some.Seen(id), std::find(wanted.begin(), wanted.end(), id) != wanted.end()) << id;
  }
  EXPECT_GT(ours, 1000u);
  EXPECT_EQ(all.Size(), ours);
  EXPECT_EQ(some.Size(), wanted.size());
  EXPECT_FALSE(all.Seen("vm0"));
}

TEST(InboxFiler, FilesUnderFreeNamesAndAppendsOrUpdatesRecords) {
  TempDir dir;
  TInboxFiler filer(QLocale::c());
  TFolderRecord r;
  r.Name = "id-1";
  r.Subject = "first";
  r.MsgNum = 1;
  r.Received = true;
  const TFolderRecord a = filer.File(dir.Path(), {"> UIDL 1", "< +OK 1 id-1", "Subject: first"}, r);
  r.Name = "id-2";
  r.Subject = "second";
  const TFolderRecord b = filer.File(dir.Path(), {"line"}, r);
  // Filed within the same moment, the two still get names of their own.
  EXPECT_NE(a.FileName, b.FileName);
  EXPECT_EQ(a.FileName.rfind(dir.Path() + "Inbox/", 0), 0u);
  EXPECT_EQ(ReadAll(a.FileName), "> UIDL 1\r\n< +OK 1 id-1\r\nSubject: first\r\n");

  // The same record name again updates its record; the index is read as a profile file.
  r.Name = "ID-1";
  r.Subject = "again";
  const TFolderRecord c = filer.File(dir.Path(), {"x"}, r);
  const TFolderIndex index(dir.Path(), TMailFolder::mfInbox);
  ASSERT_EQ(index.RecordNames(), (std::vector<std::string>{"id-1", "id-2"}));
  EXPECT_EQ(index.Read("id-1").Subject, "again");
  EXPECT_EQ(index.Read("id-1").FileName, c.FileName);
  EXPECT_EQ(index.Read("id-2"), b);
}

TEST(FilterTargets, FirstMatchingFilterOfACataloguedListWins) {
  TempDir dir;
  const std::string news = dir.Path() + "News/", club = dir.Path() + "Club/";
  ASSERT_TRUE(QDir().mkpath(QString::fromStdString(news)) && QDir().mkpath(QString::fromStdString(club)));
  TIniFile32 lists(ListsFile(dir.Path()));
  lists.WriteString("News", "Path", news);
  lists.WriteString("Club", "Path", club);
  lists.WriteString("Lost", "Path", dir.Path() + "Lost/");  // its folder does not exist
  WriteFilters(dir.Path(), "Lost", {"lost@y.net"});
  WriteFilters(dir.Path(), "Gone", {"gone@x.org"});  // not in the catalogue
  WriteFilters(dir.Path(), "News", {"", "news@x.org"});
  WriteFilters(dir.Path(), "Club", {"x.org"});
  const TFilterTargets targets(dir.Path(), "/current/");
  EXPECT_EQ(targets.PathFor("Reader <NEWS@x.org>"), news);
  EXPECT_EQ(targets.PathFor("member@x.org"), club);
  EXPECT_EQ(targets.PathFor("gone@elsewhere.com"), "/current/");
  EXPECT_EQ(targets.PathFor("lost@y.net"), "/current/");  // never the root of the disk
  EXPECT_EQ(targets.PathFor(""), "/current/");  // the empty filter matches nothing
}

}  // namespace
