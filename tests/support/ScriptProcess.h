#pragma once
// A helper server written in Python (run with Debian's /usr/bin/python3) that prints
// "PORT <n>" first; stopped and reaped when the object goes away.
#include <QStringList>

#include <memory>

class QProcess;

class ScriptProcess {
public:
  // `script` is a file of tests/support; `args` follow it.
  ScriptProcess(const QString &script, const QStringList &args);
  ~ScriptProcess();
  ScriptProcess(const ScriptProcess &) = delete;
  ScriptProcess &operator=(const ScriptProcess &) = delete;
  int Port() const { return FPort; }
  void Stop();

private:
  std::unique_ptr<QProcess> FProcess;
  int FPort = 0;
};
