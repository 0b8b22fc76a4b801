#include "net/WSocket.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <string>

namespace {

QCoreApplication &App() {
  static int argc = 1;
  static char name[] = "test_net";
  static char *argv[] = {name, nullptr};
  static QCoreApplication *app = QCoreApplication::instance() ? nullptr : new QCoreApplication(argc, argv);
  (void)app;
  return *QCoreApplication::instance();
}

// Runs the event loop until `done` holds; fails the test after a generous limit so that a
// broken component cannot hang the suite.
bool RunUntil(const std::function<bool()> &done, int limitMs = 10000) {
  App();
  QEventLoop loop;
  bool expired = false;
  QTimer timer;
  timer.setSingleShot(true);
  QObject::connect(&timer, &QTimer::timeout, [&expired]() { expired = true; });
  timer.start(limitMs);
  while (!done() && !expired) loop.processEvents(QEventLoop::WaitForMoreEvents);
  return done();
}

// A listening TWSocket on a free port of 127.0.0.1 that accepts one peer into `Peer`.
struct Listener {
  TWSocket Server;
  std::unique_ptr<TWSocket> Peer;
  std::string Received;
  bool PeerClosed = false;

  Listener() {
    App();
    Server.SetAddr("127.0.0.1");
    Server.SetPort("0");
    Server.OnSessionAvailable = [this](TComponent *, uint16_t) {
      Peer = std::make_unique<TWSocket>();
      Peer->Dup(Server.Accept());
      Peer->OnDataAvailable = [this](TComponent *, uint16_t) { Received += Peer->ReceiveStr(); };
      Peer->OnSessionClosed = [this](TComponent *, uint16_t) { PeerClosed = true; };
    };
    Server.Listen();
  }
  std::string PortText() { return Server.GetXPort(); }
};

}  // namespace

TEST(WSocket, ErrorTexts) {
  EXPECT_EQ(WSocketErrorDesc(0), "No Error");
  EXPECT_EQ(WSocketErrorDesc(10060), "Connection timed out");
  EXPECT_EQ(WSocketErrorDesc(10061), "Connection refused");
  EXPECT_EQ(WSocketErrorDesc(11001), "Host not found");
  EXPECT_EQ(WSocketErrorDesc(12345), "Not a WinSock error");
  EXPECT_EQ(WSocketErrnoToError(ECONNREFUSED), 10061);
  EXPECT_EQ(WSocketErrnoToError(ETIMEDOUT), 10060);
  EXPECT_EQ(WSocketErrnoToError(ECONNRESET), 10054);
  EXPECT_EQ(WSocketErrnoToError(ENETUNREACH), 10051);
  EXPECT_EQ(WSocketErrnoToError(EHOSTUNREACH), 10065);
  EXPECT_EQ(WSocketErrnoToError(EAGAIN), 10035);
}

TEST(WSocket, ConnectSendReceiveClose) {
  Listener l;
  TWSocket c;
  bool connected = false, closed = false;
  int closedCount = 0;
  c.OnSessionConnected = [&](TComponent *, uint16_t e) { connected = e == 0; };
  c.OnSessionClosed = [&](TComponent *, uint16_t) { closed = true; ++closedCount; };
  c.SetAddr("127.0.0.1");
  c.SetPort(l.PortText());
  c.Connect();
  ASSERT_TRUE(RunUntil([&] { return connected && l.Peer; }));
  EXPECT_EQ(c.State(), wsConnected);
  c.SendStr("hello\r\n");
  ASSERT_TRUE(RunUntil([&] { return l.Received == "hello\r\n"; }));
  l.Peer->Close();
  ASSERT_TRUE(RunUntil([&] { return closed; }));
  c.Close();
  EXPECT_EQ(closedCount, 1);
  EXPECT_EQ(c.State(), wsClosed);
}
