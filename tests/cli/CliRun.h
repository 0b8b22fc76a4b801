#pragma once
// brevant-cli started on a data folder, as cron starts it, while this process's event loop
// keeps serving (a scripted server of the test may be the one it talks to).
#include "support/QtTestApp.h"

#include <QProcess>
#include <QStringList>
#include <string>

struct TRun {
  int Exit = -1;  // -1: crashed, or killed after a minute
  std::string Out, Err;
};

inline bool Has(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

inline TRun RunCli(const std::string &dataDir, QStringList args) {
  args.prepend(QString::fromStdString(dataDir));
  args.prepend("--data-dir");
  QProcess process;
  process.start(BREVANT_CLI_PATH, args);
  TRun run;
  if (!RunEventsUntil([&] { return process.state() == QProcess::NotRunning; }, 60000)) {
    process.kill();
    process.waitForFinished();
    return run;
  }
  run.Exit = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  run.Out = process.readAllStandardOutput().toStdString();
  run.Err = process.readAllStandardError().toStdString();
  return run;
}
