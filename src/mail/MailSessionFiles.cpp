#include "mail/MailSessionFiles.h"

#include "storage/Ansi.h"
#include "storage/FileErrors.h"
#include "storage/Strings.h"
#include "storage/TextFile.h"

#include <QFile>

#include <algorithm>

TMailSessionFiles::TMailSessionFiles(const std::string &dataDir) : dataDir_(dataDir) {}

TMailSessionFiles::~TMailSessionFiles() { Close(); }

void TMailSessionFiles::Start(const std::string &stamp) {
  Close();
  const std::string started = "Mail session started at " + stamp;
  WriteFileAtomic(LogPath(), JoinLines({started, ""}));
  WriteFileAtomic(FailedPath(), JoinLines({"Failed Addresses", "", started}));
}

namespace {
std::unique_ptr<QFile> OpenForAppend(const std::string &path) {
  auto file = std::make_unique<QFile>(AnsiToQString(path));
  if (!file->open(QIODevice::WriteOnly | QIODevice::Append)) throw EFCreateError(path);
  return file;
}

void WriteLine(QFile &file, const std::string &line) {
  file.write(line.data(), static_cast<qint64>(line.size()));
  file.write("\r\n", 2);
}
}  // namespace

void TMailSessionFiles::Open() {
  if (!log_) log_ = OpenForAppend(LogPath());
  if (!failed_) failed_ = OpenForAppend(FailedPath());
}

void TMailSessionFiles::Close() {
  log_.reset();
  failed_.reset();
}

void TMailSessionFiles::Log(const std::string &line) {
  if (log_) WriteLine(*log_, line);
}

void TMailSessionFiles::AddFailed(const std::string &address) {
  if (failed_) {
    WriteLine(*failed_, address);
    failed_->flush();
  } else {
    AppendToFile(FailedPath(), JoinLines({address}));
  }
}

void TMailSessionFiles::Finish(int sent, int failed) {
  Close();
  AppendToFile(LogPath(), JoinLines({"", std::to_string(sent) + " messages sent succesfully. " +
                                             std::to_string(failed) + " failed."}));
  AppendToFile(FailedPath(), JoinLines({"", std::to_string(failed) + " addresses failed."}));
}

std::vector<std::string> ReadFailedAddresses(const std::string &dataDir) {
  // "Failed Addresses", an empty line, the start line, then one address a line up to the
  // empty line before the total.
  const std::vector<std::string> lines = SplitLines(ReadFileBytes(dataDir + "Failed.txt"));
  std::vector<std::string> out;
  for (size_t i = 3; i < lines.size() && !Trim(lines[i]).empty(); ++i) {
    const std::string address = Trim(lines[i]);
    if (std::find(out.begin(), out.end(), address) == out.end()) out.push_back(address);
  }
  return out;
}
