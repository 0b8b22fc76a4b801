#include "storage/PrivateFiles.h"

#include "storage/Ansi.h"
#include "storage/Strings.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <cctype>
#include <sys/stat.h>

namespace {
std::atomic<bool> gPrivateDataFolder{false};

bool AnyOf(const std::string &name, std::initializer_list<const char *> names) {
  for (const char *n : names)
    if (SameText(name, n)) return true;
  return false;
}

bool IsSecretName(const std::string &name) {
  return AnyOf(name, {"Lists.ini", "Pop Servers.ini", "Smtp Servers.ini"});
}

bool IsPersonalName(const std::string &name) {
  return AnyOf(name, {"Addresses.ini", "Inbox.dat", "Sent.dat", "Trash.dat", "UIDLs.dat", "MailLog.txt",
                      "Failed.txt", "Maintenance Log.txt", "Filters.ini", "temp.dat", "temp.html"});
}

bool InMailFolder(const std::string &path) {
  std::string dir = ExtractFilePath(path);
  if (!dir.empty()) dir.pop_back();
  return AnyOf(ExtractFileName(dir), {"Inbox", "Sent", "Trash"});
}

mode_t UmaskMode(mode_t full) {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return full & ~mask;
}

// A save's temporary file: the target's name, a dot and six letters or digits.
bool IsTempOf(const std::string &name, std::string *target) {
  if (name.size() < 8 || name[name.size() - 7] != '.') return false;
  for (size_t i = name.size() - 6; i < name.size(); ++i)
    if (!std::isalnum(static_cast<unsigned char>(name[i]))) return false;
  *target = name.substr(0, name.size() - 7);
  return true;
}
}  // namespace

void SetPrivateDataFolder(bool isPrivate) { gPrivateDataFolder = isPrivate; }

bool PrivateDataFolder() { return gPrivateDataFolder; }

TFileAccess FileAccessFor(const std::string &path) {
  const std::string name = ExtractFileName(path);
  if (IsSecretName(name)) return TFileAccess::faSecret;
  if (IsPersonalName(name) || InMailFolder(path)) return TFileAccess::faPersonal;
  return TFileAccess::faShared;
}

mode_t ModeForSave(const std::string &nativePath, TFileAccess access) {
  if (access == TFileAccess::faSecret) return 0600;
  struct stat st {};
  if (::stat(nativePath.c_str(), &st) == 0) return st.st_mode & 07777;  // keep what the user set
  if (access == TFileAccess::faPersonal && PrivateDataFolder()) return 0600;
  return UmaskMode(0666);
}

bool CreatePrivateFolder(const std::string &path) {
  const QString folder = QDir::cleanPath(AnsiToQString(path));
  // The folders that do not exist yet, outermost first, are the ones to restrict.
  QStringList missing;
  for (QString p = folder; !p.isEmpty() && !QFileInfo::exists(p); p = QFileInfo(p).path()) {
    missing.prepend(p);
    if (p == QFileInfo(p).path()) break;
  }
  if (!QDir().mkpath(folder)) return false;
  if (PrivateDataFolder())
    for (const QString &p : missing) ::chmod(QFile::encodeName(p).constData(), 0700);
  return QFileInfo(folder).isDir();
}

bool IsOwnFileName(const std::string &name) {
  return IsSecretName(name) || IsPersonalName(name) ||
         AnyOf(name, {"Brevant 20.ini", "IAR Subjects.dat", "Colors.dat"});
}

int TidyFolder(const std::string &folder) {
  const QDir dir(AnsiToQString(folder));
  const QDateTime stale = QDateTime::currentDateTimeUtc().addSecs(-3600);
  int removed = 0;
  for (const QFileInfo &info : dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System)) {
    const std::string name = QStringToAnsi(info.fileName());
    const QByteArray native = QFile::encodeName(info.filePath());
    std::string target;
    if (IsSecretName(name)) {
      ::chmod(native.constData(), 0600);
    } else if (IsTempOf(name, &target) && IsOwnFileName(target) && info.lastModified().toUTC() < stale) {
      removed += QFile::remove(info.filePath()) ? 1 : 0;
    }
  }
  return removed;
}
