#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "net/MimeEncode.h"

namespace {
// The encoding as a list of tokens (a character as it is, or "=XX"), packed greedily: a line
// takes tokens while they fit in 75 characters, 76 when its last token ends the text line,
// and a full line ends with the soft break "=".
std::vector<std::string> Greedy(const std::string &line) {
  std::vector<std::string> tokens;
  for (size_t i = 0; i < line.size(); ++i) {
    const auto c = static_cast<unsigned char>(line[i]);
    const bool blank = c == ' ' || c == '\t';
    if ((c > 32 && c < 127 && c != '=') || (blank && i + 1 < line.size())) {
      tokens.emplace_back(1, static_cast<char>(c));
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "=%02X", c);
      tokens.emplace_back(hex);
    }
  }
  std::vector<std::string> out(1);
  for (size_t i = 0; i < tokens.size(); ++i) {
    const size_t room = i + 1 == tokens.size() ? 76 : 75;
    if (out.back().size() + tokens[i].size() > room) {
      out.back() += '=';
      out.emplace_back();
    }
    out.back() += tokens[i];
  }
  return out;
}
}  // namespace

TEST(QuotedPrintable, LinesBreakWhereTheGreedyRuleBreaksThem) {
  std::vector<std::string> lines = {
      "",
      " ",
      "\t",
      "=",
      std::string(74, 'a') + "==",
      std::string(73, 'a') + "\xe9\xe9",
      std::string(74, 'a') + " \t",
      std::string(75, 'a') + "=",
      std::string(75, 'a') + " b",
      std::string(300, '\x93'),
      "<P>Dear Ann, \x93quoted\x94 \x80 100 &amp; caf\xe9</P> " + std::string(80, '-') + " ",
  };
  // Lines of every length near the limits, of random bytes (but line breaks) and of text.
  std::mt19937 random(7);
  for (size_t length = 60; length < 240; ++length) {
    std::string bytes, text;
    for (size_t i = 0; i < length; ++i) {
      char c;
      do c = static_cast<char>(random() & 0xFF);
      while (c == '\r' || c == '\n');
      bytes += c;
      text += "ab cd=\t\xe9"[random() % 8];
    }
    lines.push_back(bytes);
    lines.push_back(text);
  }
  std::vector<std::string> expected;
  for (const std::string &line : lines)
    for (const std::string &piece : Greedy(line)) expected.push_back(piece);
  EXPECT_EQ(QuotedPrintableLines(lines), expected);
}
