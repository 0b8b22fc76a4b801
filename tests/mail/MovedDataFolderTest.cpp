#include "lists/AddressRecord.h"
#include "lists/ListRecord.h"
#include "mail/FolderIndex.h"
#include "mail/SentRecord.h"
#include "storage/IniFiles32.h"
#include "storage/TextFile.h"
#include "support/TempDir.h"

#include <QDirIterator>
#include <QFile>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>

namespace {

QString Q(const std::string &s) { return QString::fromStdString(s); }

void CopyTree(const std::string &from, const std::string &to) {
  QDirIterator it(Q(from), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    const QString target = Q(to) + path.mid(static_cast<qsizetype>(from.size()));
    if (it.fileInfo().isDir()) QDir().mkpath(target);
    else QFile::copy(path, target);
  }
}

// Every file of a tree with its bytes; every entry with its mode.
std::map<QString, std::string> Snapshot(const std::string &root) {
  std::map<QString, std::string> files;
  QDirIterator it(Q(root), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    files[path] = it.fileInfo().isDir() ? "<dir>" : ReadAll(path.toStdString());
  }
  return files;
}

void SetTreeWritable(const std::string &root, bool writable) {
  QDirIterator it(Q(root), QDir::AllEntries | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
  std::vector<std::string> paths{root};
  while (it.hasNext()) paths.push_back(it.next().toStdString());
  for (const auto &p : paths) {
    struct stat st {};
    ::stat(p.c_str(), &st);
    const mode_t mode = S_ISDIR(st.st_mode) ? (writable ? 0755 : 0555) : (writable ? 0644 : 0444);
    ::chmod(p.c_str(), mode);
  }
}

TSentMessage Message(const std::string &subject) { return {subject, "a@x,", "1/2/26 10:00:00", {}, {"Hello"}}; }

// A data folder with two lists and sent mail, copied to a new place: the copy works on its
// own files while the old folder stays read-only and unchanged.
TEST(MovedDataFolder, ACopyWorksInItsNewPlace) {
  TempDir oldDir, newDir;
  const std::string a = oldDir.Path();
  const std::string b = newDir.Path() + "moved/";
  for (const char *name : {"Weekly", "Monthly"}) {
    const TNewListResult made = CreateMailList(a, name, NewListRecord(TListRecord()));
    ASSERT_FALSE(made.Name.empty());
    WriteAddress(made.Path, "<ann@x>", TAddressRecord{"Ann", "", "", "ann@x", "", "", "", "", ""});
    RecordSentMessage(made.Path, Message(std::string(name) + " issue 1"));
  }
  RecordSentMessage(a, Message("General"));  // the pseudo-list's Sent folder
  EXPECT_EQ(TIniFile32(a + "Lists.ini").ReadString("Weekly", "Path", ""), "Weekly/");

  CopyTree(a, b);
  const auto before = Snapshot(a);
  SetTreeWritable(a, false);

  for (const char *name : {"Weekly", "Monthly"}) {
    const TListRecord list = LoadListRecord(b, name);
    EXPECT_EQ(list.Path, b + name + "/");
    EXPECT_EQ(LoadAddressEntries(list.Path), std::vector<std::string>{"Ann <ann@x>"});
    WriteAddress(list.Path, "<bob@x>", TAddressRecord{"Bob", "", "", "bob@x", "", "", "", "", ""});
    RecordSentMessage(list.Path, Message(std::string(name) + " issue 2"));
    const std::vector<TFolderRecord> sent = TFolderIndex(list.Path, TMailFolder::mfSent).ReadAll();
    ASSERT_EQ(sent.size(), 2u);
    for (const TFolderRecord &r : sent) {
      EXPECT_EQ(r.FileName.rfind(list.Path + "Sent/", 0), 0u) << r.FileName;
      EXPECT_TRUE(FileExists(r.FileName)) << r.FileName;
    }
  }
  const std::vector<TFolderRecord> general = TFolderIndex(b, TMailFolder::mfSent).ReadAll();
  ASSERT_EQ(general.size(), 1u);
  EXPECT_EQ(general.front().FileName, b + "Sent/General.rtf");

  SetTreeWritable(a, true);
  EXPECT_EQ(Snapshot(a), before);
}

// Indexes written before paths were relative hold full paths, which are read as they stand.
TEST(MovedDataFolder, FullPathsOfOlderIndexesStillRead) {
  TempDir dir;
  WriteAll(dir.File("Inbox.dat"), "\r\n[u1]\r\nFileName=/elsewhere/Inbox/u1.txt\r\n\r\n[u2]\r\nFileName=C:\\Brevant\\Inbox\\u2.txt\r\n"
                                  "\r\n[u3]\r\nFileName=Inbox/u3.txt\r\n");
  const TFolderIndex index(dir.Path(), TMailFolder::mfInbox);
  EXPECT_EQ(index.Read("u1").FileName, "/elsewhere/Inbox/u1.txt");
  EXPECT_EQ(index.Read("u2").FileName, "C:\\Brevant\\Inbox\\u2.txt");
  EXPECT_EQ(index.Read("u3").FileName, dir.Path() + "Inbox/u3.txt");
  EXPECT_EQ(index.Read("none").FileName, "");
  EXPECT_THROW(TFolderIndex("", TMailFolder::mfInbox), std::runtime_error);
}

}  // namespace
