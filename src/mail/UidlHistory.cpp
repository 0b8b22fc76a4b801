#include "mail/UidlHistory.h"

#include "storage/FileErrors.h"
#include "storage/TextFile.h"

#include "mail/DurableFiles.h"
#include "storage/Ansi.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace {
bool Blank(char c) { return static_cast<unsigned char>(c) <= ' '; }

// The section name of a header line, trimmed as a profile file reads it; "" for any other
// line.
std::string_view HeaderName(std::string_view line) {
  while (!line.empty() && Blank(line.front())) line.remove_prefix(1);
  while (!line.empty() && Blank(line.back())) line.remove_suffix(1);
  if (line.size() < 2 || line.front() != '[' || line.back() != ']') return {};
  line = line.substr(1, line.size() - 2);
  while (!line.empty() && Blank(line.front())) line.remove_prefix(1);
  while (!line.empty() && Blank(line.back())) line.remove_suffix(1);
  return line;
}

bool LineEnd(char c) { return c == '\n' || c == '\r'; }

// The offset of the first `c` in `text` from `from` on; the end of `text` when there is none.
size_t FindByte(std::string_view text, size_t from, char c) {
  const auto *hit = static_cast<const char *>(std::memchr(text.data() + from, c, text.size() - from));
  return hit ? static_cast<size_t>(hit - text.data()) : text.size();
}

// Calls `line` with each line of `text` (whole lines only) that may be a header: the rest,
// nearly all of a history, is passed over by memchr looking for the next bracket.
// Where the line holding `from` ends. memchr looks a short way ahead for each kind of line
// end: a file with only one kind must not be searched to its end for the other.
size_t LineEndFrom(std::string_view text, size_t from) {
  const std::string_view ahead = text.substr(0, std::min(text.size(), from + 256));
  const size_t lf = FindByte(ahead, from, '\n');
  const size_t cr = FindByte(ahead.substr(0, lf), from, '\r');
  if (cr < ahead.size()) return cr;
  if (lf < ahead.size()) return lf;
  size_t end = ahead.size();
  while (end < text.size() && !LineEnd(text[end])) ++end;
  return end;
}

template <class F> void HeaderLines(std::string_view text, F &&line) {
  size_t pos = 0;
  while (pos < text.size()) {
    const auto *hit = static_cast<const char *>(std::memchr(text.data() + pos, '[', text.size() - pos));
    if (!hit) return;
    const size_t bracket = static_cast<size_t>(hit - text.data());
    size_t start = bracket;
    while (start > 0 && Blank(text[start - 1]) && !LineEnd(text[start - 1])) --start;
    const size_t end = LineEndFrom(text, bracket);
    // A bracket after other text on its line opens no section.
    if (start == 0 || LineEnd(text[start - 1])) line(text.substr(start, end - start));
    pos = end;
  }
}

// Calls `line` with each header line of the file, reading it in blocks; a line that runs
// over the end of a block is carried to the front of the next, so nothing is held whole.
template <class F> void ReadHeaderLines(const std::string &path, F &&line) {
  QFile file(AnsiToQString(path));
  if (!file.open(QIODevice::ReadOnly)) {
    if (FileExists(path)) throw EFOpenError(path);
    return;
  }
  std::vector<char> block(1 << 16);
  size_t held = 0;
  for (;;) {
    if (held == block.size()) block.resize(block.size() * 2);  // one line longer than a block
    const qint64 got = file.read(block.data() + held, static_cast<qint64>(block.size() - held));
    const bool atEnd = got <= 0;
    if (!atEnd) held += static_cast<size_t>(got);
    const std::string_view text(block.data(), held);
    size_t whole = atEnd ? held : 0;
    if (!atEnd)
      for (size_t i = held; i > 0; --i)
        if (LineEnd(text[i - 1])) {
          whole = i;
          break;
        }
    HeaderLines(text.substr(0, whole), line);
    std::memmove(block.data(), block.data() + whole, held - whole);
    held -= whole;
    if (atEnd) return;
  }
}
}  // namespace

template <class Keep> void TUidlHistory::Read(Keep &&keep) {
  ReadHeaderLines(FFile, [this, &keep](std::string_view line) {
    const std::string_view name = HeaderName(line);
    if (name.size() < FHost.size() || name.compare(0, FHost.size(), FHost) != 0) return;
    const std::string_view identifier = name.substr(FHost.size());
    if (keep(identifier)) Add(identifier);
  });
}

TUidlHistory::TUidlHistory(const std::string &dataDir, const std::string &host)
    : FFile(dataDir + kUidlFile), FHost(host + ":") {
  // About 40 bytes a section: room for all without growing on the way.
  const auto size = static_cast<size_t>(std::max<qint64>(0, QFileInfo(AnsiToQString(FFile)).size()));
  FSeen.Reserve(size / 40, size / 2);
  FPool.reserve(size / 2);
  Read([](std::string_view) { return true; });
}

TUidlHistory::TUidlHistory(const std::string &dataDir, const std::string &host,
                           const std::vector<std::string> &wanted)
    : FFile(dataDir + kUidlFile), FHost(host + ":") {
  // Exact, as the seen check is: no case folding for the many sections of a history.
  const std::unordered_set<std::string_view> server(wanted.begin(), wanted.end());
  Read([&](std::string_view identifier) {
    // Recorded twice, it is kept once.
    return server.count(identifier) != 0 && !Seen(identifier);
  });
}

void TUidlHistory::Add(std::string_view identifier) {
  FSeen.Insert(identifier, FPool.size());
  FPool.append(identifier);
}

bool TUidlHistory::Seen(std::string_view identifier) const {
  bool seen = false;
  FSeen.ForEachNumber(identifier, [&](size_t offset) {
    seen = seen || std::string_view(FPool).substr(offset, identifier.size()) == identifier;
  });
  return seen;
}

void TUidlHistory::Record(const std::string &identifier) {
  // The same bytes as a profile file adds for a new section.
  FPending += "\r\n[" + FHost + identifier + "]\r\n1=1\r\n";
  Add(identifier);
}

void TUidlHistory::Flush() {
  if (FPending.empty()) return;
  AppendDurably(FFile, FPending);
  FPending.clear();
}
