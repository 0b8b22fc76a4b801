#include <gtest/gtest.h>

#include <vector>

#include "compose/TextSearch.h"

namespace {
// Records what the user would have been told and answers confirmations from a script.
struct TScriptedUser {
  std::vector<std::string> told;
  std::vector<std::string> asked;
  std::vector<TConfirmAnswer> answers;
  TSearchPrompts Prompts() {
    TSearchPrompts p;
    p.Inform = [this](const std::string &t) { told.push_back(t); };
    p.Confirm = [this](const std::string &q) {
      asked.push_back(q);
      const TConfirmAnswer a = answers.empty() ? TConfirmAnswer::caYes : answers.front();
      if (!answers.empty()) answers.erase(answers.begin());
      return a;
    };
    return p;
  }
};
}  // namespace

TEST(TextSearch, CaseAndWholeWordRules) {
  const std::string text = "Cat scatter CAT cat_x \xC9t\xE9 \xE9t\xE9";
  EXPECT_EQ(SearchText(text, 0, "cat", true, false), 5u);   // inside "scatter"
  EXPECT_EQ(SearchText(text, 0, "cat", false, false), 0u);
  EXPECT_EQ(SearchText(text, 1, "cat", false, true), 12u);  // "scatter" and "cat_x" are not whole words
  EXPECT_EQ(SearchText(text, 13, "cat", false, true), std::string::npos);
  // Accented capitals fold to their small letters.
  EXPECT_EQ(SearchText(text, 0, "\xE9t\xE9", false, false), 22u);
  EXPECT_EQ(SearchText(text, 0, "\xE9t\xE9", true, false), 26u);
  EXPECT_EQ(SearchText(text, 0, "", false, false), std::string::npos);
  EXPECT_EQ(SearchText("ab", 2, "b", true, false), std::string::npos);
}

TEST(TextSearch, FindNextSkipsTheCurrentSelectionAndReportsMisses) {
  TScriptedUser user;
  TStringSearchTarget t("one two one two one");
  ASSERT_TRUE(FindNext(t, "one", true, false, true, user.Prompts()));
  EXPECT_EQ(t.SelStart(), 0u);
  EXPECT_EQ(t.SelLength(), 3u);
  ASSERT_TRUE(FindNext(t, "one", true, false, true, user.Prompts()));
  EXPECT_EQ(t.SelStart(), 8u);
  // A selection that is no match still moves the search on by the search text's length.
  t.SetSelection(4, 1);  // "t" of the first "two"; next search starts at 7
  ASSERT_TRUE(FindNext(t, "two", true, false, true, user.Prompts()));
  EXPECT_EQ(t.SelStart(), 12u);
  ASSERT_TRUE(FindNext(t, "one", true, false, true, user.Prompts()));
  EXPECT_EQ(t.SelStart(), 16u);
  EXPECT_FALSE(FindNext(t, "one", true, false, true, user.Prompts()));
  EXPECT_EQ(t.SelStart(), 16u);  // a miss leaves the selection
  EXPECT_EQ(t.SelLength(), 3u);
  EXPECT_EQ(user.told, std::vector<std::string>{"one not found."});
  // Silent misses and empty search texts say nothing.
  EXPECT_FALSE(FindNext(t, "zzz", true, false, false, user.Prompts()));
  EXPECT_FALSE(FindNext(t, "", true, false, true, user.Prompts()));
  EXPECT_EQ(user.told.size(), 1u);
}

TEST(TextSearch, ReplaceSelectionAsksWhenToldAndIgnoresAnEmptySelection) {
  TScriptedUser user;
  TStringSearchTarget t("abc abc");
  EXPECT_EQ(ReplaceSelection(t, "abc", "X", false, user.Prompts()), TReplaceResult::rrNothing);
  t.SetSelection(4, 3);
  user.answers = {TConfirmAnswer::caNo};
  EXPECT_EQ(ReplaceSelection(t, "abc", "X", true, user.Prompts()), TReplaceResult::rrDeclined);
  EXPECT_EQ(t.Text(), "abc abc");
  EXPECT_EQ(user.asked, std::vector<std::string>{"Replace this occurance of 'abc'?"});
  EXPECT_EQ(ReplaceSelection(t, "abc", "X", true, user.Prompts()), TReplaceResult::rrReplaced);
  EXPECT_EQ(t.Text(), "abc X");
  EXPECT_EQ(t.SelStart(), 5u);
  EXPECT_EQ(t.SelLength(), 0u);
}

TEST(TextSearch, ReplaceAllTerminatesCountsAndStartsAtTheCaret) {
  {
    TScriptedUser user;
    TStringSearchTarget t("a banana");
    EXPECT_EQ(ReplaceAll(t, "a", "aa", true, false, false, true, user.Prompts()), 4);
    EXPECT_EQ(t.Text(), "aa baanaanaa");
    // The final failed search speaks first, then the count.
    EXPECT_EQ(user.told, (std::vector<std::string>{"a not found.", "4 instances of 'a' were replaced with 'aa'."}));
  }
  {
    TStringSearchTarget t("x a a | a a");
    t.SetSelection(6, 0);  // only what follows the caret is touched
    EXPECT_EQ(ReplaceAll(t, "a", "b", true, false, false, false), 2);
    EXPECT_EQ(t.Text(), "x a a | b b");
  }
  {
    // Declined matches are counted; the text stays as it was.
    TScriptedUser user;
    user.answers = {TConfirmAnswer::caNo, TConfirmAnswer::caNo, TConfirmAnswer::caNo};
    TStringSearchTarget t("aaa");
    EXPECT_EQ(ReplaceAll(t, "a", "b", true, false, true, true, user.Prompts()), 3);
    EXPECT_EQ(t.Text(), "aaa");
    EXPECT_EQ(user.asked.size(), 3u);
    EXPECT_EQ(user.told.back(), "3 instances of 'a' were replaced with 'b'.");
  }
  {
    // Yes, No, then Cancel ends the run at the third match.
    TScriptedUser user;
    user.answers = {TConfirmAnswer::caYes, TConfirmAnswer::caNo, TConfirmAnswer::caCancel};
    TStringSearchTarget t("a a a a");
    EXPECT_EQ(ReplaceAll(t, "A", "b", false, false, true, false, user.Prompts()), 3);
    EXPECT_EQ(t.Text(), "b a a a");
  }
  {
    TStringSearchTarget t("abc");
    EXPECT_EQ(ReplaceAll(t, "", "x", true, false, false, false), 0);
    EXPECT_EQ(t.Text(), "abc");
  }
}
