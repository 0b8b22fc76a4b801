#include "support/EventLoop.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

void EnsureCoreApp() {
  static int argc = 1;
  static char name[] = "brevant-tests";
  static char *argv[] = {name, nullptr};
  if (!QCoreApplication::instance())
    new QCoreApplication(argc, argv);
}

bool RunUntil(const std::function<bool()> &Done, int LimitMs) {
  EnsureCoreApp();
  QEventLoop loop;
  bool expired = false;
  QTimer timer;
  timer.setSingleShot(true);
  QObject::connect(&timer, &QTimer::timeout, [&expired]() { expired = true; });
  timer.start(LimitMs);
  while (!Done() && !expired)
    loop.processEvents(QEventLoop::WaitForMoreEvents);
  return Done();
}

void RunFor(int Ms) {
  bool over = false;
  EnsureCoreApp();
  QTimer::singleShot(Ms, [&over]() { over = true; });
  RunUntil([&over]() { return over; }, Ms + 1000);
}
