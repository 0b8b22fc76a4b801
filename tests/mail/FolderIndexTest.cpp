#include "mail/FolderIndex.h"
#include "support/TempDir.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

// The folders' layout is checked where messages are filed, listed and moved.
TEST(FolderIndex, MissingIndex) {
  TempDir dir;
  const TFolderIndex inbox(dir.Path(), TMailFolder::mfInbox);
  EXPECT_TRUE(inbox.RecordNames().empty());
  EXPECT_TRUE(inbox.ReadAll().empty());
  EXPECT_EQ(inbox.Read("nothing").From, "");
  EXPECT_FALSE(QFile::exists(QString::fromStdString(dir.File("Inbox.dat"))));
}

TEST(FolderIndex, RecordsRoundTripInFileOrder) {
  TempDir dir;
  TFolderRecord a{"uid-1", "Ann <ann@example.com>", "Hello", "Mon, 1 Jun 2026", true, 3, true, false,
                  dir.File("Inbox/1.msg")};
  TFolderRecord b{"uid-0", "Bob", "", "Tue", false, 4, true, true, dir.File("Inbox/0.msg")};
  {
    TFolderIndex inbox(dir.Path(), TMailFolder::mfInbox);
    inbox.Write(a);
    inbox.Write(b);
    inbox.SetViewed("uid-1", true);
  }
  const TFolderIndex reread(dir.Path(), TMailFolder::mfInbox);
  a.Viewed = true;
  EXPECT_EQ(reread.ReadAll(), (std::vector<TFolderRecord>{a, b}));
  // An empty subject leaves no entry and reads as empty text.
  EXPECT_EQ(ReadAll(dir.File("Inbox.dat")).find("Subject=\r\n"), std::string::npos);

  // Sent records carry no message number.
  TFolderIndex sent(dir.Path(), TMailFolder::mfSent);
  sent.Write({"1.txt", "list", "News", "today", false, 77, true, true, dir.File("Sent/1.txt")});
  EXPECT_EQ(ReadAll(dir.File("Sent.dat")).find("MsgNum"), std::string::npos);
  EXPECT_EQ(sent.Read("1.txt").MsgNum, 0);

  // The same record name twice is one section: non-empty values overwrite.
  TFolderIndex trash(dir.Path(), TMailFolder::mfTrash);
  trash.Write({"x", "first", "S1", "d", true, 1, true, false, "f1"});
  trash.Write({"x", "second", "", "d", false, 2, false, true, "f2"});
  EXPECT_EQ(trash.RecordNames(), std::vector<std::string>{"x"});
  const TFolderRecord merged = trash.Read("x");
  EXPECT_EQ(merged.From, "second");
  EXPECT_EQ(merged.Subject, "S1");
  EXPECT_FALSE(merged.Attachment);
  trash.Erase("x");
  EXPECT_TRUE(TFolderIndex(dir.Path(), TMailFolder::mfTrash).RecordNames().empty());
}

}  // namespace
