#include "support/QtTestApp.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>


void EnsureQtApp() {
  static int argc = 1;
  static char name[] = "brevant_tests";
  static char *argv[] = {name, nullptr};
  // Never destroyed: at exit Qt's own statics (the thread pool of name lookups among them)
  // may be gone before a static application object would be.
  if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
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
