#include "mail/Attachments.h"
#include "mail/MailFolders.h"
#include "mail/ReplyTexts.h"
#include "storage/TextFile.h"
#include "support/TempDir.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

// An Inbox record with its message file.
TFolderRecord FileMessage(const TempDir &dir, TMailFolder folder, const std::string &name, bool viewed = false) {
  ForceDirectories(MailFolderDir(dir.Path(), folder));
  const std::string file = MailFolderDir(dir.Path(), folder) + name + ".msg";
  WriteAll(file, "Subject: " + name + "\r\n\r\nbody of " + name + "\r\n");
  TFolderRecord r{name, "Ann <ann@example.com>", "About " + name, "Mon, 1 Jun 2026", name == "b", 7,
                  true, viewed, file};
  TFolderIndex(dir.Path(), folder).Write(r);
  return r;
}

TEST(MessageGrid, RowsFromTheIndexWithStatusAndAtLeastOneRow) {
  TempDir dir;
  const std::vector<TMessageRow> empty = MessageGridRows(dir.Path(), TMailFolder::mfInbox);
  ASSERT_EQ(empty.size(), 1u);
  EXPECT_TRUE(empty[0].IsEmptyRow());
  EXPECT_EQ(empty[0], TMessageRow{});

  FileMessage(dir, TMailFolder::mfInbox, "a");
  FileMessage(dir, TMailFolder::mfInbox, "b", true);
  TFolderIndex(dir.Path(), TMailFolder::mfInbox).Write({"c", "", "", "d", false, 0, false, false, ""});
  const std::vector<TMessageRow> rows = MessageGridRows(dir.Path(), TMailFolder::mfInbox);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].Status, "Received");
  EXPECT_EQ(rows[1].Status, "Viewed");  // "Viewed" replaces "Received"
  EXPECT_EQ(rows[2].Status, "");
  EXPECT_TRUE(rows[1].Attachment);
  EXPECT_FALSE(rows[0].Attachment);
  EXPECT_EQ(rows[0].Subject, "About a");
  EXPECT_EQ(rows[0].Name, "a");
  EXPECT_EQ(rows[0].MsgNum, 7);
  EXPECT_EQ(rows[0].Path, dir.File("Inbox/a.msg"));
  EXPECT_EQ(MailFolderOf("Trash"), TMailFolder::mfTrash);
}

TEST(MessageGrid, FastListingReadsWhatLookupsRead) {
  // Hand-made index: doubled section (other case), doubled key, empty value, hex number.
  TempDir dir;
  WriteAll(dir.File("Inbox.dat"),
           "[One]\r\nFrom=first\r\nFrom=second\r\nSubject=\r\nSubject=late\r\nMsgNum=0x10\r\nViewed=1\r\n\r\n"
           "[two]\r\nDate=d2\r\nReceived=1\r\n[ONE]\r\nFrom=other\r\nDate=dd\r\n");
  const TFolderIndex index(dir.Path(), TMailFolder::mfInbox);
  std::vector<TFolderRecord> looked;
  for (const std::string &name : index.RecordNames()) looked.push_back(index.Read(name));
  EXPECT_EQ(index.ReadAll(), looked);
  EXPECT_EQ(looked[0].From, "first");
  EXPECT_EQ(looked[0].Subject, "");
  EXPECT_EQ(looked[0].MsgNum, 16);
  EXPECT_EQ(looked[2].Name, "ONE");
  EXPECT_EQ(looked[2].From, "first");
}

TEST(MailFolders, DeleteMovesOneOrSeveralRowsToTheTrashAndPurgeEmptiesIt) {
  TempDir dir;
  FileMessage(dir, TMailFolder::mfInbox, "a");
  FileMessage(dir, TMailFolder::mfInbox, "b", true);
  FileMessage(dir, TMailFolder::mfInbox, "c");
  std::vector<TMessageRow> rows = MessageGridRows(dir.Path(), TMailFolder::mfInbox);
  MoveToTrash(dir.Path(), TMailFolder::mfInbox, {rows[1]});
  MoveToTrash(dir.Path(), TMailFolder::mfInbox, {rows[2], rows[0]});
  EXPECT_TRUE(MessageGridRows(dir.Path(), TMailFolder::mfInbox)[0].IsEmptyRow());
  EXPECT_FALSE(FileExists(dir.File("Inbox/a.msg")));
  const std::vector<TMessageRow> trash = MessageGridRows(dir.Path(), TMailFolder::mfTrash);
  ASSERT_EQ(trash.size(), 3u);
  // The rows move whole, in the order they were deleted; only their files have a new place.
  for (size_t i = 0; i < 3; ++i) {
    TMessageRow moved = rows[(i + 1) % 3];
    moved.Path = dir.File("Trash/" + moved.Name + ".msg");
    EXPECT_EQ(trash[i], moved);
  }
  EXPECT_EQ(ReadAll(trash[1].Path), "Subject: c\r\n\r\nbody of c\r\n");
  // An empty row is nothing to delete.
  MoveToTrash(dir.Path(), TMailFolder::mfInbox, {TMessageRow{}});
  EXPECT_EQ(MessageGridRows(dir.Path(), TMailFolder::mfTrash).size(), 3u);

  // Purging counts every file, also what a viewed message wrote beside it, and removes the
  // index; folders stay.
  WriteAll(dir.File("Trash/photo.jpg"), "jpeg");
  WriteAll(dir.File("Trash/b.html"), "<p>b</p>");
  QDir().mkpath(QString::fromStdString(dir.File("Trash/sub")));
  EXPECT_EQ(PurgeFolder(dir.Path(), TMailFolder::mfTrash), 5);
  EXPECT_FALSE(FileExists(dir.File("Trash.dat")));
  EXPECT_TRUE(MessageGridRows(dir.Path(), TMailFolder::mfTrash)[0].IsEmptyRow());
  EXPECT_TRUE(DirectoryExists(dir.File("Trash/sub")));
  EXPECT_EQ(PurgeFolder(dir.Path(), TMailFolder::mfInbox), 0);
}

TEST(MailFolders, DeleteInSentMovesToTrashAndInTrashDeletesForGood) {
  TempDir dir;
  FileMessage(dir, TMailFolder::mfSent, "s1");
  // A Trash file of the same name from another message is not overwritten.
  FileMessage(dir, TMailFolder::mfTrash, "s1x");
  WriteAll(dir.File("Trash/s1.msg"), "older");
  MoveToTrash(dir.Path(), TMailFolder::mfSent, MessageGridRows(dir.Path(), TMailFolder::mfSent));
  EXPECT_TRUE(MessageGridRows(dir.Path(), TMailFolder::mfSent)[0].IsEmptyRow());
  std::vector<TMessageRow> trash = MessageGridRows(dir.Path(), TMailFolder::mfTrash);
  ASSERT_EQ(trash.size(), 2u);
  EXPECT_EQ(ReadAll(dir.File("Trash/s1.msg")), "older");
  EXPECT_NE(trash[1].Path, dir.File("Trash/s1.msg"));
  EXPECT_EQ(ReadAll(trash[1].Path), "Subject: s1\r\n\r\nbody of s1\r\n");

  MoveToTrash(dir.Path(), TMailFolder::mfTrash, {trash[1]});
  trash = MessageGridRows(dir.Path(), TMailFolder::mfTrash);
  ASSERT_EQ(trash.size(), 1u);
  EXPECT_EQ(trash[0].Name, "s1x");
  EXPECT_EQ(QDir(QString::fromStdString(dir.File("Trash"))).entryList(QDir::Files).size(), 2);  // s1x + older
}

TEST(Attachments, CategoryTable) {
  const struct {
    const char *name;
    int image;
  } cases[] = {{"photo.JPG", 8}, {"a.jpeg", 8}, {"x.art", 8},   {"song.mp3", 4},     {"voice.au", 4},
               {"clip.avi", 6},  {"m.mpeg", 6}, {"setup.exe", 5}, {"a.zip", 5},      {"page.htm", 2},
               {"page.html", 2}, {"a.txt", 9},  {"notes.htm.txt", 2}, {"report.pdf", 7}, {"", 7},
               // the first row found anywhere in the name wins
               {"x.mpg3.gif", 8}, {"a.au.zip", 4}};
  for (const auto &c : cases) EXPECT_EQ(AttachmentCategory(c.name), c.image) << c.name;
}

TEST(Attachments, HostileNamesBecomeSafeBaseNames) {
  const struct {
    std::string in, out;
  } cases[] = {{"report.pdf", "report.pdf"},
               {"../../etc/passwd", "passwd"},
               {"..\\..\\Windows\\win.ini", "win.ini"},
               {"/abs/path/x.gif", "x.gif"},
               {"..", "attachment3"},
               {".", "attachment3"},
               {"", "attachment3"},
               {"dir/", "attachment3"},
               {".bashrc", "bashrc"},
               {"...hidden.txt", "hidden.txt"},
               {"a\r\nb\x01.txt", "ab.txt"},
               {"name. ", "name"},
               {std::string(300, 'x') + ".pdf", std::string(196, 'x') + ".pdf"}};
  for (const auto &c : cases) {
    const std::string safe = SafeAttachmentName(c.in, 3);
    EXPECT_EQ(safe, c.out) << c.in;
    EXPECT_LE(safe.size(), 200u);
    EXPECT_EQ(safe.find('/'), std::string::npos);
  }
}

TEST(ReplyTexts, SubjectRecipientAndTexts) {
  const struct {
    const char *in, *out;
  } subjects[] = {{"Hello", "Re: Hello"},           {"Re: Hello", "Re: Hello"},  {"re: Hello", "re: Hello"},
                  {"Fwd: rE: x", "Fwd: rE: x"},      {"Re:Hello", "Re: Re:Hello"}, {"", "Re: "},
                  {"Are: you there", "Are: you there"}};
  for (const auto &s : subjects) EXPECT_EQ(ReplySubject(s.in), s.out) << s.in;
  EXPECT_EQ(ForwardSubject("News"), "Fwd: News");

  EXPECT_EQ(ReplyRecipient("ann@example.com (Ann Smith)"), "ann@example.com ");
  EXPECT_EQ(ReplyRecipient("ann@example.com (Ann"), "ann@example.com (Ann");
  EXPECT_EQ(ReplyRecipient("a) b (c"), "a) b (c");
  EXPECT_EQ(ReplyRecipient("x (a) y (b)"), "x  y (b)");
  EXPECT_EQ(ReplyRecipient("Ann <ann@example.com>"), "Ann <ann@example.com>");

  EXPECT_EQ(ReplyQuote("Mon", "hi there"), "In a message dated Mon, you wrote:\r\n\r\n<<hi there>>");
  EXPECT_EQ(ReplyHtmlQuote("Mon", {"one", ""}),
            "\r\n\r\nOriginal message dated Mon:\r\n" + std::string(54, '-') + "\r\n<   one\r\n<   \r\n");
  EXPECT_EQ(ForwardText("body"), "\r\n\r\n-----------------Forwarded Message-----------------\r\nbody");
}

}  // namespace
