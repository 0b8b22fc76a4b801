#include "storage/DataDirectory.h"

#include "storage/FileErrors.h"
#include "storage/GeneralSettings.h"
#include "storage/PrivateFiles.h"
#include "storage/Strings.h"
#include "storage/TextFile.h"

#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {
std::string Absolute(const std::string &path) {
  std::error_code ec;
  const std::filesystem::path abs = std::filesystem::absolute(path, ec);
  return IncludeTrailingSlash(ec ? path : abs.lexically_normal().string());
}

std::string Env(const char *name) {
  const char *value = std::getenv(name);
  return value ? value : "";
}
}  // namespace

TDataDirectory ResolveDataDirectory(const TDataDirectoryInputs &in) {
  if (!in.Override.empty()) return {Absolute(in.Override), false};
  const std::string exeDir = IncludeTrailingSlash(in.ExeDir);
  const bool portable = FileExists(exeDir + "portable");
  const bool writable = in.Writable ? in.Writable(exeDir) : access(exeDir.c_str(), W_OK) == 0;
  const bool existingInstall = writable && FileExists(exeDir + kSettingsFile);
  if (portable || existingInstall) return {exeDir, true};
  // A relative XDG_DATA_HOME is invalid and ignored, as the base directory rules say.
  if (!in.XdgDataHome.empty() && in.XdgDataHome[0] == '/') return {IncludeTrailingSlash(in.XdgDataHome) + "Brevant/", false};
  if (!in.Home.empty()) return {IncludeTrailingSlash(in.Home) + ".local/share/Brevant/", false};
  // Without any home there is no better place than the program's own folder.
  return {exeDir, true};
}

TDataDirectoryInputs DataDirectoryInputs(const std::string &exeDir, const std::string &override) {
  return {exeDir, override, Env("XDG_DATA_HOME"), Env("HOME"), nullptr};
}

TDataDirectory PrepareDataDirectory(const TDataDirectoryInputs &in) {
  TDataDirectory dir = ResolveDataDirectory(in);
  // In the default, per-user place lists, addresses and mail are nobody else's business;
  // a folder beside the program or given on the command line keeps the modes its owner chose.
  const bool isPrivate = !dir.BesideProgram && in.Override.empty();
  SetPrivateDataFolder(isPrivate);
  const bool made = !DirectoryExists(dir.Path);
  if (!ForceDirectories(dir.Path)) throw EFCreateError(dir.Path);
  if (made && isPrivate) chmod(NativePath(dir.Path).c_str(), 0700);
  return dir;
}

std::string HelpFilePath(const std::string &exeDir) {
  const std::string beside = IncludeTrailingSlash(exeDir) + "Help.html";
  if (FileExists(beside)) return beside;
  return Absolute(IncludeTrailingSlash(exeDir) + "../share/brevant") + "Help.html";
}

bool TakeDataDirOption(std::vector<std::string> &args, std::string *dir) {
  const std::string option = "--data-dir";
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == option) {
      if (i + 1 >= args.size() || args[i + 1].empty()) return false;
      *dir = args[i + 1];
      args.erase(args.begin() + static_cast<std::ptrdiff_t>(i), args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
      return true;
    }
    if (args[i].rfind(option + "=", 0) == 0) {
      *dir = args[i].substr(option.size() + 1);
      args.erase(args.begin() + static_cast<std::ptrdiff_t>(i));
      return !dir->empty();
    }
  }
  return true;
}
