#include "lists/AddressRecord.h"
#include "lists/ListFolder.h"
#include "lists/ListRecord.h"
#include "storage/IniFiles32.h"
#include "storage/TextFile.h"
#include "support/TempDir.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

// Which folder a stored "Path" gives; "" means none: the list shows that its folder was not
// found, and nothing is read or written for it.
TEST(ListFolder, StoredPathsResolveOnlyToExistingListFolders) {
  TempDir data, outside;
  ASSERT_TRUE(ForceDirectories(data.File("Weekly")));
  WriteAll(data.File("afile"), "x");
  const std::string d = data.Path();
  const std::string o = outside.Path();
  const struct {
    std::string stored, folder;
  } rows[] = {
      {"", d},                                        // the pseudo-list's default
      {"Weekly/", d + "Weekly/"},                     // relative, as this program stores it
      {"Weekly", d + "Weekly/"},                      // the separator is always added
      {d + "Weekly", d + "Weekly/"},                  // absolute, as older files hold it
      {d + "Weekly/", d + "Weekly/"},
      {o, o},                                         // an existing folder elsewhere
      {"C:\\Program Files\\Brevant\\Weekly\\", d + "Weekly/"},  // the older program's form
      {"C:\\Program Files\\Brevant\\Monthly\\", ""},  // ... whose folder is not here
      {"\\\\server\\share\\Weekly", d + "Weekly/"},
      {"C:\\", ""},
      {"../../etc", ""},                              // never above the data directory
      {"Weekly/../../", ""},
      {"/", ""},
      {"afile", ""},                                  // a file is no folder
      {d + "afile", ""},
      {"Missing/", ""},
      {o + "missing/", ""},
  };
  for (const auto &row : rows) EXPECT_EQ(ResolveListFolder(d, row.stored), row.folder) << row.stored;
  EXPECT_EQ(StoreListFolder(d, d + "Weekly/"), "Weekly/");
  EXPECT_EQ(StoreListFolder(d, d), "");
  EXPECT_EQ(StoreListFolder(d, o), o);
}

// A list whose folder is missing keeps its stored value through a save of its settings, and
// nothing of its address book is read or written anywhere.
TEST(ListFolder, AListWithoutItsFolderReadsAndWritesNothing) {
  TempDir data;
  const std::string d = data.Path();
  const std::string hostile[] = {"../../etc", "/", "C:\\Program Files\\Brevant\\Weekly\\", std::string(1 << 20, 'p')};
  for (const std::string &stored : hostile) {
    WriteAll(d + "Lists.ini", "\r\n[Weekly]\r\nPath=" + stored + "\r\nTo Address=list@x\r\n");
    TListRecord r = LoadListRecord(d, "Weekly");
    EXPECT_EQ(r.Path, "");
    EXPECT_EQ(r.MissingPath, stored);
    EXPECT_EQ(r.ToAddress, "list@x");
    r.FromAddress = "me@x";
    WriteListRecord(d, "Weekly", r, true, "Weekly");
    const TListRecord again = LoadListRecord(d, "Weekly");
    EXPECT_EQ(again.MissingPath, stored);
    EXPECT_EQ(again.FromAddress, "me@x");
    EXPECT_THROW(LoadAddressEntries(r.Path), EListFolderNotFound);
    EXPECT_THROW(WriteAddress(r.Path, "<a@x>", TAddressRecord{}), EListFolderNotFound);
    EXPECT_THROW(DeleteAddresses(r.Path, {"<a@x>"}), EListFolderNotFound);
    EXPECT_EQ(QDir(QString::fromStdString(d)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{"Lists.ini"});
    EXPECT_FALSE(FileExists("Addresses.ini"));
    // A huge value is shown elided: a message box lays out the whole text.
    EXPECT_LT(ListFolderNotFoundText(stored).size(), 240u);
    EXPECT_EQ(ListFolderNotFoundText(stored).rfind("List folder not found: ", 0), 0u);
  }
}

// A header of megabytes is no list to show, and it survives the saves of the real lists.
TEST(ListFolder, HugeSectionNamesAreNotListsButStayInTheFile) {
  TempDir data;
  const std::string huge(10 << 20, 'S');
  WriteAll(data.File("Lists.ini"), "\r\n[" + huge + "]\r\nPath=x\r\n\r\n[Weekly]\r\n");
  EXPECT_EQ(LoadMailLists(data.Path()), std::vector<std::string>{"Weekly"});
  WriteListRecord(data.Path(), "Weekly", LoadListRecord(data.Path(), "Weekly"), true, "Weekly");
  const TIniFile32 ini(data.File("Lists.ini"));
  EXPECT_EQ(ini.ReadString(huge, "Path", ""), "x");
  EXPECT_EQ(LoadMailLists(data.Path()).size(), 1u);
}

}  // namespace
