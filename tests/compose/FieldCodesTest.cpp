#include <gtest/gtest.h>

#include <set>

#include "compose/FieldCodes.h"

TEST(FieldCodes, ReplacementListFollowsTheTableWithEveryValue) {
  TRecipientFields r{"Ann", "1 Road", "Town", "555", "c1", "c2", "c3", "ann@x.org", "line1\r\nline2"};
  TListFields l{"News", "to@l", "from@l", "reply@l", "list\r\nnotes", "add@l", "ADD", "rem@l", "REMOVE"};
  TPersonalFields p{"Bob", "PA1", "PA2", "P1", "P2", "bob@x", "rep@x", "Org", "Dr", "http://w", "http://p",
                    "n1\r\nn2"};
  const auto lines = BuildReplacementList(r, l, p);
  ASSERT_EQ(lines.size(), 30u);
  EXPECT_EQ(lines[0], "%Name%=Ann");
  EXPECT_EQ(lines[7], "%E-mail%=ann@x.org");
  EXPECT_EQ(lines[8], "%Comments%=line1\r\nline2");
  EXPECT_EQ(lines[9], "%List Name%=News");
  EXPECT_EQ(lines[13], "%List Comments%=list\r\nnotes");
  EXPECT_EQ(lines[14], "%Add: To Field%=add@l");
  EXPECT_EQ(lines[17], "%Remove: To Subject%=REMOVE");
  EXPECT_EQ(lines[18], "%PI Name%=Bob");
  EXPECT_EQ(lines[21], "%PI Phone%=P1");
  EXPECT_EQ(lines[28], "%PI Photo URL%=http://p");
  EXPECT_EQ(lines[29], "%PI Notes%=n1\r\nn2");
  // Every line is its table code and value, split at the first "=".
  std::string code, value;
  for (size_t i = 0; i < lines.size(); ++i) {
    SplitReplacement(lines[i], code, value);
    EXPECT_EQ(code, FieldCodeText(FieldCodes()[i].Name));
  }
  SplitReplacement("%Name%=a=b", code, value);
  EXPECT_EQ(code, "%Name%");
  EXPECT_EQ(value, "a=b");
}

TEST(FieldCodes, MenusOfferEachCodeOnce) {
  std::multiset<std::string> offered;
  for (auto g : {TFieldGroup::fgAddress, TFieldGroup::fgList, TFieldGroup::fgListMaintenance,
                 TFieldGroup::fgPersonal})
    for (const auto &n : FieldCodeMenuNames(g)) offered.insert(n);
  std::multiset<std::string> all;
  for (const auto &c : FieldCodes()) all.insert(c.Name);
  EXPECT_EQ(offered, all);
  const auto address = FieldCodeMenuNames(TFieldGroup::fgAddress);
  EXPECT_EQ(address[4], "E-mail");
  EXPECT_EQ(FieldCodeMenuNames(TFieldGroup::fgListMaintenance),
            (std::vector<std::string>{"Add: To Field", "Add: To Subject", "Remove: To Field", "Remove: To Subject"}));
}
