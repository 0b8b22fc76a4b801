#include "mail/DurableFiles.h"

#include "storage/Ansi.h"
#include "storage/FileErrors.h"

#include <QFile>
#include <fcntl.h>
#include <unistd.h>

void WriteNewFile(const std::string &path, const std::string &bytes) {
  const QString target = AnsiToQString(path);
  QFile temp(target + ".part");
  const auto size = static_cast<qint64>(bytes.size());
  const bool written = temp.open(QIODevice::WriteOnly | QIODevice::Truncate) && temp.write(bytes.data(), size) == size;
  temp.close();
  if (!written || temp.error() != QFileDevice::NoError || !temp.rename(target)) {
    temp.remove();
    throw EFCreateError(path);
  }
}

void AppendDurably(const std::string &path, const std::string &bytes) {
  QFile file(AnsiToQString(path));
  if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) throw EFCreateError(path);
  const auto size = static_cast<qint64>(bytes.size());
  if (file.write(bytes.data(), size) != size || !file.flush() || ::fsync(file.handle()) != 0)
    throw EFCreateError(path);
}

void SyncFileSystem(const std::string &dir) {
  const int fd = ::open(QFile::encodeName(AnsiToQString(dir)).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const bool synced = fd >= 0 && ::syncfs(fd) == 0;
  if (fd >= 0) ::close(fd);
  if (!synced) throw EFCreateError(dir);
}
