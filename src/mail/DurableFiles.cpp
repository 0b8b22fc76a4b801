#include "mail/DurableFiles.h"

#include "storage/Ansi.h"
#include "storage/FileErrors.h"

#include <QFile>
#include <fcntl.h>
#include <unistd.h>

namespace {
std::string Native(const std::string &path) { return QFile::encodeName(AnsiToQString(path)).toStdString(); }

bool WriteAll(int fd, const std::string &bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Appends, waiting for the disk when asked; the file is opened for this write only, so a
// file the window replaces meanwhile is never written through a stale handle.
void Append(const std::string &path, const std::string &bytes, bool durable) {
  const int fd = ::open(Native(path).c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  bool ok = fd >= 0 && WriteAll(fd, bytes) && (!durable || ::fsync(fd) == 0);
  if (fd >= 0) ok = ::close(fd) == 0 && ok;
  if (!ok) throw EFCreateError(path);
}
}  // namespace

void WriteNewFile(const std::string &path, const std::string &bytes) {
  const std::string target = Native(path);
  const std::string temp = target + ".part";
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  bool ok = fd >= 0 && WriteAll(fd, bytes);
  if (fd >= 0) ok = ::close(fd) == 0 && ok;
  if (!ok || ::rename(temp.c_str(), target.c_str()) != 0) {
    ::unlink(temp.c_str());
    throw EFCreateError(path);
  }
}

void AppendQuickly(const std::string &path, const std::string &bytes) { Append(path, bytes, false); }

void AppendDurably(const std::string &path, const std::string &bytes) { Append(path, bytes, true); }

void SyncFileSystem(const std::string &dir) {
  const int fd = ::open(Native(dir).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const bool synced = fd >= 0 && ::syncfs(fd) == 0;
  if (fd >= 0) ::close(fd);
  if (!synced) throw EFCreateError(dir);
}
