#pragma once
// Who may read the program's files. Passwords are always kept to their owner; personal
// data (address books, mail, logs) is kept to its owner in the data folder's default
// place, while a portable data folder keeps the modes its owner gives it.
#include <string>
#include <sys/types.h>

enum class TFileAccess {
  faShared,    // modes from the umask; an existing file keeps its mode
  faPersonal,  // like faShared, but new files are 0600 in a private data folder
  faSecret,    // always 0600: files that hold passwords
};

// Set once at start-up when the data folder is in its default, per-user place.
void SetPrivateDataFolder(bool isPrivate);
bool PrivateDataFolder();

// What a file of the program is, judged by its name (and, for mail, by its folder).
TFileAccess FileAccessFor(const std::string &path);

// The mode a save gives `path` (native name): 0600 for secrets, the current mode of an
// existing file, else 0600 for personal data in a private folder or 0666 less the umask.
mode_t ModeForSave(const std::string &nativePath, TFileAccess access);

// Creates the folder and any missing parents; the folders made here are 0700 in a private
// data folder. True when it exists afterwards.
bool CreatePrivateFolder(const std::string &path);

// The names the program gives its own files, which are the only ones whose leftover
// temporary copies are ever removed.
bool IsOwnFileName(const std::string &name);

// Start-up upkeep of one folder: files that hold passwords become 0600, and temporary
// files that a crashed save of one of our files left behind (the file's name plus the
// save's suffix) are removed once they are older than an hour, so that a save of another
// running instance is never disturbed. Returns the number of files removed.
int TidyFolder(const std::string &folder);
