#include "support/QtTestApp.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <memory>

void EnsureQtApp() {
  static int argc = 1;
  static char name[] = "brevant_tests";
  static char *argv[] = {name, nullptr};
  static std::unique_ptr<QCoreApplication> app;
  if (!QCoreApplication::instance()) app = std::make_unique<QCoreApplication>(argc, argv);
}

bool RunEventsUntil(const std::function<bool()> &done, int limitMs) {
  EnsureQtApp();
  QEventLoop loop;
  bool expired = false;
  QTimer timer;
  timer.setSingleShot(true);
  QObject::connect(&timer, &QTimer::timeout, [&expired]() { expired = true; });
  timer.start(limitMs);
  while (!done() && !expired) loop.processEvents(QEventLoop::WaitForMoreEvents);
  return done();
}
