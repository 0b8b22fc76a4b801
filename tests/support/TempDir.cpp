#include "support/TempDir.h"

#include "storage/Ansi.h"

#include <QFile>

TempDir::TempDir() : path_(QStringToAnsi(dir_.path()) + "/") {}

std::string ReadAll(const std::string &path) {
  QFile f(AnsiToQString(path));
  if (!f.open(QIODevice::ReadOnly)) return {};
  const QByteArray data = f.readAll();
  return std::string(data.constData(), static_cast<size_t>(data.size()));
}

void WriteAll(const std::string &path, const std::string &bytes) {
  QFile f(AnsiToQString(path));
  if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(bytes.data(), static_cast<qint64>(bytes.size()));
}
