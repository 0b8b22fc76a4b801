#include "net/Pop3Reply.h"

#include <gtest/gtest.h>

#include <vector>

TEST(Pop3Reply, NumbersOfStatListAndLast) {
  const struct {
    const char *line;
    int first, second;
  } cases[] = {
      {"+OK 2 320", 2, 320},
      {"1\t120\r\n", 1, 120},
      {"+OK 2", 0, 0},    // one number alone is not trusted
      {"+OK 2   ", 0, 0},
      {"+OK 7 messages", 7, 0},  // a second that is not a number is 0
      {"+OK maildrop locked", 0, 0},
      {"+OK 99999999999999999999 5", 2147483647, 5},  // absurd sizes saturate, never wrap
  };
  for (const auto &c : cases) {
    const auto n = Pop3ParseNumbers(c.line);
    EXPECT_EQ(n.First, c.first) << c.line;
    EXPECT_EQ(n.Second, c.second) << c.line;
  }
  EXPECT_EQ(Pop3ParseLast("+OK 5"), 5);
  EXPECT_EQ(Pop3ParseLast("+OK 12 whatever"), 12);
  EXPECT_EQ(Pop3ParseLast("+OK"), 0);
}

TEST(Pop3Reply, UidlLines) {
  const struct {
    const char *line;
    int num;
    const char *uidl;
  } cases[] = {
      {"+OK 1 whqtswO00WBw418f9t5JxYwZ", 1, "whqtswO00WBw418f9t5JxYwZ"},
      // The identifier stops at the first blank or control character.
      {"123 QhdPYR:00WBw1Ph7x7 trailing", 123, "QhdPYR:00WBw1Ph7x7"},
      {"2 abc\tdef", 2, "abc"},
      {"3 x\x7fy", 3, "x"},
      {"+OK 123    0123abc", 123, "0123abc"},  // the number's digits never leak into it
      {"+OK no number here", 0, ""},
      {"4", 4, ""},
  };
  for (const auto &c : cases) {
    const auto u = Pop3ParseUidl(c.line);
    EXPECT_EQ(u.MsgNum, c.num) << c.line;
    EXPECT_EQ(u.Uidl, c.uidl) << c.line;
  }
}

TEST(Pop3Reply, GreetingAndPositiveReplies) {
  EXPECT_EQ(Pop3TimeStamp("+OK POP3 server ready <1896.697170952@dbc.mtview.ca.us>"),
            "<1896.697170952@dbc.mtview.ca.us>");
  EXPECT_EQ(Pop3TimeStamp("+OK ready <a@b> and <c@d>"), "<a@b>");
  EXPECT_EQ(Pop3TimeStamp("+OK ready > <x>"), "<x>");
  EXPECT_EQ(Pop3TimeStamp("+OK ready"), "");
  EXPECT_EQ(Pop3TimeStamp("+OK ready <unterminated"), "");
  EXPECT_TRUE(Pop3IsPositive("+OK"));
  EXPECT_FALSE(Pop3IsPositive("-ERR +OK"));
  EXPECT_FALSE(Pop3IsPositive(""));
  EXPECT_FALSE(Pop3IsPositive(" +OK"));
}

namespace {

// Feeds Data to the buffer in pieces of Piece bytes and collects the lines.
std::vector<std::string> Feed(TPop3LineBuffer &b, const std::string &data, std::size_t piece,
                              bool *tooLong = nullptr) {
  std::vector<std::string> lines;
  std::size_t pos = 0;
  while (pos < data.size()) {
    const std::size_t n = std::min({piece, b.FreeSize(), data.size() - pos});
    EXPECT_GT(n, 0u) << "the buffer must always leave room to read";
    if (n == 0)
      break;
    std::copy_n(data.data() + pos, n, b.FreeSpace());
    b.Commit(n);
    pos += n;
    std::string line;
    for (;;) {
      const auto r = b.NextLine(line);
      if (r == TPop3LineBuffer::TResult::lrTooLong) {
        if (tooLong)
          *tooLong = true;
        return lines;
      }
      if (r != TPop3LineBuffer::TResult::lrLine)
        break;
      lines.push_back(line);
    }
  }
  return lines;
}

} // namespace

// Replies cut into pieces of every size: Pop3ScriptedTest, through the client.
TEST(Pop3Reply, LineBufferLoneLineEndsBinaryAndLongLines) {
  // A partial line stays until its end arrives; a lone LF or CR does not end a line.
  TPop3LineBuffer b;
  EXPECT_TRUE(Feed(b, "+OK a\nb\rc", 100).empty());
  EXPECT_EQ(b.Pending(), 9u);
  EXPECT_EQ(Feed(b, "\r\n", 100), std::vector<std::string>{"+OK a\nb\rc"});
  // Bytes that are not text, NUL included, pass through.
  const std::string binary("a\0b\xff", 4);
  EXPECT_EQ(Feed(b, binary + "\r\n", 3), std::vector<std::string>{binary});

  // A 6,000-byte line is delivered whole, even with its CR and LF split at the block edge.
  for (std::size_t len : {4094u, 4095u, 4096u, 6000u, 8190u, 8191u, 20000u}) {
    for (std::size_t piece : {1000u, 4095u}) {
      TPop3LineBuffer fresh;
      std::string line(len, 'x');
      line[0] = 'A';
      line[len - 1] = 'Z';
      const auto got = Feed(fresh, line + "\r\nnext\r\n", piece);
      ASSERT_EQ(got.size(), 2u) << len << "/" << piece;
      EXPECT_EQ(got[0], line);
      EXPECT_EQ(got[1], "next");
    }
  }
  // A line that never ends is refused once it passes the limit.
  b.Clear();
  bool tooLong = false;
  const auto got =
      Feed(b, std::string(TPop3LineBuffer::MaxLineLength + 5000, 'y'), 4095, &tooLong);
  EXPECT_TRUE(tooLong);
  EXPECT_TRUE(got.empty());
  EXPECT_LE(b.Pending(), TPop3LineBuffer::MaxLineLength + TPop3LineBuffer::BufferSize);
  b.Clear();
  EXPECT_EQ(b.Pending(), 0u);
  EXPECT_EQ(Feed(b, "+OK\r\n", 10), std::vector<std::string>{"+OK"});
}
