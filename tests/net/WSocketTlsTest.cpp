#include "net/SslFingerprint.h"
#include "net/WSocket.h"

#include "support/QtTestApp.h"
#include "support/ScriptProcess.h"
#include "support/TestCertificates.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

TestCertificates &Certs() { return TestCertificates::Shared(); }

std::unique_ptr<ScriptProcess> TlsServer(const std::string &mode, const std::string &kind = "good") {
  return std::make_unique<ScriptProcess>("tls_server.py",
                                         QStringList{QString::fromStdString(mode)} + Certs().ServerOptions(kind));
}

// A line-mode client of the test TLS server that records what it sees.
struct Client {
  TWSocket S;
  std::vector<std::string> Lines;
  int Connected = -1;    // error of the connect event, -1 before it
  int Closed = -1;       // error of the close event, -1 before it
  int Handshake = -1;    // error of the on-request handshake, -1 before it
  std::function<void(const std::string &)> OnLine;

  explicit Client(int port, bool implicit) {
    EnsureQtApp();
    S.SetLineMode(true);
    S.SslImplicit = implicit;
    S.SslCAFile = Certs().CaFile();
    S.SslHostName = "localhost";
    S.OnSessionConnected = [this](TComponent *, uint16_t e) { Connected = e; };
    S.OnSessionClosed = [this](TComponent *, uint16_t e) { Closed = e; };
    S.OnSslHandshakeDone = [this](TComponent *, uint16_t e) { Handshake = e; };
    S.OnDataAvailable = [this](TComponent *, uint16_t) {
      std::string l = S.ReceiveStr();
      while (!l.empty() && (l.back() == '\n' || l.back() == '\r')) l.pop_back();
      Lines.push_back(l);
      if (OnLine) OnLine(l);
    };
    S.SetAddr("127.0.0.1");
    S.SetPort(std::to_string(port));
    S.Connect();
  }
  bool WaitLines(size_t n) { return RunEventsUntil([&] { return Lines.size() >= n || Closed >= 0; }); }
};

}  // namespace

TEST(SslFingerprint, FormatsComparesAndExplains) {
  const unsigned char d[] = {0x00, 0xAB, 0x7f};
  EXPECT_EQ(FormatFingerprint(d, 3), "00:AB:7F");
  const std::string fp = "0A:1B:2C:3D:4E:5F:60:71:82:93:A4:B5:C6:D7:E8:F9:0A:1B:2C:3D:4E:5F:60:71:82:93:A4:B5:C6:D7:E8:F9";
  std::string plain;
  for (char c : fp)
    if (c != ':') plain += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  EXPECT_TRUE(SameFingerprint(fp, plain));
  EXPECT_FALSE(SameFingerprint(fp, plain.substr(2) + "00"));
  EXPECT_FALSE(SameFingerprint("", ""));             // nothing trusted matches nothing
  EXPECT_FALSE(SameFingerprint("AB:CD", "AB:CD"));   // not a SHA-256 digest
  EXPECT_FALSE(SameFingerprint(fp + "zz", fp));
  EXPECT_EQ(SslRefusalText("certificate has expired", "AA:BB"),
            "The server's certificate was refused: certificate has expired. SHA-256 fingerprint: AA:BB");
}

TEST(WSocketTls, ImplicitTlsCarriesLinesBothWaysEndsWithCloseNotifyAndResumes) {
  ASSERT_TRUE(Certs().IsValid());
  auto server = TlsServer("echo");
  ASSERT_NE(server->Port(), 0);
  Client c(server->Port(), true);
  ASSERT_TRUE(c.WaitLines(1));
  EXPECT_EQ(c.Connected, 0);
  ASSERT_EQ(c.Lines, std::vector<std::string>{"HELLO"});
  EXPECT_TRUE(c.S.SslActive());
  EXPECT_EQ(c.S.SslPeerFingerprint(), Certs().Fingerprint("good"));
  // A line far larger than a TLS record and than the socket buffers goes out whole.
  const std::string big(300000, 'q');
  c.S.SendStr("abc\r\n" + big + "\r\n");
  ASSERT_TRUE(c.WaitLines(3));
  EXPECT_EQ(c.Lines[1], "ABC");
  EXPECT_EQ(c.Lines[2], std::string(300000, 'Q'));
  c.S.SendStr("BYE\r\n");
  ASSERT_TRUE(RunEventsUntil([&] { return c.Closed >= 0; }));
  EXPECT_EQ(c.Lines.back(), "BYE");
  EXPECT_EQ(c.Closed, 0);  // the server's close_notify is an orderly end
  EXPECT_EQ(c.S.State(), wsClosed);

  // A second session to the same server resumes the first one's TLS session.
  Client again(server->Port(), true);
  ASSERT_TRUE(again.WaitLines(1));
  EXPECT_EQ(again.Connected, 0);
  EXPECT_TRUE(again.S.SslSessionReused());

  // Each line's handler asks for the next one and then takes its time (as storing a message
  // does), so the answer is already in when the handler returns and the layer decrypts it
  // before anyone reads it: nothing on the handle is left to wake the reader for it.
  constexpr int kAsked = 12;
  int asked = 1;
  again.OnLine = [&](const std::string &) {
    if (asked == kAsked) return;
    again.S.SendStr("line " + std::to_string(++asked) + "\r\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
  };
  again.S.SendStr("line 1\r\n");
  ASSERT_TRUE(RunEventsUntil([&] { return again.Lines.size() > size_t(kAsked) || again.Closed >= 0; }, 5000))
      << again.Lines.size() << " lines, the last " << again.Lines.back();
  EXPECT_EQ(again.Lines.back(), "LINE " + std::to_string(kAsked));
  EXPECT_EQ(again.Closed, -1);
}

TEST(WSocketTls, TlsOnRequestDropsWhatCameInClearTextBeforeIt) {
  ASSERT_TRUE(Certs().IsValid());
  auto server = TlsServer("starttls");
  ASSERT_NE(server->Port(), 0);
  Client c(server->Port(), false);
  c.OnLine = [&](const std::string &l) {
    if (l == "PLAIN") c.S.SendStr("STARTTLS\r\n");
    if (l == "GO") c.S.StartTls();
  };
  ASSERT_TRUE(RunEventsUntil([&] { return c.Handshake >= 0 || c.Closed >= 0; }));
  EXPECT_EQ(c.Handshake, 0);
  ASSERT_TRUE(c.WaitLines(3));
  c.S.SendStr("secret\r\n");
  ASSERT_TRUE(c.WaitLines(4));
  // "INJECTED" came in the same clear-text write as "GO": it is never read.
  EXPECT_EQ(c.Lines, (std::vector<std::string>{"PLAIN", "GO", "HELLO", "SECRET"}));
  EXPECT_EQ(c.Connected, 0);
}

TEST(WSocketTls, RefusedCertificatesAndHostileServersEndInAClearErrorNotAHang) {
  ASSERT_TRUE(Certs().IsValid());
  const struct {
    const char *mode, *kind, *trusted;  // the server's behaviour and certificate; the fingerprint trusted
    int error;
    const char *text;  // in the error message, with the certificate's fingerprint when refused
  } cases[] = {
      {"echo", "wronghost", "", sslCertificateRefused, "hostname mismatch"},
      {"echo", "expired", "", sslCertificateRefused, "certificate has expired"},
      {"echo", "self", "", sslCertificateRefused, "self-signed certificate"},
      // A trusted fingerprint admits that certificate only.
      {"echo", "self", "self", 0, ""},
      {"echo", "self2", "self", sslCertificateRefused, "self-signed certificate"},
      {"stall", "good", "", sslHandshakeTimeout, "timed out"},
      {"hangup", "good", "", sslHandshakeFailed, "closed the connection during the TLS handshake"},
      {"garbage", "good", "", sslHandshakeFailed, "The TLS handshake failed: "},
  };
  for (const auto &k : cases) {
    SCOPED_TRACE(std::string(k.mode) + " " + k.kind);
    auto server = TlsServer(k.mode, k.kind);
    ASSERT_NE(server->Port(), 0);
    Client c(server->Port(), true);  // the settings below are read when the connection is up
    c.S.SslHandshakeTimeout = 400;
    if (*k.trusted) c.S.SslTrustedFingerprint = Certs().Fingerprint(k.trusted);
    ASSERT_TRUE(RunEventsUntil([&] { return c.Connected >= 0; }, 10000));
    EXPECT_EQ(c.Connected, k.error);
    if (k.error == 0) {
      EXPECT_TRUE(c.WaitLines(1));
      continue;
    }
    const std::string msg = c.S.LastErrorMessage();
    EXPECT_NE(msg.find(k.text), std::string::npos) << msg;
    if (k.error == sslCertificateRefused) {
      EXPECT_NE(msg.find(Certs().Fingerprint(k.kind)), std::string::npos) << msg;
    }
    EXPECT_TRUE(c.Lines.empty());  // nothing of the server reaches the reader
    EXPECT_TRUE(RunEventsUntil([&] { return c.S.State() == wsClosed; }));
  }
}
