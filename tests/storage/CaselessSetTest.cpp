#include "storage/CaselessSet.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

std::vector<size_t> Numbers(const TCaselessSet &set, std::string_view text) {
  std::vector<size_t> numbers;
  set.ForEachNumber(text, [&](size_t n) { numbers.push_back(n); });
  std::sort(numbers.begin(), numbers.end());
  return numbers;
}

// Members are found in any ASCII case, across the table's growth, with every number a text
// was added under; other bytes are compared as they are.
TEST(CaselessSet, FindsMembersWithoutCase) {
  TCaselessSet set;
  EXPECT_FALSE(set.Contains("x"));
  for (size_t i = 0; i < 5000; ++i) set.Insert("Member" + std::to_string(i) + "@Example.COM", i);
  set.Insert("member7@example.com", 9999);
  set.Insert("", 42);
  set.Insert("Caf\xC9", 43);
  EXPECT_EQ(set.Size(), 5003u);
  EXPECT_EQ(Numbers(set, "MEMBER7@EXAMPLE.COM"), (std::vector<size_t>{7, 9999}));
  for (size_t i = 0; i < 5000; i += 499) EXPECT_TRUE(set.Contains("member" + std::to_string(i) + "@example.com")) << i;
  EXPECT_FALSE(set.Contains("member5000@example.com"));
  EXPECT_FALSE(set.Contains("member7@example.co"));   // a prefix is not the text
  EXPECT_FALSE(set.Contains("member7@example.com "));
  EXPECT_EQ(Numbers(set, ""), std::vector<size_t>{42});
  EXPECT_TRUE(set.Contains("CAF\xC9"));
  EXPECT_FALSE(set.Contains("caf\xE9"));  // only ASCII letters fold
}

}  // namespace
