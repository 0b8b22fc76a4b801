#pragma once
// POP3 reply lines turned into small values. Pure functions, no I/O: the client feeds
// them the lines it cuts from its receive buffer.
#include <cstddef>
#include <string>
#include <string_view>

// A reply is positive when it begins with a plus sign ("+OK ...").
bool Pop3IsPositive(std::string_view line);

// Two decimal numbers of a STAT or LIST reply ("+OK 2 320", "1 120").
struct TPop3Numbers {
  int First = 0;
  int Second = 0;
};
// The first run of digits and, after blanks, the second. A line holding one number only
// gives 0 and 0: a STAT reply missing its size is not trusted at all.
TPop3Numbers Pop3ParseNumbers(std::string_view line);
// The LAST reply carries one number: the highest message accessed.
int Pop3ParseLast(std::string_view line);

// A UIDL line ("+OK 1 whqtswO00WBw418f9t5JxYwZ", "2 QhdPYR:00WBw1Ph7x7"): the message number
// and the identifier, which is made of the printable characters "!" to "~" only.
struct TPop3UidlEntry {
  int MsgNum = 0;
  std::string Uidl;
};
TPop3UidlEntry Pop3ParseUidl(std::string_view line);

// The APOP time stamp of a greeting, angle brackets included; empty when there is none.
std::string Pop3TimeStamp(std::string_view greeting);

// One line of a multi-line reply: the terminating "." or a data line whose leading
// stuffed period has been removed ("..x" -> ".x").
enum class TPop3DataLine { dlEnd, dlData };
TPop3DataLine Pop3Unstuff(std::string &line);

// A command word with its numeric arguments: "RETR 3", "TOP 3 10".
std::string Pop3Command(std::string_view word, int n);
std::string Pop3Command(std::string_view word, int n, int m);

// Blanks and control characters removed at both ends.
std::string Pop3Trim(std::string_view s);

// The receive buffer: bytes are read into a fixed block and whole CR LF lines are cut out
// of it. A line longer than the block spills into a separate string so that it is still
// delivered whole; past MaxLineLength it is refused, so a server that never ends its line
// cannot make the client grow without bound.
class TPop3LineBuffer {
public:
  static constexpr std::size_t BufferSize = 4096;
  static constexpr std::size_t MaxLineLength = 1024 * 1024;

  enum class TResult { lrLine, lrNeedMore, lrTooLong };

  // Where the next read goes and how much it may take (never 0 while the state is sound).
  char *FreeSpace() { return buf_ + count_; }
  std::size_t FreeSize() const { return BufferSize - 1 - count_; }
  void Commit(std::size_t n);
  // Cuts the next complete line (without its CR LF) into Line.
  TResult NextLine(std::string &line);
  // Bytes held that do not yet make a line.
  std::size_t Pending() const { return count_ + spill_.size(); }
  void Clear();

private:
  char buf_[BufferSize];
  std::size_t count_ = 0;
  std::size_t scanned_ = 0; // bytes already searched for CR LF without success
  std::string spill_;       // the head of a line longer than the block
};
