#pragma once
// What the benchmarks against a local SMTP server share: the application object and the
// aiosmtpd server of the tests.
#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>

// Created once and kept to the end of the process (Qt's statics go first at exit).
inline void BenchApp() {
  static int argc = 1;
  static char name[] = "brevant_bench";
  static char *argv[] = {name, nullptr};
  if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
}

// The aiosmtpd server of the tests, started once for the whole run.
class LocalServer {
public:
  LocalServer() {
    FProcess.setStandardErrorFile(QProcess::nullDevice());
    FProcess.start("/usr/bin/python3", {QString(BREVANT_SOURCE_DIR) + "/tests/support/smtp_server.py", FDir.path()});
    QByteArray out;
    while (!out.contains('\n') && FProcess.waitForReadyRead(15000)) out += FProcess.readAllStandardOutput();
    if (out.startsWith("PORT ")) FPort = out.mid(5).trimmed().toInt();
  }
  ~LocalServer() {
    FProcess.terminate();
    if (!FProcess.waitForFinished(5000)) FProcess.kill(), FProcess.waitForFinished(5000);
  }
  int Port() const { return FPort; }

private:
  QTemporaryDir FDir;
  QProcess FProcess;
  int FPort = 0;
};
