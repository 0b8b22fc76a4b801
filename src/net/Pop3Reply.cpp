#include "net/Pop3Reply.h"

#include <climits>
#include <cstring>

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Reads a run of digits at Pos; a value beyond int saturates instead of overflowing.
int ReadNumber(std::string_view s, std::size_t &pos) {
  long long v = 0;
  for (; pos < s.size() && IsDigit(s[pos]); ++pos)
    if (v <= INT_MAX)
      v = v * 10 + (s[pos] - '0');
  return v > INT_MAX ? INT_MAX : int(v);
}

std::size_t FirstDigit(std::string_view s) {
  std::size_t pos = 0;
  while (pos < s.size() && !IsDigit(s[pos]))
    ++pos;
  return pos;
}

} // namespace

bool Pop3IsPositive(std::string_view line) { return !line.empty() && line[0] == '+'; }

TPop3Numbers Pop3ParseNumbers(std::string_view line) {
  TPop3Numbers r;
  std::size_t pos = FirstDigit(line);
  if (pos >= line.size())
    return r;
  const int first = ReadNumber(line, pos);
  while (pos < line.size() && IsBlank(line[pos]))
    ++pos;
  if (pos >= line.size())
    return r;
  r.First = first;
  r.Second = IsDigit(line[pos]) ? ReadNumber(line, pos) : 0;
  return r;
}

int Pop3ParseLast(std::string_view line) {
  std::size_t pos = FirstDigit(line);
  return pos < line.size() ? ReadNumber(line, pos) : 0;
}

TPop3UidlEntry Pop3ParseUidl(std::string_view line) {
  TPop3UidlEntry r;
  std::size_t pos = FirstDigit(line);
  if (pos >= line.size())
    return r;
  r.MsgNum = ReadNumber(line, pos);
  while (pos < line.size() && line[pos] == ' ')
    ++pos;
  const std::size_t start = pos;
  while (pos < line.size() && line[pos] >= '!' && line[pos] <= '~')
    ++pos;
  r.Uidl.assign(line.substr(start, pos - start));
  return r;
}

std::string Pop3TimeStamp(std::string_view greeting) {
  const std::size_t lt = greeting.find('<');
  if (lt == std::string_view::npos)
    return {};
  const std::size_t gt = greeting.find('>', lt);
  if (gt == std::string_view::npos)
    return {};
  return std::string(greeting.substr(lt, gt - lt + 1));
}

TPop3DataLine Pop3Unstuff(std::string &line) {
  if (line == ".")
    return TPop3DataLine::dlEnd;
  if (line.size() >= 2 && line[0] == '.' && line[1] == '.')
    line.erase(0, 1);
  return TPop3DataLine::dlData;
}

std::string Pop3Command(std::string_view word, int n) {
  return std::string(word) + ' ' + std::to_string(n);
}

std::string Pop3Command(std::string_view word, int n, int m) {
  return Pop3Command(word, n) + ' ' + std::to_string(m);
}

std::string Pop3Trim(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ')
    ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ')
    --e;
  return std::string(s.substr(b, e - b));
}

void TPop3LineBuffer::Commit(std::size_t n) {
  count_ += n < FreeSize() ? n : FreeSize();
  buf_[count_] = '\0';
}

TPop3LineBuffer::TResult TPop3LineBuffer::NextLine(std::string &line) {
  // Search from one byte before the last search's end: a CR may wait for its LF.
  std::size_t from = scanned_ > 0 ? scanned_ - 1 : 0;
  const char *crlf = nullptr;
  for (std::size_t i = from; i + 1 < count_; ++i)
    if (buf_[i] == '\r' && buf_[i + 1] == '\n') {
      crlf = buf_ + i;
      break;
    }
  if (crlf) {
    const std::size_t len = std::size_t(crlf - buf_);
    if (spill_.empty()) {
      line.assign(buf_, len);
    } else {
      line.swap(spill_);
      line.append(buf_, len);
      spill_.clear();
    }
    const std::size_t rest = count_ - len - 2;
    std::memmove(buf_, crlf + 2, rest);
    count_ = rest;
    buf_[count_] = '\0';
    scanned_ = 0;
    return TResult::lrLine;
  }
  scanned_ = count_;
  if (FreeSize() > 0)
    return TResult::lrNeedMore;
  // The block is full and holds no line end: move its bytes aside, keeping a final CR
  // that may be the first half of the line end.
  const std::size_t keep = buf_[count_ - 1] == '\r' ? 1 : 0;
  if (spill_.size() + count_ - keep > MaxLineLength)
    return TResult::lrTooLong;
  spill_.append(buf_, count_ - keep);
  if (keep)
    buf_[0] = '\r';
  count_ = keep;
  buf_[count_] = '\0';
  scanned_ = count_;
  return TResult::lrNeedMore;
}

void TPop3LineBuffer::Clear() {
  count_ = 0;
  scanned_ = 0;
  buf_[0] = '\0';
  spill_.clear();
}
