#include <gtest/gtest.h>

#include <set>

#include "compose/FieldCodes.h"

TEST(FieldCodes, ReplacementListFollowsTheTableWithEveryValue) {
  TRecipientFields r{"Ann", "1 Road", "Town", "555", "c1", "c2", "c3", "ann@x.org", "line1\r\nline2"};
  TListFields l{"News", "to@l", "from@l", "reply@l", "list\r\nnotes", "add@l", "ADD", "rem@l", "REMOVE"};
  TPersonalFields p{"Bob", "PA1", "PA2", "P1", "P2", "bob@x", "rep@x", "Org", "Dr", "http://w", "http://p",
                    "n1\r\nn2"};
  // Every code of the table with its own value, in the table's order.
  EXPECT_EQ(BuildReplacementList(r, l, p),
            (std::vector<std::string>{
                "%Name%=Ann", "%Address 1%=1 Road", "%Address 2%=Town", "%Phone%=555", "%Custom 1%=c1",
                "%Custom 2%=c2", "%Custom 3%=c3", "%E-mail%=ann@x.org", "%Comments%=line1\r\nline2",
                "%List Name%=News", "%To Address%=to@l", "%From Address%=from@l", "%Reply Address%=reply@l",
                "%List Comments%=list\r\nnotes", "%Add: To Field%=add@l", "%Add: To Subject%=ADD",
                "%Remove: To Field%=rem@l", "%Remove: To Subject%=REMOVE", "%PI Name%=Bob", "%PI Address 1%=PA1",
                "%PI Address 2%=PA2", "%PI Phone%=P1", "%PI Phone 2%=P2", "%PI E-mail%=bob@x",
                "%PI Reply E-mail%=rep@x", "%PI Organization%=Org", "%PI Title%=Dr", "%PI WWW URL%=http://w",
                "%PI Photo URL%=http://p", "%PI Notes%=n1\r\nn2"}));
  std::string code, value;
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
