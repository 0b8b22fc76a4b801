// brevant-cli: the mailing lists from a shell or a cron line, without the window.
#include "cli/CliCommands.h"
#include "cli/CliOptions.h"
#include "storage/Ansi.h"
#include "storage/DataDirectory.h"

#include <QCoreApplication>
#include <iostream>
#include <unistd.h>

int main(int argc, char *argv[]) {
  QCoreApplication app(argc, argv);
  std::vector<std::string> args;
  for (const QString &arg : QCoreApplication::arguments().mid(1)) args.push_back(QStringToAnsi(arg));
  const TCliOptions options = ParseCliOptions(args);
  if (options.Help) {
    std::cout << CliUsage(options.Command);
    return ceDone;
  }
  if (options.Version) {
    std::cout << "brevant-cli 2.0\n";
    return ceDone;
  }
  if (!options.Error.empty()) {
    std::cerr << "brevant-cli: " << options.Error << "\n"
              << "Try 'brevant-cli " << (options.Command == TCliCommand::ccNone ? "" : options.CommandName + " ")
              << "--help'.\n";
    return ceUsage;
  }
  TCliContext context;
  try {
    const std::string exeDir = QStringToAnsi(QCoreApplication::applicationDirPath());
    context.DataDir = PrepareDataDirectory(DataDirectoryInputs(exeDir, options.DataDir)).Path;
  } catch (const std::exception &e) {
    std::cerr << "brevant-cli: " << e.what() << "\n";
    return ceUsage;
  }
  context.Out = &std::cout;
  context.Err = &std::cerr;
  context.Terminal = isatty(STDERR_FILENO) == 1;
  return RunCliCommand(options, context);
}
