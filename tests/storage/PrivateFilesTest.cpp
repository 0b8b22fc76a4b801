#include "storage/FileErrors.h"
#include "storage/IniFiles32.h"
#include "storage/PrivateFiles.h"
#include "storage/Strings.h"
#include "storage/TextFile.h"
#include "support/TempDir.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <algorithm>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

namespace {

mode_t ModeOf(const std::string &path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

struct TPrivateFolderScope {
  explicit TPrivateFolderScope(bool on) { SetPrivateDataFolder(on); }
  ~TPrivateFolderScope() { SetPrivateDataFolder(false); }
};

// New personal files and folders are their owner's alone in the default data place, and
// follow the umask in a portable one; passwords are private everywhere; an existing file
// keeps the mode its owner gave it.
TEST(PrivateFiles, ModesOfNewFilesAndFolders) {
  const mode_t mask = ::umask(022);
  struct TRow {
    const char *file;
    bool privateFolder;
    mode_t expected;
  } rows[] = {
      {"Addresses.ini", true, 0600},     {"Addresses.ini", false, 0644},       {"Lists.ini", false, 0600},
      {"Pop Servers.ini", false, 0600},  {"Inbox/123.txt", true, 0600},        {"Inbox.dat", true, 0600},
      {"Maintenance Log.txt", true, 0600}, {"MailLog.txt", true, 0600},        {"Colors.dat", true, 0644},
      {"Brevant 20.ini", true, 0644},    {"notes.bvd", true, 0644},
  };
  for (const TRow &row : rows) {
    TempDir dir;
    TPrivateFolderScope scope(row.privateFolder);
    ASSERT_TRUE(ForceDirectories(dir.File("Inbox")));
    WriteFileAtomic(dir.File(row.file), "x\r\n");
    EXPECT_EQ(ModeOf(dir.File(row.file)), row.expected) << row.file << " private " << row.privateFolder;
  }
  {
    TempDir dir;
    TPrivateFolderScope scope(true);
    ASSERT_TRUE(ForceDirectories(dir.File("Weekly/Inbox")));
    EXPECT_EQ(ModeOf(dir.File("Weekly")), 0700u);
    EXPECT_EQ(ModeOf(dir.File("Weekly/Inbox")), 0700u);
    AppendToFile(dir.File("Failed.txt"), "a\r\n");
    EXPECT_EQ(ModeOf(dir.File("Failed.txt")), 0600u);
    // The owner's own choice stands.
    WriteAll(dir.File("Addresses.ini"), "");
    ::chmod(dir.File("Addresses.ini").c_str(), 0640);
    WriteFileAtomic(dir.File("Addresses.ini"), "[<a@x>]\r\n");
    EXPECT_EQ(ModeOf(dir.File("Addresses.ini")), 0640u);
  }
  {
    TempDir dir;
    TPrivateFolderScope scope(false);
    ASSERT_TRUE(ForceDirectories(dir.File("Weekly")));
    EXPECT_EQ(ModeOf(dir.File("Weekly")), 0755u);
  }
  ::umask(mask);
}

TEST(PrivateFiles, WorkFilesArePrivateWhateverTheyWereBefore) {
  TempDir dir;
  WriteAll(dir.File("temp.dat"), "old recipient data that is longer");
  ::chmod(dir.File("temp.dat").c_str(), 0644);
  WritePrivateFile(dir.File("temp.dat"), "new");
  EXPECT_EQ(ModeOf(dir.File("temp.dat")), 0600u);
  EXPECT_EQ(ReadAll(dir.File("temp.dat")), "new");
  EXPECT_THROW(WritePrivateFile(dir.File("no/such/folder/temp.dat"), "x"), std::exception);
}

void Age(const std::string &path, int seconds) {
  const auto when = static_cast<time_t>(QDateTime::currentSecsSinceEpoch() - seconds);
  const utimbuf times{when, when};
  ::utime(path.c_str(), &times);
}

// Start-up upkeep: password files lose their group and world bits; a crashed save's
// leftover copy of one of our files goes once it is an hour old, and nothing else goes.
TEST(PrivateFiles, TidyFolderProtectsPasswordsAndRemovesStaleCopies) {
  TempDir dir;
  for (const char *name : {"Lists.ini", "Pop Servers.ini", "Smtp Servers.ini", "Addresses.ini"}) {
    WriteAll(dir.File(name), "[A]\r\nk=v\r\n");
    ::chmod(dir.File(name).c_str(), 0644);
  }
  const struct {
    const char *name;
    int age;
    bool goes;
  } files[] = {
      {"Addresses.ini.a1B2c3", 7200, true},   // a crashed save, two hours old
      {"Lists.ini.Zz9yX8", 3700, true},
      {"Addresses.ini.q7W8e9", 600, false},   // perhaps another instance saving right now
      {"notes.txt.a1B2c3", 7200, false},      // not one of our files
      {"Addresses.ini.bak", 7200, false},     // not a save's suffix
      {"Addresses.ini.a1-2c3", 7200, false},
  };
  for (const auto &f : files) {
    WriteAll(dir.File(f.name), "copy");
    Age(dir.File(f.name), f.age);
  }
  EXPECT_EQ(TidyFolder(dir.Path()), 2);
  for (const auto &f : files) EXPECT_EQ(QFileInfo::exists(QString::fromStdString(dir.File(f.name))), !f.goes) << f.name;
  for (const char *name : {"Lists.ini", "Pop Servers.ini", "Smtp Servers.ini"}) EXPECT_EQ(ModeOf(dir.File(name)), 0600u) << name;
  EXPECT_EQ(ModeOf(dir.File("Addresses.ini")), 0644u);
}

// A save killed in the middle leaves a temporary copy that only its owner can read.
TEST(PrivateFiles, CopyLeftByAKilledSaveIsPrivate) {
  TempDir dir;
  const mode_t mask = ::umask(022);
  WriteAll(dir.File("Addresses.ini"), "");
  ::chmod(dir.File("Addresses.ini").c_str(), 0644);
  const pid_t child = ::fork();
  if (child == 0) {
    // The file size limit kills the writer half-way (SIGXFSZ).
    const rlimit small{4096, 4096};
    ::setrlimit(RLIMIT_FSIZE, &small);
    std::signal(SIGXFSZ, SIG_DFL);
    try {
      WriteFileAtomic(dir.File("Addresses.ini"), std::string(1 << 16, 'x'));
    } catch (...) {
    }
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFSIGNALED(status));
  const QStringList left = QDir(QString::fromStdString(dir.Path())).entryList({"Addresses.ini.*"}, QDir::Files);
  ASSERT_EQ(left.size(), 1);
  EXPECT_EQ(ModeOf(dir.File(left.front().toStdString())), 0600u);
  EXPECT_EQ(ModeOf(dir.File("Addresses.ini")), 0644u);
  ::umask(mask);
}

// A NUL byte no longer ends a file of records: it reads as a blank, every later line is
// kept through the next save, and the file is reported once.
TEST(DamagedFiles, NulBytesReadAsBlanksAndLoseNothing) {
  using namespace std::string_literals;
  std::vector<std::string> reported;
  SetDamagedFileHandler([&](const std::string &path) { reported.push_back(path); });
  const std::string places[] = {
      "Comments=pasted\0text"s,  // inside a value
      "Com\0ments=x"s,           // inside a key
      "\0"s,                     // a line of its own
      "Name=\0\0\0"s,            // several in a row
  };
  int n = 0;
  for (const std::string &damaged : places) {
    TempDir dir;
    const std::string path = dir.File("Lists.ini" + std::to_string(n++));
    std::string text;
    for (int i = 0; i < 12; ++i) {
      text += "[L" + std::to_string(i) + "]\r\nPath=p" + std::to_string(i) + "\r\n";
      if (i == 4) text += damaged + "\r\n";
    }
    text += "\0"s;  // and one at the very end
    WriteAll(path, text);
    TIniFile32 ini(path);
    std::vector<std::string> sections;
    ini.ReadSections(&sections);
    EXPECT_EQ(sections.size(), 12u);
    EXPECT_EQ(ini.ReadString("L11", "Path", ""), "p11");
    ini.WriteString("L0", "Path", "changed");
    TIniFile32 again(path);
    again.ReadSections(&sections);
    EXPECT_EQ(sections.size(), 12u);
    EXPECT_EQ(again.ReadString("L11", "Path", ""), "p11");
    EXPECT_EQ(ReadAll(path).find('\0'), std::string::npos);
    EXPECT_EQ(std::count(reported.begin(), reported.end(), path), 1) << path;
  }
  TempDir dir;
  WriteAll(dir.File("c.ini"), "[A]\r\nComments=pasted\0text\r\n"s);
  EXPECT_EQ(TIniFile32(dir.File("c.ini")).ReadString("A", "Comments", ""), "pasted text");
  SetDamagedFileHandler({});
  EXPECT_NE(DamagedFileText(std::string(100000, 'p')).size(), 0u);
  EXPECT_LT(DamagedFileText(std::string(100000, 'p')).size(), 300u);
}

TEST(DamagedFiles, HugeValuesAreElidedInMessages) {
  const std::string path = "/data/" + std::string(10 << 20, 'x') + "/end.ini";
  const std::string elided = ElideMiddle(path);
  EXPECT_EQ(elided.size(), 200u);
  EXPECT_TRUE(elided.starts_with("/data/xx"));
  EXPECT_TRUE(elided.ends_with("x/end.ini"));
  EXPECT_NE(elided.find("..."), std::string::npos);
  EXPECT_EQ(ElideMiddle("short"), "short");
  EXPECT_LT(std::string(EFCreateError(path).what()).size(), 260u);
}

}  // namespace
