#include "lists/AddressRecord.h"
#include "storage/IniFiles32.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace {

TEST(AddressRecord, KeysAndDisplayEntries) {
  EXPECT_EQ(AddressKey("  ann@example.com"), "<ann@example.com>");
  EXPECT_EQ(AddressKey(""), "<>");
  EXPECT_EQ(DisplayEntry("Ann Lee", "<a@x>"), "Ann Lee <a@x>");
  EXPECT_EQ(DisplayEntry("", "<a@x>"), "<a@x>");
  EXPECT_EQ(EntryKey("Ann <Lee> <a@x>"), "<Lee> <a@x>");
  EXPECT_EQ(EntryShowKey("Ann <Lee> <a@x>"), "<Lee>");
  EXPECT_EQ(EntryKey("plain"), "plain");
}

TEST(AddressRecord, LoadTouchesHeadersAndNamesOnly) {
  TempDir dir;
  WriteAll(dir.File("Addresses.ini"),
           "\r\n[<B>]\r\nEmail=B\r\n\r\n[<A>]\r\nEmail=A\r\nName=Ann\r\n[<c@x>]\rPhone=1\nName=Carl\n"
           " Name=ignored\r\nname=ignored\r\n[<d@x>]\r\nName=\r\n");
  std::vector<std::string> inFileOrder;
  EXPECT_EQ(LoadAddresses(dir.Path(), [&](std::string &&e) { inFileOrder.push_back(e); }), 4u);
  EXPECT_EQ(inFileOrder, (std::vector<std::string>{"<B>", "Ann <A>", "Carl <c@x>", "<d@x>"}));
  // Sorted without regard to case, as the address list shows them.
  EXPECT_EQ(LoadAddressEntries(dir.Path()), (std::vector<std::string>{"<B>", "<d@x>", "Ann <A>", "Carl <c@x>"}));
  EXPECT_TRUE(LoadAddressEntries(dir.File("missing/")).empty());
}

TEST(AddressRecord, WriteReadAndCaseInsensitiveKeys) {
  TempDir dir;
  TAddressRecord r{"Ann Lee", "1 Main St", "Springfield", "Ann@Example.com", "555", "c1", "", "c3",
                   "line one\r\nline two"};
  WriteAddress(dir.Path(), AddressKey(r.Email), r);
  EXPECT_EQ(ReadAll(dir.File("Addresses.ini")),
            "\r\n[<Ann@Example.com>]\r\nName=Ann Lee\r\nAddress 1=1 Main St\r\nAddress 2=Springfield\r\n"
            "Email=Ann@Example.com\r\nPhone=555\r\nCustom 1=c1\r\nCustom 3=c3\r\nComments=line one:|:line two\r\n");
  // Written again in another letter case it stays one record: the legacy import test checks that.
  EXPECT_EQ(ShowAddress(dir.Path(), "Ann Lee <ann@example.COM>"), r);
}

TEST(AddressRecord, EmailChangeMovesRecordAndMultiDelete) {
  TempDir dir;
  for (const char *email : {"a@x", "b@x", "c@x", "d@x"}) {
    TAddressRecord r;
    r.Email = email;
    r.Name = std::string("N") + email[0];
    WriteAddress(dir.Path(), AddressKey(email), r);
  }
  // Changing the address: the old section goes, the new one comes at the end.
  TAddressRecord b = ShowAddress(dir.Path(), "Nb <b@x>");
  DeleteAddresses(dir.Path(), {"Nb <b@x>"});
  b.Email = "bee@x";
  WriteAddress(dir.Path(), AddressKey(b.Email), b);
  std::vector<std::string> inFileOrder;
  LoadAddresses(dir.Path(), [&](std::string &&e) { inFileOrder.push_back(e); });
  EXPECT_EQ(inFileOrder, (std::vector<std::string>{"Na <a@x>", "Nc <c@x>", "Nd <d@x>", "Nb <bee@x>"}));
  // Several at once, one save; keys are found in any case.
  DeleteAddresses(dir.Path(), {"Na <A@X>", "Nd <d@x>", "<missing@x>"});
  EXPECT_EQ(LoadAddressEntries(dir.Path()), (std::vector<std::string>{"Nb <bee@x>", "Nc <c@x>"}));
  EXPECT_EQ(ShowAddress(dir.Path(), "<c@x>").Name, "Nc");
  DeleteAddresses(dir.Path(), {"Nb <bee@x>", "Nc <c@x>"});
  EXPECT_TRUE(LoadAddressEntries(dir.Path()).empty());
}

}  // namespace
