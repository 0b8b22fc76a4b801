#include "net/WSocket.h"

#include "support/QtTestApp.h"
#include "support/ScriptedServer.h"
#include "support/Thrown.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

// A client connected to `l`, with its connect and close events counted.
struct Connected {
  TWSocket C;
  int ClosedCount = 0;
  uint16_t ClosedError = 0xFFFF;
  int SentCount = 0;
  explicit Connected(ScriptedServer &l) {
    bool up = false;
    C.OnSessionConnected = [&up](TComponent *, uint16_t e) { up = e == 0; };
    C.OnSessionClosed = [this](TComponent *, uint16_t e) { ++ClosedCount, ClosedError = e; };
    C.OnDataSent = [this](TComponent *, uint16_t) { ++SentCount; };
    C.SetAddr("127.0.0.1");
    C.SetPort(l.Port());
    C.Connect();
    EXPECT_EQ(C.State(), wsConnecting);
    EXPECT_TRUE(RunEventsUntil([&] { return up && l.HasClient(); }));
    C.OnSessionConnected = nullptr;
  }
};

template <class F> std::string Message(F &&f) { return ThrownText<ESocketException>(f); }

}  // namespace

// Refused and timed-out connections show their texts in the client tests.
TEST(WSocket, ErrorTexts) {
  EXPECT_EQ(WSocketErrorDesc(11001), "Host not found");
  EXPECT_EQ(WSocketErrorDesc(12345), "Not a WinSock error");
  EXPECT_EQ(WSocketErrorDesc(10072), "Not a WinSock error");  // a gap in the table
  EXPECT_EQ(WSocketErrnoToError(ECONNRESET), 10054);
  EXPECT_EQ(WSocketErrnoToError(EPIPE), 10054);
  EXPECT_EQ(WSocketErrnoToError(EHOSTUNREACH), 10065);
  EXPECT_NE(LocalHostName(), "");
}

TEST(WSocket, ResolutionAndItsMessages) {
  EXPECT_EQ(WSocketResolveHost("255.255.255.255"), INADDR_BROADCAST);
  EXPECT_EQ(WSocketResolveHost(" 127.0.0.1 "), htonl(INADDR_LOOPBACK));
  EXPECT_EQ(WSocketResolveHost("localhost"), htonl(INADDR_LOOPBACK));
  for (const auto &[port, number] : {std::pair{"25", 25}, {"smtp", 25}, {"25abc", 25}, {" 25", 25}})
    EXPECT_EQ(WSocketResolvePort(port, "tcp"), number) << port;
  EXPECT_EQ(WSocketResolvePort("pop3", ""), 110);
  EXPECT_EQ(WSocketResolveProto("udp"), 17);
  EXPECT_EQ(WSocketResolveProto("17"), 17);
  const std::string longName(257, 'a');
  for (const auto &[call, text] : std::vector<std::pair<std::function<void()>, std::string>>{
           {[] { WSocketResolveHost("300.1.1.1"); }, "WSocketResolveHost: '300.1.1.1' Invalid IP address."},
           {[] { WSocketResolveHost(""); }, "WSocketResolveHost: '' Invalid Hostname."},
           {[&] { WSocketResolveHost(longName); }, "WSocketResolveHost: '" + longName + "' Invalid Hostname."},
           {[] { WSocketResolvePort("", "tcp"); }, "WSocketResolvePort: Invalid Port."},
           {[] { WSocketResolvePort("nosuchservice", "tcp"); }, "WSocketResolvePort: Cannot convert port 'nosuchservice'"},
           {[] { WSocketResolveProto(""); }, "WSocketResolveProto: Invalid Protocol."},
           {[] { WSocketResolveProto("nosuchproto"); }, "WSocketResolveProto: Cannot convert protocol 'nosuchproto'"}})
    EXPECT_EQ(Message(call), text);
}

TEST(WSocket, MisuseAndTheErrorHandler) {
  EnsureQtApp();
  TWSocket s;
  EXPECT_EQ(s.State(), wsClosed);
  EXPECT_EQ(Message([&] { s.Connect(); }), "Connect: No Port Specified");  // checked before Addr
  s.SetPort("25");
  EXPECT_EQ(Message([&] { s.Connect(); }), "Connect: No IP Address Specified");
  s.SetAddr("300.1.1.1");
  EXPECT_EQ(Message([&] { s.Connect(); }), "WSocketResolveHost: '300.1.1.1' Invalid IP address.");
  EXPECT_EQ(Message([&] { s.Send("x", 1); }), "Error 10057 in function Send\r\nSocket is not connected");
  EXPECT_EQ(s.LastError(), 10057);
  EXPECT_EQ(Message([&] { s.Accept(); }), "Error 10022 in function not a listening socket\r\nInvalid argument");
  EXPECT_EQ(Message([&] { s.SetSocksLevel("6"); }), "Invalid socks level. Must be 4, 4A or 5.");
  EXPECT_EQ(s.GetPeerAddr(), "error");

  // With an OnError handler the error goes there and the call goes on.
  int errors = 0;
  uint16_t lookupError = 0;
  s.OnError = [&](TComponent *) { ++errors; };
  s.OnDnsLookupDone = [&](TComponent *, uint16_t e) { lookupError = e; };
  EXPECT_EQ(s.Send("x", 1), -1);
  s.DnsLookup("");
  EXPECT_EQ(errors, 2);
  EXPECT_EQ(lookupError, 10022);
  EXPECT_EQ(s.LastErrorMessage(), "DNS lookup: invalid host name.");

  // A socket in use refuses changes of its address.
  ScriptedServer l(false);
  Connected c(l);
  EXPECT_EQ(Message([&] { c.C.SetAddr("10.0.0.1"); }), "Cannot change Addr if not closed");
  EXPECT_EQ(Message([&] { c.C.SetPort("1"); }), "Cannot change Port if not closed");
  EXPECT_EQ(Message([&] { c.C.Connect(); }), "Connect: Socket already in use");
  EXPECT_EQ(c.C.GetPeerAddr(), "127.0.0.1");
  // After a close the address must be given again.
  const std::string port = c.C.Port();
  c.C.Close();
  c.C.SetPort(port);  // the same text as before: assigned again all the same
  EXPECT_EQ(Message([&] { c.C.Connect(); }), "Connect: No IP Address Specified");
}

TEST(WSocket, PartialSends) {
  // A peer that does not read makes the platform take only part; the rest follows on write
  // readiness, in order, and OnDataSent fires once, after the last byte.
  ScriptedServer l(false);
  std::string got;
  l.OnLine = [&](ScriptedServer &, const std::string &data) { got += data; };
  Connected c(l);
  l.Client().Pause();
  std::string big(8 * 1024 * 1024, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + i / 4096);
  EXPECT_EQ(c.C.SendStr(big), static_cast<int32_t>(big.size()));
  EXPECT_FALSE(c.C.AllSent());
  RunEventsUntil([] { return false; }, 50);
  EXPECT_EQ(c.SentCount, 0);
  l.Client().Resume();
  ASSERT_TRUE(RunEventsUntil([&] { return got.size() == big.size() && c.SentCount > 0; }));
  EXPECT_TRUE(got == big);
  EXPECT_EQ(c.SentCount, 1);

  // Even when everything leaves at once, OnDataSent comes from the event loop.
  c.C.SendStr("small");
  EXPECT_EQ(c.SentCount, 1);
  ASSERT_TRUE(RunEventsUntil([&] { return c.SentCount == 2; }));
  EXPECT_EQ(c.C.Send("", 0), 0);
}

TEST(WSocket, LineModeWithSplitTerminators) {
  ScriptedServer l;
  Connected c(l);
  c.C.SendStr("AB\r");
  RunEventsUntil([] { return false; }, 30);
  EXPECT_TRUE(l.Lines().empty());
  c.C.SendStr("\nCD\r\nEF\r\n");
  ASSERT_TRUE(RunEventsUntil([&] { return l.Lines().size() == 3; }));

  // Another terminator, met across reads, and a last line without one at close.
  l.Client().LineEnd = "<end>";
  c.C.SendStr("one<e");
  RunEventsUntil([] { return false; }, 30);
  c.C.SendStr("nd>two<end>XYZ");
  ASSERT_TRUE(RunEventsUntil([&] { return l.Lines().size() == 5; }));
  c.C.Close();
  ASSERT_TRUE(RunEventsUntil([&] { return l.ClosedCount() == 1; }));
  EXPECT_EQ(l.Lines(), (std::vector<std::string>{"AB", "CD", "EF", "one<end>", "two<end>", "XYZ"}));
}

TEST(WSocket, SessionClosedOncePerSessionAndHandlerExceptionsAbort) {
  ScriptedServer l(false);
  Connected c(l);
  l.CloseClient();  // the close notification reaches the client
  ASSERT_TRUE(RunEventsUntil([&] { return c.ClosedCount > 0; }));
  c.C.Close();
  c.C.Abort();
  RunEventsUntil([] { return false; }, 30);
  EXPECT_EQ(c.ClosedCount, 1);
  EXPECT_EQ(c.ClosedError, 0);
  EXPECT_EQ(c.C.State(), wsClosed);
  EXPECT_EQ(l.ClosedCount(), 1);  // the closing side hears of its own Close, once

  // A new session gets its own event; Abort ends it at once.
  ScriptedServer l2(false);
  Connected c2(l2);
  c2.C.SendStr("pending");
  c2.C.Abort();
  EXPECT_EQ(c2.ClosedCount, 1);
  ASSERT_TRUE(RunEventsUntil([&] { return l2.ClosedCount() == 1; }));

  // An exception from a handler is caught, handed to OnBgException, and the socket aborted.
  ScriptedServer l3(false);
  Connected c3(l3);
  std::string seen;
  l3.OnLine = [](ScriptedServer &, const std::string &) { throw std::runtime_error("handler failed"); };
  l3.Client().OnBgException = [&](TComponent *, const std::exception &e, bool &canClose) {
    seen = e.what();
    EXPECT_TRUE(canClose);
  };
  c3.C.SendStr("boom");
  ASSERT_TRUE(RunEventsUntil([&] { return !seen.empty(); }));
  EXPECT_EQ(seen, "handler failed");
  EXPECT_EQ(l3.Client().State(), wsClosed);
  ASSERT_TRUE(RunEventsUntil([&] { return c3.ClosedCount == 1; }));
}

TEST(WSocket, NameLookups) {
  EnsureQtApp();
  TWSocket s;
  std::vector<uint16_t> done;
  s.OnDnsLookupDone = [&](TComponent *, uint16_t e) { done.push_back(e); };
  s.DnsLookup("127.0.0.1");  // a dotted address is answered at once
  ASSERT_EQ(done.size(), 1u);
  EXPECT_EQ(done[0], 0);
  EXPECT_EQ(s.DnsResult(), "127.0.0.1");

  s.DnsLookup("localhost");  // a name is looked up off this thread
  EXPECT_TRUE(s.DnsLookupPending());
  ASSERT_TRUE(RunEventsUntil([&] { return done.size() == 2; }));
  EXPECT_EQ(done[1], 0);
  EXPECT_EQ(s.DnsResult(), "127.0.0.1");
  EXPECT_FALSE(s.DnsResultList().empty());

  s.DnsLookup("localhost");
  s.CancelDnsLookup();
  ASSERT_EQ(done.size(), 3u);
  EXPECT_EQ(done[2], 10004);
  RunEventsUntil([] { return false; }, 100);
  EXPECT_EQ(done.size(), 3u);  // the cancelled answer is dropped
  s.CancelDnsLookup();         // nothing pending: nothing fires
  EXPECT_EQ(done.size(), 3u);

  s.ReverseDnsLookup("127.0.0.1");
  ASSERT_TRUE(RunEventsUntil([&] { return done.size() == 4; }));
  EXPECT_EQ(done[3], 0);
  EXPECT_FALSE(s.DnsResult().empty());

  // A socket destroyed with a lookup under way never hears of it.
  auto t = std::make_unique<TWSocket>();
  t->OnDnsLookupDone = [&](TComponent *, uint16_t e) { done.push_back(e); };
  t->DnsLookup("localhost");
  t.reset();
  RunEventsUntil([] { return false; }, 100);
  EXPECT_EQ(done.size(), 4u);
}

TEST(WSocket, Datagrams) {
  EnsureQtApp();
  TWSocket server;
  server.SetProto("udp");
  server.SetAddr("127.0.0.1");
  server.SetPort("0");
  std::string got;
  TSockAddrIn from{};
  server.OnDataAvailable = [&](TComponent *, uint16_t) {
    char buf[100];
    const int n = server.ReceiveFrom(buf, sizeof buf, &from);
    if (n > 0) got.assign(buf, n);
  };
  server.Listen();
  EXPECT_EQ(server.State(), wsConnected);
  TWSocket client;
  bool connected = false;
  client.OnSessionConnected = [&](TComponent *, uint16_t e) { connected = e == 0; };
  client.SetProto("udp");
  client.SetAddr("127.0.0.1");
  client.SetPort(server.GetXPort());
  client.Connect();
  EXPECT_TRUE(connected);  // at once for a datagram socket
  client.SendStr("ping");
  ASSERT_TRUE(RunEventsUntil([&] { return !got.empty(); }));
  EXPECT_EQ(got, "ping");
  EXPECT_EQ(server.SendTo(from, "pong", 4), 4);
}

namespace {
// A relay that answers the handshake with `replies`, one per message it receives, then
// keeps what follows.
void Relay(ScriptedServer &relay, std::vector<std::string> replies) {
  auto next = std::make_shared<size_t>(0);
  relay.OnLine = [replies, next](ScriptedServer &s, const std::string &) {
    if (*next < replies.size()) s.Send(replies[(*next)++]);
  };
}
std::string Bytes(std::initializer_list<int> b) {
  std::string s;
  for (int c : b) s += static_cast<char>(c);
  return s;
}
}  // namespace

TEST(WSocket, SocksRelay) {
  ScriptedServer relay(false);
  Relay(relay, {Bytes({5, 0}), Bytes({5, 0, 0, 1, 127, 0, 0, 1, 0, 25})});
  TWSocket c;
  std::vector<std::string> events;
  c.OnSocksConnected = [&](TComponent *, uint16_t e) { events.push_back("socks " + std::to_string(e)); };
  c.OnSessionConnected = [&](TComponent *, uint16_t e) { events.push_back("session " + std::to_string(e)); };
  c.SetSocksServer("127.0.0.1");
  c.SetSocksPort(relay.Port());
  c.SetAddr("mail.example.org");
  c.SetPort("25");
  c.Connect();
  ASSERT_TRUE(RunEventsUntil([&] { return events.size() == 2; }));
  EXPECT_EQ(events, (std::vector<std::string>{"socks 0", "session 0"}));
  ASSERT_EQ(relay.Lines().size(), 2u);
  EXPECT_EQ(relay.Lines()[0], Bytes({5, 1, 0}));
  EXPECT_EQ(relay.Lines()[1], Bytes({5, 1, 0, 3, 16}) + "mail.example.org" + Bytes({0, 25}));
  c.SendStr("EHLO\r\n");  // after the handshake the session is plain
  ASSERT_TRUE(RunEventsUntil([&] { return relay.Lines().size() == 3; }));
  EXPECT_EQ(relay.Lines()[2], "EHLO\r\n");
  EXPECT_EQ(Message([&] { c.SetSocksServer("x"); }), "Can't change socks server if not closed");
  c.Close();
  EXPECT_EQ(c.SocksServer(), "");  // the relay must be named again for the next session

  // A refusal by the relay: OnSocksError, then OnSessionConnected with the error, then closed.
  ScriptedServer refusing(false);
  Relay(refusing, {Bytes({0, 91, 0, 0, 0, 0, 0, 0})});
  TWSocket d;
  std::string error;
  uint16_t sessionError = 0;
  d.OnSocksError = [&](TComponent *, int32_t e, const std::string &m) { error = std::to_string(e) + " " + m; };
  d.OnSessionConnected = [&](TComponent *, uint16_t e) { sessionError = e; };
  d.SetSocksLevel("4A");
  d.SetSocksServer("127.0.0.1");
  d.SetSocksPort(refusing.Port());
  d.SocksUsercode = "me";
  d.SetAddr("host.example");
  d.SetPort("110");
  d.Connect();
  ASSERT_TRUE(RunEventsUntil([&] { return sessionError != 0; }));
  EXPECT_EQ(error, std::to_string(socksRequestRejected) + " request rejected or failed");
  EXPECT_EQ(sessionError, socksRequestRejected);
  EXPECT_EQ(d.State(), wsClosed);
  ASSERT_EQ(refusing.Lines().size(), 1u);
  EXPECT_EQ(refusing.Lines()[0], Bytes({4, 1, 0, 110, 0, 0, 0, 1}) + "me" + Bytes({0}) + "host.example" + Bytes({0}));

  EXPECT_EQ(Message([&] {
              TWSocket e;
              e.SetSocksServer("127.0.0.1");
              e.SetPort("1");
              e.SetAddr("127.0.0.1");
              e.Listen();
            }),
            "listening is not supported thru socks server");
}

TEST(WSocket, FlushAndWaitBlockInTheEventLoop) {
  ScriptedServer l(false);
  const std::string big(4 * 1024 * 1024, 'z');
  std::string got;
  bool flag = false;
  l.OnLine = [&](ScriptedServer &, const std::string &data) {
    got += data;
    flag = got.size() == big.size() + 3;
  };
  Connected c(l);
  l.Client().Pause();
  c.C.SendStr(big);
  EXPECT_FALSE(c.C.AllSent());
  l.Client().Resume();
  const int sentBefore = c.SentCount;
  c.C.Flush();  // returns once the peer, served by the same loop, has taken it all
  EXPECT_TRUE(c.C.AllSent());
  // OnDataSent still fires once for what the flush sent, even when its last bytes left
  // inside the flush rather than on a write notification.
  EXPECT_TRUE(RunEventsUntil([&] { return c.SentCount == sentBefore + 1; }));
  RunEventsUntil([] { return false; }, 100);
  EXPECT_EQ(c.SentCount, sentBefore + 1);

  EXPECT_EQ(c.C.WaitUntilReady(flag, 30), WSocketWaitTimeout);
  EXPECT_EQ(c.C.Synchronize([&] { c.C.SendStr("end"); }, flag, 10000), 0);
  EXPECT_EQ(got.substr(got.size() - 3), "end");
}

TEST(WSocket, LineEditEchoAndSwitchingLineModeOffHandsOverHeldBytes) {
  ScriptedServer l;
  Connected c(l);
  std::string echoed;
  c.C.OnDataAvailable = [&](TComponent *, uint16_t) { echoed += c.C.ReceiveStr(); };
  l.Client().LineEdit = true;
  l.Client().LineEcho = true;
  c.C.SendStr("abX\bc\td\r\n");
  ASSERT_TRUE(RunEventsUntil([&] { return !l.Lines().empty(); }));
  EXPECT_EQ(l.Lines()[0], "abc     d");
  ASSERT_TRUE(RunEventsUntil([&] { return echoed.size() >= 14; }));
  EXPECT_EQ(echoed, "abX\b \bc     d\r\n");

  l.Client().LineEdit = l.Client().LineEcho = false;
  l.OnLine = [](ScriptedServer &s, const std::string &) {
    if (s.Lines().size() == 2) s.Client().SetLineMode(false);  // a header line, then raw bytes
  };
  c.C.SendStr("HEAD\r\nraw bytes");
  ASSERT_TRUE(RunEventsUntil([&] { return l.Lines().size() >= 3; }));
  EXPECT_EQ(l.Lines(), (std::vector<std::string>{"abc     d", "HEAD", "raw bytes"}));
  c.C.SendStr("\r\nmore");  // plain reads from now on, line ends or not
  ASSERT_TRUE(RunEventsUntil([&] { return l.Lines().size() >= 4; }));
  EXPECT_EQ(l.Lines()[3], "\r\nmore");
}
