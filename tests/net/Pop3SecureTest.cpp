#include "net/Pop3Prot.h"

#include "support/Pop3Recorder.h"
#include "support/Pop3ServerFixture.h"
#include "support/QtTestApp.h"
#include "support/TestCertificates.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

namespace {

TestCertificates &Certs() { return TestCertificates::Shared(); }

// Dovecot with TLS required, shared by the tests of this file.
class Pop3Secure : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    EnsureQtApp();
    if (!Certs().IsValid()) return;
    Server = std::make_unique<Pop3ServerFixture>("tester", "secret", Certs().Cert("good"), Certs().Key("good"));
    Server->AddMessage("Subject: one\r\n\r\nfirst body\r\n");
    Server->AddMessage("Subject: two\r\n\r\nsecond body\r\n");
  }
  static void TearDownTestSuite() { Server.reset(); }
  void SetUp() override { ASSERT_TRUE(Server) << "no certificates"; }

  static void Point(Pop3Recorder &r, int port, TMailSecurity security) {
    r.Point("localhost", std::to_string(port), Server->User(), Server->Password());
    r.Cli.Security = security;
    r.Cli.WSocket().SslCAFile = Certs().CaFile();
  }
  static std::unique_ptr<Pop3ServerFixture> Server;
};
std::unique_ptr<Pop3ServerFixture> Pop3Secure::Server;

}  // namespace

TEST_F(Pop3Secure, FetchOverStlsAndOverImplicitTls) {
  for (bool implicit : {false, true}) {
    SCOPED_TRACE(implicit ? "implicit" : "STLS");
    Pop3Recorder r;
    Point(r, implicit ? Server->TlsPort() : Server->Port(), implicit ? secSslTls : secStartTls);
    ASSERT_EQ(r.Run([&] { r.Cli.Open(); }), 0) << r.Cli.ErrorMessage() << "\n" << Server->Log();
    EXPECT_TRUE(r.Cli.WSocket().SslActive());
    EXPECT_EQ(r.Cli.ProtocolState(), pop3Transaction);
    r.Cli.MsgNum = 2;
    ASSERT_EQ(r.Run([&] { r.Cli.Retr(); }), 0);
    EXPECT_NE(r.MessageText().find("second body"), std::string::npos);
    EXPECT_EQ(r.Run([&] { r.Cli.Quit(); }), 0);
    EXPECT_EQ(std::count(r.Trace.begin(), r.Trace.end(), "> STLS"), implicit ? 0 : 1);
  }
}

TEST_F(Pop3Secure, RefusalsSayWhyAndSendNoPassword) {
  // A server without STLS: the session ends before USER, nothing falls back to clear text.
  Pop3ServerFixture plainServer;
  Pop3Recorder noStls;
  noStls.Point("localhost", plainServer.PortText(), plainServer.User(), plainServer.Password());
  noStls.Cli.Security = secStartTls;
  EXPECT_EQ(noStls.Run([&] { noStls.Cli.Open(); }), Pop3ErrNegative);
  EXPECT_NE(noStls.Cli.ErrorMessage().find("The server refused STLS"), std::string::npos) << noStls.Cli.ErrorMessage();
  EXPECT_TRUE(RunEventsUntil([&] { return !noStls.Cli.Connected(); }));

  // A certificate from an issuer this client does not know.
  Pop3Recorder unknownCa;
  Point(unknownCa, Server->TlsPort(), secSslTls);
  unknownCa.Cli.WSocket().SslCAFile.clear();
  EXPECT_EQ(unknownCa.Run([&] { unknownCa.Cli.Open(); }), sslCertificateRefused);
  EXPECT_NE(unknownCa.Cli.ErrorMessage().find("unable to get local issuer certificate"), std::string::npos)
      << unknownCa.Cli.ErrorMessage();
  EXPECT_NE(unknownCa.Cli.ErrorMessage().find(Certs().Fingerprint("good")), std::string::npos);
  for (const Pop3Recorder *r : {&noStls, &unknownCa})
    for (const std::string &t : r->Trace) {
      EXPECT_EQ(t.find("> USER"), std::string::npos) << t;
      EXPECT_EQ(t.find("> PASS"), std::string::npos) << t;
    }
}
