#include "mail/UidlHistory.h"

#include "storage/FileErrors.h"
#include "storage/TextFile.h"

#include "mail/DurableFiles.h"
#include "storage/Ansi.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <string_view>
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

// Calls `line` with each line of the file, reading it in blocks; a line is copied only
// when it runs over the end of a block.
template <class F> void ReadLines(const std::string &path, F &&line) {
  QFile file(AnsiToQString(path));
  if (!file.open(QIODevice::ReadOnly)) {
    if (FileExists(path)) throw EFOpenError(path);
    return;
  }
  std::string pending;
  std::vector<char> block(1 << 16);
  qint64 got = 0;
  while ((got = file.read(block.data(), static_cast<qint64>(block.size()))) > 0) {
    const std::string_view text(block.data(), static_cast<size_t>(got));
    size_t start = 0;
    // A plain loop: find_first_of asks memchr about the two line ends for every byte.
    auto lineEnd = [&text](size_t from) {
      while (from < text.size() && text[from] != '\n' && text[from] != '\r') ++from;
      return from < text.size() ? from : std::string_view::npos;
    };
    for (size_t end; (end = lineEnd(start)) != std::string_view::npos; start = end + 1) {
      if (pending.empty()) {
        line(text.substr(start, end - start));
      } else {
        pending.append(text.substr(start, end - start));
        line(std::string_view(pending));
        pending.clear();
      }
    }
    pending.append(text.substr(start));
  }
  if (!pending.empty()) line(std::string_view(pending));
}
}  // namespace

template <class Keep> void TUidlHistory::Read(Keep &&keep) {
  // A CR LF pair gives an extra empty line, which is no header and costs nothing.
  ReadLines(FFile, [this, &keep](std::string_view line) {
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
  TCaselessSet server;
  server.Reserve(wanted.size());
  for (size_t i = 0; i < wanted.size(); ++i) server.Insert(wanted[i], i);
  Read([&](std::string_view identifier) {
    bool onServer = false;
    server.ForEachNumber(identifier, [&](size_t i) { onServer = onServer || wanted[i] == identifier; });
    // Recorded twice, it is kept once.
    return onServer && !Seen(identifier);
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
