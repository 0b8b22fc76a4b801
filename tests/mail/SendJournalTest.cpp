// The journal that lets an interrupted run be resumed, and the failed addresses a resend reads.
#include "mail/MailSessionFiles.h"
#include "mail/SendJournal.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <QFile>

TEST(SendJournal, RecordsEachNewsletterApartAndGoesAtTheEnd) {
  TempDir dir;
  const std::string path = dir.File(kSendJournalFile);
  using Set = std::set<std::string>;
  {
    TSendJournal journal;
    journal.Begin(dir.Path(), "/news/issue.bvd", "Spring\tnews", false);
    journal.Accepted("Ann@Example.org");
    journal.Accepted("bob@example.org");
    // Every line is in the file at once, before the journal is closed.
    EXPECT_EQ(ReadAll(path), "/news/issue.bvd\tSpring news\tAnn@Example.org\r\n/news/issue.bvd\tSpring news\tbob@example.org\r\n");
  }
  EXPECT_EQ(TSendJournal::AlreadySent(dir.Path(), "/news/issue.bvd", "Spring\tnews"), (Set{"ann@example.org", "bob@example.org"}));
  EXPECT_EQ(TSendJournal::AlreadySent(dir.Path(), "/news/other.bvd", "Spring\tnews"), Set{});
  EXPECT_EQ(TSendJournal::AlreadySent(dir.Path(), "/news/issue.bvd", "Summer news"), Set{});

  TSendJournal resumed;
  resumed.Begin(dir.Path(), "/news/issue.bvd", "Spring\tnews", true);  // keeps what is there
  resumed.Accepted("cy@example.org");
  EXPECT_EQ(TSendJournal::AlreadySent(dir.Path(), "/news/issue.bvd", "Spring\tnews").size(), 3u);
  resumed.Finish();
  EXPECT_FALSE(QFile::exists(QString::fromStdString(path)));

  TSendJournal fresh;
  WriteAll(path, "/news/issue.bvd\tSpring news\told@example.org\r\n");
  fresh.Begin(dir.Path(), "/news/issue.bvd", "Spring news", false);  // a new run starts empty
  EXPECT_EQ(ReadAll(path), "");
  EXPECT_THROW(fresh.Begin(dir.Path() + "missing/", "", "", false), std::runtime_error);
}

TEST(SendJournal, FailedAddressesOfTheLastRun) {
  TempDir dir;
  EXPECT_TRUE(ReadFailedAddresses(dir.Path()).empty());
  {
    TMailSessionFiles files(dir.Path());
    files.Start("7.12.2026 13:00:00");
    files.AddFailed("a@x.org");
    files.AddFailed("b@x.org");
    files.AddFailed("a@x.org");
    files.Finish(3, 3);
  }
  EXPECT_EQ(ReadFailedAddresses(dir.Path()), (std::vector<std::string>{"a@x.org", "b@x.org"}));
}
