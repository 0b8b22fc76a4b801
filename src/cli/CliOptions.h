#pragma once
// The command line of brevant-cli: a command, its options and its files, read into a plain
// value so that the commands can be run (and tested) without a process.
#include <string>
#include <vector>

// What the program returns to cron or a shell.
enum TCliExit { ceDone = 0, ceSomeFailed = 1, ceUsage = 2, ceNoConnection = 3 };

enum class TCliCommand { ccNone, ccLists, ccSend, ccFetch, ccImport, ccExport };

struct TCliOptions {
  TCliCommand Command = TCliCommand::ccNone;
  std::string CommandName;
  std::string List;        // --list
  std::string File;        // the newsletter, or the file to import or export
  bool FieldCodes = false;  // --field-codes
  bool Html = false;        // --html
  bool Bcc = false;         // --bcc
  std::string DryRunDir;   // --dry-run
  int WaitSeconds = 0;     // --wait: how long to wait for a list another program is using
  std::string DataDir;     // --data-dir
  bool Help = false;
  bool Version = false;
  std::string Error;       // set when the line cannot be used; the program exits with ceUsage
};

// `args` without the program name.
TCliOptions ParseCliOptions(const std::vector<std::string> &args);

// The help text of a command, or of the program for ccNone.
std::string CliUsage(TCliCommand command);
