#include "net/CustomSyncWSocket.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QObject>
#include <QTimer>

#include <sys/socket.h>

int TCustomSyncWSocket::WaitUntilReady(const bool &flag, int timeoutMs) {
  QEventLoop loop;
  bool timedOut = false;
  QTimer timer;
  if (timeoutMs > 0) {
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, [&timedOut]() { timedOut = true; });
    timer.start(timeoutMs);
  }
  while (!flag) {
    if (timedOut || QCoreApplication::closingDown()) return WSocketWaitTimeout;
    loop.processEvents(QEventLoop::WaitForMoreEvents);
  }
  return 0;
}

int TCustomSyncWSocket::Synchronize(const std::function<void()> &op, const bool &flag, int timeoutMs) {
  op();
  return WaitUntilReady(flag, timeoutMs);
}
