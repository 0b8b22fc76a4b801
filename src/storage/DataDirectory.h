#pragma once
// Where the program keeps its files. The executable's folder serves when the program is
// portable (a file "portable" beside it) or is an existing install there (the folder is
// writable and already holds the settings file); otherwise the user's data folder,
// $XDG_DATA_HOME/Brevant (~/.local/share/Brevant). A folder given on the command line
// overrides both. The window and the command-line program resolve it the same way.
#include <string>
#include <vector>

struct TDataDirectoryInputs {
  std::string ExeDir;       // the executable's folder
  std::string Override;     // from --data-dir; empty when not given
  std::string XdgDataHome;  // $XDG_DATA_HOME; empty when unset
  std::string Home;         // $HOME
  // Whether this process may write into a folder; null asks the system.
  bool (*Writable)(const std::string &folder) = nullptr;
};

struct TDataDirectory {
  std::string Path;         // ends with '/'
  bool BesideProgram = false;  // the executable's folder is used
};

// Decides the folder without creating anything.
TDataDirectory ResolveDataDirectory(const TDataDirectoryInputs &in);
// The inputs of this process: its environment and the given folder and override.
TDataDirectoryInputs DataDirectoryInputs(const std::string &exeDir, const std::string &override);
// Resolves and creates the folder. Throws EFCreateError when it cannot be made.
TDataDirectory PrepareDataDirectory(const TDataDirectoryInputs &in);

// The help page: beside the executable when it is there (a build or portable folder),
// else in the installed share folder (../share/brevant/ from the executable's folder).
std::string HelpFilePath(const std::string &exeDir);

// Takes "--data-dir DIR" or "--data-dir=DIR" out of the arguments. False when the option
// is given without a folder; `dir` stays empty when it is not given at all.
bool TakeDataDirOption(std::vector<std::string> &args, std::string *dir);
