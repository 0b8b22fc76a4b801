#include "mail/UidlHistory.h"

#include "storage/FileErrors.h"
#include "storage/IniFiles32.h"
#include "storage/TextFile.h"

#include "mail/DurableFiles.h"
#include "storage/Ansi.h"

#include <QFile>

namespace {
// Calls `line` with each line of the file, reading it in blocks.
template <class F> void ReadLines(const std::string &path, F &&line) {
  QFile file(AnsiToQString(path));
  if (!file.open(QIODevice::ReadOnly)) {
    if (FileExists(path)) throw EFOpenError(path);
    return;
  }
  std::string pending;
  char block[65536];
  qint64 got = 0;
  while ((got = file.read(block, sizeof block)) > 0) {
    const auto n = static_cast<size_t>(got);
    size_t start = 0;
    for (size_t i = 0; i < n; ++i) {
      if (block[i] != '\r' && block[i] != '\n') continue;
      pending.append(block + start, i - start);
      line(pending);
      pending.clear();
      start = i + 1;
    }
    pending.append(block + start, n - start);
  }
  if (!pending.empty()) line(pending);
}
}  // namespace

TUidlHistory::TUidlHistory(const std::string &dataDir, const std::string &host)
    : FFile(dataDir + kUidlFile), FHost(host + ":") {
  // A CR LF pair gives an extra empty line, which is no header and costs nothing.
  ReadLines(FFile, [this](const std::string &line) {
    if (!TIniFile32::IsSection(line)) return;
    const std::string name = TIniFile32::SectionName(line);
    if (name.compare(0, FHost.size(), FHost) == 0) FSeen.insert(name.substr(FHost.size()));
  });
}

void TUidlHistory::Record(const std::string &identifier) {
  // The same bytes as a profile file adds for a new section.
  FPending += "\r\n[" + FHost + identifier + "]\r\n1=1\r\n";
  FSeen.insert(identifier);
}

void TUidlHistory::Flush() {
  if (FPending.empty()) return;
  AppendDurably(FFile, FPending);
  FPending.clear();
}
