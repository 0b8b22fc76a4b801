#include "storage/TextFile.h"

#include "storage/Ansi.h"
#include "storage/FileErrors.h"
#include "storage/PrivateFiles.h"
#include "storage/Strings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <algorithm>
#include <cstring>
#include <mutex>
#include <set>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool FileExists(const std::string &path) {
  const QFileInfo info(AnsiToQString(path));
  return info.exists() && !info.isDir();
}

bool DirectoryExists(const std::string &path) {
  return QFileInfo(AnsiToQString(path)).isDir();
}

bool ForceDirectories(const std::string &path) { return CreatePrivateFolder(path); }

std::string NativePath(const std::string &path) {
  // Paths are handed to the system in its own encoding.
  const QByteArray native = QFile::encodeName(AnsiToQString(path));
  return std::string(native.constData(), static_cast<size_t>(native.size()));
}

std::string ReadFileBytes(const std::string &path) {
  // Read straight into the result: address books run to many megabytes.
  const int fd = ::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return {};
    throw EFOpenError(path);
  }
  struct stat st {};
  std::string bytes;
  bool ok = ::fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode);
  if (ok) bytes.resize(static_cast<size_t>(std::max<off_t>(st.st_size, 0)) + 1);
  size_t done = 0;
  while (ok) {
    if (done == bytes.size()) bytes.resize(bytes.size() * 2);  // the file grew meanwhile
    const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    done += static_cast<size_t>(n);
  }
  ::close(fd);
  if (!ok) throw EFOpenError(path);
  bytes.resize(done);
  return bytes;
}

namespace {
// Writes all bytes or reports failure; short writes (a full disk) are failures.
bool WriteAll(int fd, std::string_view bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

TFileAccess AccessFor(const std::string &path, bool secret) {
  return secret ? TFileAccess::faSecret : FileAccessFor(path);
}
}  // namespace

void WriteFileAtomic(const std::string &path, const std::string &bytes, bool secret) {
  WriteFileAtomicParts(path, {bytes}, secret);
}

void WriteFileAtomicParts(const std::string &path, const std::vector<std::string_view> &parts, bool secret) {
  const std::string target = NativePath(path);
  // mkstemp makes the file 0600: a copy left by a crash shows nobody else the data. The
  // file gets its final mode only when it is complete.
  std::string temp = target + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) throw EFCreateError(path);
  bool ok = true;
  for (const std::string_view part : parts) ok = ok && WriteAll(fd, part);
  ok = ok && ::fsync(fd) == 0;
  ok = ok && ::fchmod(fd, ModeForSave(target, AccessFor(path, secret))) == 0;
  if (::close(fd) != 0 || !ok || ::rename(temp.c_str(), target.c_str()) != 0) {
    ::unlink(temp.c_str());
    throw EFCreateError(path);
  }
}

void WritePrivateFile(const std::string &path, const std::string &bytes) {
  const int fd = ::open(NativePath(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) throw EFCreateError(path);
  const bool ok = ::fchmod(fd, 0600) == 0 && WriteAll(fd, bytes);
  if (::close(fd) != 0 || !ok) throw EFCreateError(path);
}

void AppendToFile(const std::string &path, const std::string &bytes) {
  const std::string native = NativePath(path);
  const int fd = ::open(native.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC,
                        ModeForSave(native, FileAccessFor(path)));
  if (fd < 0) throw EFCreateError(path);
  QFile file;
  if (!file.open(fd, QIODevice::WriteOnly | QIODevice::Append, QFileDevice::AutoCloseHandle)) {
    ::close(fd);
    throw EFCreateError(path);
  }
  const auto size = static_cast<qint64>(bytes.size());
  if (file.write(bytes.data(), size) != size) throw EFCreateError(path);
}

namespace {
std::mutex gDamagedMutex;
TDamagedFileHandler gDamagedHandler;
std::set<std::string> gDamagedReported;
}  // namespace

void SetDamagedFileHandler(TDamagedFileHandler handler) {
  const std::lock_guard<std::mutex> lock(gDamagedMutex);
  gDamagedHandler = std::move(handler);
}

std::string DamagedFileText(const std::string &path) {
  return "Damaged bytes in " + ElideMiddle(path) + " were read as blanks.";
}

std::string ReadRecordFile(const std::string &path) {
  std::string text = ReadFileBytes(path);
  size_t at = text.find('\0');
  if (at == std::string::npos) return text;
  for (; at != std::string::npos; at = text.find('\0', at + 1)) text[at] = ' ';
  TDamagedFileHandler handler;
  {
    const std::lock_guard<std::mutex> lock(gDamagedMutex);
    if (gDamagedReported.insert(path).second) handler = gDamagedHandler;
  }
  if (handler) handler(path);
  return text;
}

std::vector<std::string_view> SplitLineViews(std::string_view text) {
  std::vector<std::string_view> lines;
  ForEachLine(text, [&](std::string_view line) { lines.push_back(line); });
  return lines;
}

std::vector<std::string> SplitLines(const std::string &text) {
  const std::vector<std::string_view> views = SplitLineViews(text);
  return std::vector<std::string>(views.begin(), views.end());
}

namespace {
template <class Line> std::string Join(const std::vector<Line> &lines) {
  size_t total = 0;
  for (const auto &l : lines) total += l.size() + 2;
  std::string out;
  out.reserve(total);
  for (const auto &l : lines) {
    out += l;
    out += "\r\n";
  }
  return out;
}
}  // namespace

std::string JoinLines(const std::vector<std::string> &lines) { return Join(lines); }

std::string JoinLineViews(const std::vector<std::string_view> &lines) { return Join(lines); }
