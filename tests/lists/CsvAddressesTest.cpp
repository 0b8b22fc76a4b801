#include "lists/AddressRecord.h"
#include "lists/CsvAddresses.h"
#include "storage/FileErrors.h"
#include "support/TempDir.h"
#include "support/Thrown.h"

#include <gtest/gtest.h>

namespace {
std::vector<std::vector<std::string>> Records(const std::string &text) {
  std::vector<std::vector<std::string>> records;
  std::vector<std::string> fields;
  size_t pos = 0;
  while (NextCsvRecord(text, pos, fields)) records.push_back(fields);
  return records;
}

TEST(CsvAddresses, ReadsRecordsAsTheRfcWritesThem) {
  using R = std::vector<std::vector<std::string>>;
  EXPECT_EQ(Records("a,b\r\nc,d\r\n"), (R{{"a", "b"}, {"c", "d"}}));
  EXPECT_EQ(Records("a,b\nc,d"), (R{{"a", "b"}, {"c", "d"}}));
  EXPECT_EQ(Records("a\rb\r"), (R{{"a"}, {"b"}}));
  EXPECT_EQ(Records("\"x, y\",\"say \"\"hi\"\"\"\r\n"), (R{{"x, y", "say \"hi\""}}));
  EXPECT_EQ(Records("\"two\r\nlines\",z\r\n"), (R{{"two\r\nlines", "z"}}));
  EXPECT_EQ(Records(",,\r\n"), (R{{"", "", ""}}));
  EXPECT_EQ(Records("\"open quote never closed,a"), (R{{"open quote never closed,a"}}));
  EXPECT_EQ(Records(""), R{});
}

TEST(CsvAddresses, WritesWhatItReadsBack) {
  const std::vector<std::string> fields{"plain", "with, comma", "with \"quote\"", "two\r\nlines", ""};
  const std::string line = CsvRecordLine(fields);
  EXPECT_EQ(line, "plain,\"with, comma\",\"with \"\"quote\"\"\",\"two\r\nlines\",\r\n");
  EXPECT_EQ(Records(line), (std::vector<std::vector<std::string>>{fields}));
}

TEST(CsvAddresses, TellsUtf8FromWindows1252) {
  EXPECT_EQ(CsvTextToAnsi("Ren\xC3\xA9"), "Ren\xE9");            // UTF-8
  EXPECT_EQ(CsvTextToAnsi("Ren\xE9"), "Ren\xE9");                // Windows-1252 already
  EXPECT_EQ(CsvTextToAnsi("\xEF\xBB\xBFplain"), "plain");          // a byte order mark goes
  EXPECT_EQ(CsvTextToAnsi("\xE2\x82\xAC 5"), "\x80 5");            // the euro sign
  EXPECT_EQ(CsvTextToAnsi("caf\xE9 \xC3\xA9"), "caf\xE9 \xC3\xA9"); // invalid UTF-8: taken as it is
}

TEST(CsvAddresses, ImportCountsNewUpdatedInvalidAndDuplicate) {
  TempDir list;
  WriteAddress(list.Path(), "<old@example.org>", {"Old Name", "", "", "old@example.org", "555", "", "", "", ""});
  WriteAll(list.File("in.csv"),
           "Name,E-mail,Custom2,Comments,Unknown\r\n"
           "Ann,ann@example.org,blue,\"line one\nline two\",x\r\n"
           "Bob,not an address,,,\r\n"
           ",,,,\r\n"
           "\r\n"
           "Ann Again,ANN@example.org,,,\r\n"
           "New Old,old@example.org,green,,\r\n"
           "Eve, eve@example.org ,,,\r\n"
           "Bad,@example.org,,,\r\n");
  const TCsvImportSummary s = ImportCsvAddresses(list.File("in.csv"), list.Path());
  EXPECT_EQ(s.Imported, 2u);
  EXPECT_EQ(s.Updated, 1u);
  EXPECT_EQ(s.Invalid, 3u);
  EXPECT_EQ(s.Duplicate, 1u);

  const TAddressRecord ann = ShowAddress(list.Path(), "<ann@example.org>");
  EXPECT_EQ(ann.Name, "Ann");
  EXPECT_EQ(ann.Custom2, "blue");
  EXPECT_EQ(ann.Comments, "line one\r\nline two");
  // An update takes the non-empty cells and keeps the rest.
  const TAddressRecord old = ShowAddress(list.Path(), "<old@example.org>");
  EXPECT_EQ(old.Name, "New Old");
  EXPECT_EQ(old.Custom2, "green");
  EXPECT_EQ(old.Phone, "555");
  EXPECT_EQ(ShowAddress(list.Path(), "<eve@example.org>").Email, "eve@example.org");
  EXPECT_EQ(LoadAddressEntries(list.Path()).size(), 3u);
}

TEST(CsvAddresses, ExportThenImportGivesTheSameBook) {
  TempDir from, to;
  const TAddressRecord ann{"Ann, the \"first\"", "1 Road", "Town", "ann@example.org", "555", "a", "b", "c",
                           "two\r\nlines"};
  const TAddressRecord renee{"Ren\xE9\x80", "", "", "renee@example.org", "", "", "", "", ""};
  WriteAddress(from.Path(), AddressKey(ann.Email), ann);
  WriteAddress(from.Path(), AddressKey(renee.Email), renee);
  EXPECT_EQ(ExportCsvAddresses(from.File("out.csv"), from.Path()), 2u);
  const std::string csv = ReadAll(from.File("out.csv"));
  EXPECT_EQ(csv.substr(0, csv.find("\r\n")), "Email,Name,Address1,Address2,Phone,Custom1,Custom2,Custom3,Comments");
  EXPECT_NE(csv.find("Ren\xC3\xA9\xE2\x82\xAC"), std::string::npos);  // written as UTF-8

  const TCsvImportSummary s = ImportCsvAddresses(from.File("out.csv"), to.Path());
  EXPECT_EQ(s.Imported, 2u);
  EXPECT_EQ(ShowAddress(to.Path(), "<ann@example.org>"), ann);
  EXPECT_EQ(ShowAddress(to.Path(), "<renee@example.org>"), renee);
}

TEST(CsvAddresses, FileErrorsNameTheFile) {
  TempDir list;
  EXPECT_THROW(ImportCsvAddresses(list.File("missing.csv"), list.Path()), EFOpenError);
  WriteAll(list.File("noemail.csv"), "Name,Phone\r\nAnn,5\r\n");
  const std::string error =
      ThrownText<std::runtime_error>([&] { ImportCsvAddresses(list.File("noemail.csv"), list.Path()); });
  EXPECT_NE(error.find("noemail.csv"), std::string::npos) << error;
  EXPECT_NE(error.find("Email"), std::string::npos) << error;
}
}  // namespace
