#include "lists/ListFolder.h"

#include "lists/ListRecord.h"
#include "storage/IniFiles32.h"
#include "storage/Ansi.h"
#include "storage/PrivateFiles.h"
#include "storage/Strings.h"
#include "storage/TextFile.h"

#include <QDir>

#include <cctype>

namespace {
bool IsWindowsForm(const std::string &path) {
  const bool drive = path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
  return drive || path.find('\\') != std::string::npos;
}

// The last folder name of a Windows path ("C:\a\Weekly\" gives "Weekly").
std::string LastFolderName(const std::string &path) {
  std::string p = path;
  while (!p.empty() && (p.back() == '\\' || p.back() == '/')) p.pop_back();
  const size_t cut = p.find_last_of("\\/:");
  return cut == std::string::npos ? p : p.substr(cut + 1);
}

std::string Clean(const std::string &path) { return QStringToAnsi(QDir::cleanPath(AnsiToQString(path))); }

std::string ExistingFolder(const std::string &path) {
  return DirectoryExists(path) ? IncludeTrailingSlash(path) : std::string();
}
}  // namespace

std::string ResolveListFolder(const std::string &dataDir, const std::string &stored) {
  if (stored.empty()) return dataDir;
  if (IsWindowsForm(stored)) {
    const std::string name = LastFolderName(stored);
    if (name.empty() || name == "." || name == "..") return std::string();
    return ExistingFolder(dataDir + name);
  }
  if (stored.front() == '/') {
    const std::string folder = Clean(stored);
    return folder == "/" ? std::string() : ExistingFolder(folder);
  }
  const std::string base = Clean(dataDir);
  const std::string folder = Clean(dataDir + stored);
  if (folder != base && !folder.starts_with(IncludeTrailingSlash(base))) return std::string();
  return ExistingFolder(folder);
}

std::string StoreListFolder(const std::string &dataDir, const std::string &folder) {
  if (!dataDir.empty() && folder.starts_with(dataDir)) return folder.substr(dataDir.size());
  return folder;
}

std::string ListFolderNotFoundText(const std::string &stored) {
  return stored.empty() ? "List folder not found" : "List folder not found: " + ElideMiddle(stored);
}

void RequireListFolder(const std::string &listPath) {
  if (listPath.empty()) throw EListFolderNotFound(listPath);
}

int TidyDataFolders(const std::string &dataDir) {
  // The catalogue's own mode is set first: it holds passwords.
  int removed = TidyFolder(dataDir);
  const TIniFile32 ini(ListsFile(dataDir));
  std::vector<std::string> names;
  ini.ReadSections(&names);
  for (const std::string &name : names) {
    const std::string folder = ReadListRecord(ini, dataDir, name).Path;
    if (!folder.empty() && folder != dataDir) removed += TidyFolder(folder);
  }
  return removed;
}
