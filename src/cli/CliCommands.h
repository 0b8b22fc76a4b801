#pragma once
// The commands of brevant-cli, each run on a data directory and reporting to two streams,
// so that tests run them in-process. Each returns the program's exit status.
#include "cli/CliOptions.h"

#include <iosfwd>
#include <string>

struct TCliContext {
  std::string DataDir;  // ends with '/'
  std::ostream *Out;    // results
  std::ostream *Err;    // progress and errors
  bool Terminal = false;  // Err is a terminal: progress as a bar rather than lines
};

// Runs the command of `options` (a parsed line without an error).
int RunCliCommand(const TCliOptions &options, const TCliContext &context);

int ListsCommand(const TCliContext &context);
int SendCommand(const TCliOptions &options, const TCliContext &context);
int FetchCommand(const TCliOptions &options, const TCliContext &context);
int ImportCommand(const TCliOptions &options, const TCliContext &context);
int ExportCommand(const TCliOptions &options, const TCliContext &context);
