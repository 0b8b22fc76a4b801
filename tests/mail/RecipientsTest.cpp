#include "mail/MailSessionFiles.h"
#include "mail/Recipients.h"
#include "storage/TextFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using Batch = std::vector<std::string>;

// Batches of several are taken by the mailing run's own tests; here the edges.
TEST(RecipientsTest, EveryBatchTakesOneAndBlankEntriesAreDropped) {
  // A size of 0 (no at sign counted, or a stored 0) still moves on.
  std::string text = "a@x.org,b@x.org,";
  EXPECT_EQ(TakeBatch(text, 0), (Batch{"a@x.org"}));
  EXPECT_EQ(TakeBatch(text, -3), (Batch{"b@x.org"}));

  // Blank entries are dropped; a typed entry keeps its blanks for the client to trim.
  text = "a@x.org, , b@x.org ,";
  EXPECT_EQ(TakeBatch(text, 5), (Batch{"a@x.org", " b@x.org "}));
  text = " ,";
  EXPECT_TRUE(TakeBatch(text, 1).empty());
  EXPECT_TRUE(text.empty());
}

TEST(RecipientsTest, EntriesAndTexts) {
  EXPECT_EQ(EnvelopeAddress("Ann Example <ann@x.org>"), "ann@x.org");
  EXPECT_EQ(EnvelopeAddress("ann@x.org"), "ann@x.org");
  EXPECT_EQ(EnvelopeAddress("odd> name <"), "odd> name <");

  EXPECT_EQ(AddressPageAddresses("a@x.org, b@x.org"), "a@x.org, b@x.org,");
  EXPECT_EQ(AddressPageAddresses("a@x.org,"), "a@x.org,");
  EXPECT_EQ(AddressPageAddresses(""), "");
  EXPECT_EQ(AddressPageAddresses(" ,\r\n, "), "");
  EXPECT_EQ(ListPageAddresses({"a@x.org", "B <b@x.org>"}), "a@x.org,B <b@x.org>,");
  EXPECT_EQ(CountAtSigns("a@x.org, b@x.org"), 2);
  EXPECT_EQ(CountAtSigns("nobody"), 0);
}

TEST(MailSessionFilesTest, OpeningClosingAndTwoRunsInARow) {
  TempDir dir;
  TMailSessionFiles files(dir.Path());
  files.Start("1/2/26 10:00:00");
  files.Log("dropped: the log is not open");
  files.Open();
  files.Log("> HELO me");
  files.AddFailed("bad@x.org");
  files.Close();
  files.Finish(3, 1);
  EXPECT_EQ(ReadAll(dir.File("MailLog.txt")),
            "Mail session started at 1/2/26 10:00:00\r\n\r\n> HELO me\r\n\r\n"
            "3 messages sent succesfully. 1 failed.\r\n");
  EXPECT_EQ(ReadAll(dir.File("Failed.txt")),
            "Failed Addresses\r\n\r\nMail session started at 1/2/26 10:00:00\r\nbad@x.org\r\n\r\n"
            "1 addresses failed.\r\n");

  // A failed address is kept even when the file is not open; a new run starts afresh.
  files.Start("2/2/26 11:00:00");
  files.AddFailed("late@x.org");
  files.Finish(0, 1);
  EXPECT_EQ(ReadAll(dir.File("Failed.txt")),
            "Failed Addresses\r\n\r\nMail session started at 2/2/26 11:00:00\r\nlate@x.org\r\n\r\n"
            "1 addresses failed.\r\n");
  EXPECT_EQ(ReadAll(dir.File("MailLog.txt")).find("10:00:00"), std::string::npos);
}
