#include "lists/ImportExport.h"
#include "storage/FileErrors.h"
#include "storage/IniFiles32.h"
#include "storage/TextFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace {

TEST(ImportExport, ExtractAddressTable) {
  const struct {
    const char *line, *address;
  } cases[] = {
      {"no address here", ""}, {"From: Ann Lee <ann@example.com>, Bob", "ann@example.com"},
      {"ann@example.com bob@example.com", "ann@example.com"},
      {"write to ann@example.com.", ""},  // ends with a dot: rejected, not trimmed
      {"@example.com", ""}, {"ann@", ""}, {".ann@example.com", ""}, {"@", ""}, {"a@b@c", "a@b"},
      {"mailto:ann@example.com", "ann@example.com"}, {"x=ann@example.com;y", "ann@example.com"},
      {"(ann@example.com)", "ann@example.com"}, {"path\\ann@example.com/z", "ann@example.com"},
      {"hi!ann@example.com!", "ann@example.com"},
      // Quotes, brackets and tabs are kept.
      {"\"ann\"@example.com", "\"ann\"@example.com"}, {"[ann@example.com]", "[ann@example.com]"},
      {"\tann@example.com\t", "\tann@example.com\t"},
  };
  for (const auto &c : cases) EXPECT_EQ(ExtractAddress(c.line), c.address) << c.line;
}

TEST(ImportExport, KnownAddressRules) {
  const std::vector<std::string> entries = {"Ann Lee <ann@example.com>", "<Bob@Example.com>", "plain@example.org",
                                            "Odd <x(y)@z>", "Two <t1@a.b> and t2@c.d", "Tab <\tq@r>"};
  const struct {
    const char *address;
    bool known;
  } cases[] = {
      // Equal without regard to case: the entry, or the address in its brackets.
      {"ANN@example.com", true}, {"bob@example.com", true}, {"PLAIN@example.org", true},
      // Contained, with regard to case (even what is no address).
      {"nn@example.com", true}, {"ann@example.co", true}, {"n@e", true}, {"t2@c.d", true}, {"t1@a.b", true},
      {"\tq@r", true}, {"y)@z", true}, {"Lee <ann", true}, {"@example.com", true},
      {"nn@EXAMPLE.com", false}, {"carl@example.com", false}, {"ann@example.comm", false},
      {"lee@example.com", false}, {"x(y)@zz", false},
  };
  std::vector<std::string_view> addresses;
  for (const auto &c : cases) {
    EXPECT_EQ(AddressKnown(entries, c.address), c.known) << c.address;
    addresses.emplace_back(c.address);
  }
  // Asked all at once, the answers are the same.
  const std::vector<bool> all = AddressesKnown(entries, addresses);
  for (size_t i = 0; i < addresses.size(); ++i) EXPECT_EQ(all[i], cases[i].known) << addresses[i];
  EXPECT_FALSE(AddressKnown({}, "a@b"));
}

TEST(ImportExport, ExtractionAddsNewAddressesOnce) {
  TempDir dir;
  TAddressRecord ann;
  ann.Name = "Ann";
  ann.Email = "ann@example.com";
  WriteAddress(dir.Path(), AddressKey(ann.Email), ann);
  WriteAll(dir.File("mail.txt"),
           "From: Carl <carl@example.com>\r\n\r\nANN@EXAMPLE.COM wrote\r\nsee nn@example.com\n"
           "carl@example.com again\rDee <dee@example.net>, x\r\nend of text. eve@example.org.\r\n");
  const std::vector<std::string> known = LoadAddressEntries(dir.Path());
  size_t lastProgress = 0;
  EXPECT_EQ(ExtractAddresses(dir.File("mail.txt"), dir.Path(), known, [&](size_t n) { lastProgress = n; }), 2u);
  EXPECT_EQ(lastProgress, 2u);
  EXPECT_EQ(LoadAddressEntries(dir.Path()),
            (std::vector<std::string>{"<carl@example.com>", "<dee@example.net>", "Ann <ann@example.com>"}));
  EXPECT_EQ(ShowAddress(dir.Path(), "<carl@example.com>").Email, "carl@example.com");
  EXPECT_THROW(ExtractAddresses(dir.File("missing/none.txt"), dir.File("x/"), known), EFOpenError);
  EXPECT_THROW(ImportLegacyList(dir.Path(), dir.File("none.bvl")), EFOpenError);
}

TEST(ImportExport, ExportWritesEntriesWithLineEnds) {
  TempDir dir;
  ExportEntries(dir.File("out.txt"), {"Ann <a@x>", "<b@x>"});
  EXPECT_EQ(ReadAll(dir.File("out.txt")), "Ann <a@x>\r\n<b@x>\r\n");
  ExportEntries(dir.File("out.txt"), {});
  EXPECT_EQ(ReadAll(dir.File("out.txt")), "");
}

// Builds records of a version 1 list file.
class LegacyFile {
public:
  LegacyFile &Settings(const std::string &name, const std::string &flags) {
    std::string rec(kLegacyRecordSize, '\xEE');  // filler that must never be read
    Put(rec, 0, name);
    Put(rec, 101, "from@example.com");
    Put(rec, 202, "to@example.com");
    Put(rec, 303, "pop.example.com");
    Put(rec, 379, "popuser");
    Put(rec, 410, "secret");
    Put(rec, 431, "smtp.example.com");
    Put(rec, 507, "C:\\header.txt");
    Put(rec, 763, "");
    Put(rec, 1019, "sig.txt");
    Put(rec, 1275, flags);
    Put(rec, 1286, "leave@example.com");
    Put(rec, 1387, "Unsubscribe");
    bytes_ += rec;
    return *this;
  }
  LegacyFile &Address(const std::string &name, const std::string &email, const std::string &phone = "") {
    std::string rec(kLegacyRecordSize, '\0');
    Put(rec, 0, name);
    Put(rec, 101, email);
    Put(rec, 303, "Springfield");
    Put(rec, 410, phone);
    Put(rec, 431, "1 Main St");
    bytes_ += rec;
    return *this;
  }
  std::string Bytes() const { return bytes_; }

private:
  static void Put(std::string &rec, size_t offset, const std::string &text) {
    rec[offset] = static_cast<char>(text.size());
    rec.replace(offset + 1, text.size(), text);
  }
  std::string bytes_;
};

TEST(ImportExport, LegacyImportWithFlagsAndAddresses) {
  TempDir dir;
  WriteAll(dir.File("old.bvl"), LegacyFile()
                                    .Settings("Garden Club", "158")
                                    .Address("Ann", "  ann@example.com", "555")
                                    .Address("Nobody", "")
                                    .Address("", "bob@example.com")
                                    .Bytes());
  std::vector<std::string> said;
  const TLegacyImport result =
      ImportLegacyList(dir.Path(), dir.File("old.bvl"), [&](const std::string &s) { said.push_back(s); });
  EXPECT_TRUE(result.Error.empty());
  EXPECT_EQ(result.Name, "Garden Club");
  EXPECT_EQ(result.Path, dir.Path() + "Garden Club/");
  EXPECT_EQ(result.Count, 3u);
  EXPECT_EQ(said.front(), "Opening list...");
  EXPECT_EQ(said.back(), "Importing 3 addresses...");

  const TListRecord list = LoadListRecord(dir.Path(), "Garden Club");
  EXPECT_EQ(list.Path, result.Path);
  EXPECT_EQ((std::vector<std::string>{list.FromAddress, list.ToAddress, list.POPServer, list.POPUserName,
                                      list.POPPassword, list.SMTPServer, list.HeaderFile, list.SigFile,
                                      list.RemoveToAddress, list.RemoveSubAddress}),
            (std::vector<std::string>{"from@example.com", "to@example.com", "pop.example.com", "popuser", "secret",
                                      "smtp.example.com", "C:\\header.txt", "sig.txt", "leave@example.com",
                                      "Unsubscribe"}));
  EXPECT_TRUE(list.IncludeHeader && list.AutoMaint && list.DeleteRead);
  EXPECT_FALSE(list.IncludeFooter || list.IncludeSig || list.RemoveTo || list.RemoveSub);
  EXPECT_EQ(list.SMTPPort, "smtp");
  // Only flags that are on are written, in the fixed order.
  const std::string lists = ReadAll(dir.File("Lists.ini"));
  EXPECT_EQ(lists.find("Include Footer"), std::string::npos);
  EXPECT_LT(lists.find("Include Header=1"), lists.find("Footer File"));
  EXPECT_LT(lists.find("Remove Sub Address"), lists.find("Auto Maint=1"));
  EXPECT_LT(lists.find("Auto Maint=1"), lists.find("Delete Read=1"));

  EXPECT_EQ(LoadAddressEntries(result.Path),
            (std::vector<std::string>{"<bob@example.com>", "Ann <ann@example.com>", "Nobody <>"}));
  const TAddressRecord ann = ShowAddress(result.Path, "<ann@example.com>");
  EXPECT_EQ(ann.Address1, "1 Main St");
  EXPECT_EQ(ann.Address2, "Springfield");
  EXPECT_EQ(ann.Phone, "555");

  // The same list again: a name and a folder of its own.
  const TLegacyImport again = ImportLegacyList(dir.Path(), dir.File("old.bvl"));
  EXPECT_EQ(again.Name, "Garden Club - 1");
  EXPECT_EQ(again.Path, dir.Path() + "Garden Club - 1/");
}

TEST(ImportExport, LegacyImportOfDamagedFiles) {
  TempDir dir;
  // Ends inside the third address record: the first two stay written.
  std::string bytes = LegacyFile().Settings("Club", "").Address("A", "a@x").Address("B", "b@x").Bytes();
  bytes += std::string(100, 'z');
  WriteAll(dir.File("cut.bvl"), bytes);
  const TLegacyImport cut = ImportLegacyList(dir.Path(), dir.File("cut.bvl"));
  EXPECT_EQ(cut.Name, "Club");
  EXPECT_EQ(cut.Count, 2u);
  EXPECT_NE(cut.Error.find("ends inside a record"), std::string::npos);
  EXPECT_EQ(LoadAddressEntries(cut.Path), (std::vector<std::string>{"A <a@x>", "B <b@x>"}));

  // Too short for the settings: nothing is created.
  WriteAll(dir.File("short.bvl"), std::string(500, '\x05'));
  const TLegacyImport tiny = ImportLegacyList(dir.Path(), dir.File("short.bvl"));
  EXPECT_TRUE(tiny.Name.empty());
  EXPECT_FALSE(tiny.Error.empty());
  EXPECT_EQ(LoadMailLists(dir.Path()), std::vector<std::string>{"Club"});

  // Length bytes larger than their fields are cut to the field; an empty name gets one.
  std::string wild(kLegacyRecordSize, '\xFF');
  wild[0] = 0;
  WriteAll(dir.File("wild.bvl"), wild);
  const TLegacyImport odd = ImportLegacyList(dir.Path(), dir.File("wild.bvl"));
  EXPECT_EQ(odd.Name, "Imported List");
  EXPECT_EQ(LoadListRecord(dir.Path(), odd.Name).FromAddress, std::string(100, '\xFF'));

  // A name with blanks at its ends is trimmed; the pseudo-list's name is not taken over.
  WriteAll(dir.File("blanks.bvl"), LegacyFile().Settings("  Chess Club ", "").Address("C", "c@x").Bytes());
  const TLegacyImport trimmed = ImportLegacyList(dir.Path(), dir.File("blanks.bvl"));
  EXPECT_EQ(trimmed.Name, "Chess Club");
  EXPECT_EQ(LoadListRecord(dir.Path(), "Chess Club").Path, trimmed.Path);
  WriteAll(dir.File("own.bvl"), LegacyFile().Settings("Brevant", "").Bytes());
  EXPECT_EQ(ImportLegacyList(dir.Path(), dir.File("own.bvl")).Name, "Brevant - 1");
}

// An address met again (in another case) updates its first section as writing the records
// key by key would; line breaks and NULs in a field cannot start lines of their own.
TEST(ImportExport, LegacyImportOfRepeatedAddressesAndControlBytes) {
  TempDir dir;
  using namespace std::string_literals;
  WriteAll(dir.File("rep.bvl"), LegacyFile()
                                    .Settings("Rep", "")
                                    .Address("Ann", "ann@x", "1")
                                    .Address("Bob", "bob@x")
                                    .Address("", "ANN@x", "2")
                                    .Address("Eve\r\n[<bob@x>]\r\nName=X\0"s, "eve@x")
                                    .Bytes());
  const TLegacyImport result = ImportLegacyList(dir.Path(), dir.File("rep.bvl"));
  EXPECT_EQ(result.Count, 4u);

  TIniFile32 expected(dir.File("expected.ini"));
  const auto put = [&](const std::string &name, const std::string &email, const std::string &phone) {
    for (const auto &[key, value] : std::vector<std::pair<std::string, std::string>>{
             {"Name", name}, {"Email", email}, {"Address 1", "1 Main St"}, {"Address 2", "Springfield"}, {"Phone", phone}})
      expected.WriteString("<" + email + ">", key, value);
  };
  put("Ann", "ann@x", "1");
  put("Bob", "bob@x", "");
  put("", "ANN@x", "2");
  put("Eve  [<bob@x>]  Name=X ", "eve@x", "");
  EXPECT_EQ(ReadAll(result.Path + "Addresses.ini"), ReadAll(dir.File("expected.ini")));
  EXPECT_EQ(LoadAddressEntries(result.Path),
            (std::vector<std::string>{"Ann <ann@x>", "Bob <bob@x>", "Eve  [<bob@x>]  Name=X  <eve@x>"}));
  EXPECT_EQ(ShowAddress(result.Path, "<ann@x>").Email, "ANN@x");
}

}  // namespace
