#include "support/ScriptProcess.h"

#include "support/QtTestApp.h"

#include <QProcess>

ScriptProcess::ScriptProcess(const QString &script, const QStringList &args) : FProcess(std::make_unique<QProcess>()) {
  EnsureQtApp();
  FProcess->setProcessChannelMode(QProcess::SeparateChannels);
  FProcess->setStandardErrorFile(QProcess::nullDevice());
  FProcess->start("/usr/bin/python3", QStringList{QString(BREVANT_TESTS_DIR) + "/support/" + script} + args);
  if (!FProcess->waitForStarted(10000)) return;
  QByteArray out;
  while (!out.contains('\n') && FProcess->waitForReadyRead(15000)) out += FProcess->readAllStandardOutput();
  if (out.startsWith("PORT ")) FPort = out.mid(5).trimmed().toInt();
  if (FPort == 0) Stop();
}

ScriptProcess::~ScriptProcess() { Stop(); }

void ScriptProcess::Stop() {
  FPort = 0;
  if (FProcess->state() == QProcess::NotRunning) return;
  FProcess->terminate();
  if (!FProcess->waitForFinished(5000)) {
    FProcess->kill();
    FProcess->waitForFinished(5000);
  }
}
