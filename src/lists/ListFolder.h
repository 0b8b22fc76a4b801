#pragma once
// The folder of a list as "Lists.ini" stores it. Folders inside the data directory are
// stored relative to it, so a copied data folder works in its new place; a stored value is
// only ever used when it names an existing folder, so a damaged or foreign catalogue never
// makes the program read or write beside, above or outside the list folders.
#include <stdexcept>
#include <string>

// The folder a stored "Path" names, ending in '/', or "" when it names none:
// - empty: the data directory (the pseudo-list's folder);
// - relative: below the data directory, never above it;
// - Windows form (a drive, a backslash), as a data folder of the older program holds it:
//   the data directory plus its last folder name;
// - absolute: that folder, which must not be the root of the file system.
// The folder must exist.
std::string ResolveListFolder(const std::string &dataDir, const std::string &stored);

// The value to store for a folder: relative to the data directory when inside it ("" for
// the data directory itself), else the full path.
std::string StoreListFolder(const std::string &dataDir, const std::string &folder);

// What the list shows when its stored folder cannot be used.
std::string ListFolderNotFoundText(const std::string &stored);

// Thrown by routines of a list folder when given none (a list whose folder was not found).
class EListFolderNotFound : public std::runtime_error {
public:
  explicit EListFolderNotFound(const std::string &stored) : std::runtime_error(ListFolderNotFoundText(stored)) {}
};

// Throws EListFolderNotFound when `listPath` is empty, the mark of an unusable folder.
void RequireListFolder(const std::string &listPath);

// Start-up upkeep (TidyFolder) of the data directory and of every list folder that
// "Lists.ini" names. Returns the number of leftover temporary files removed.
int TidyDataFolders(const std::string &dataDir);
