#include "support/QtTestApp.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

void EnsureQtApp() {
  if (QCoreApplication::instance()) return;
  static int argc = 1;
  static char name[] = "brevant_tests";
  static char *argv[] = {name, nullptr};
  // Kept to the end of the process (Qt reaches it through instance()): destroying it among
  // the exit handlers would run after Qt's own statics are gone.
  new QCoreApplication(argc, argv);
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
