#include "MailTestSupport.h"
#include "mail/FolderIndex.h"
#include "mail/SentRecord.h"
#include "storage/IniFiles32.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

TEST(SentRecordTest, FileAndRecord) {
  TempDir dir;
  TSentMessage message{"Weekly: news? <and> more | a long subject", "a@x.org,b@x.org,", "1/2/26 10:00:00",
                       {"/tmp/one.pdf", "/tmp/two.txt"}, {"Hello {you}", "caf\xe9 \\ end"}};
  const std::string path = RecordSentMessage(dir.Path(), message);
  // The first 25 characters of the subject, then the characters a file name cannot hold removed.
  EXPECT_EQ(path, dir.Path() + "Sent/Weekly news and more .rtf");
  EXPECT_EQ(ReadAll(path).rfind("{\\rtf1", 0), 0u);
  EXPECT_EQ(ReadSentLines(path),
            (std::vector<std::string>{"Subject: Weekly: news? <and> more | a long subject",
                                      "To: a@x.org,b@x.org", "Date: 1/2/26 10:00:00",
                                      "Attachment: /tmp/two.txt", "Attachment: /tmp/one.pdf", "",
                                      "Hello {you}", "caf\xe9 \\ end"}));

  const std::string record = "Weekly news and more .rtf";
  EXPECT_EQ(TFolderIndex(dir.Path(), TMailFolder::mfSent).Read(record),
            (TFolderRecord{record, "a@x.org,b@x.org,", message.Subject, "1/2/26 10:00:00", true, 0, true, true, path}));
  // Stored relative to the list folder, so that a copied data folder finds it.
  EXPECT_EQ(TIniFile32(dir.File("Sent.dat")).ReadString(record, "FileName", ""), "Sent/Weekly news and more .rtf");

  // The same subject again gets a numbered name and a record of its own.
  message.Attachments.clear();
  const std::string second = RecordSentMessage(dir.Path(), message);
  EXPECT_EQ(second, dir.Path() + "Sent/Weekly news and more 1.rtf");
  const TFolderIndex again(dir.Path(), TMailFolder::mfSent);
  EXPECT_FALSE(again.Read("Weekly news and more 1.rtf").Attachment);
  EXPECT_TRUE(again.Read(record).Attachment);
}

TEST(SentRecordTest, LineBreaksInOneLineValuesCannotBreakTheIndex) {
  TempDir dir;
  // A subject box or a typed recipient text holding line breaks.
  TSentMessage message{"Two\r\nlines", "a@x.org,\r\nb@x.org,", "d", {}, {}};
  const std::string path = RecordSentMessage(dir.Path(), message);
  EXPECT_EQ(path, dir.Path() + "Sent/Two lines.rtf");
  const TIniFile32 index(dir.File("Sent.dat"));
  EXPECT_EQ(index.ReadString("Two lines.rtf", "Subject", ""), "Two lines");
  EXPECT_EQ(index.ReadString("Two lines.rtf", "From", ""), "a@x.org, b@x.org,");
  std::vector<std::string> sections;
  index.ReadSections(&sections);
  EXPECT_EQ(sections, std::vector<std::string>{"Two lines.rtf"});
}
