#include "net/SmtpAuth.h"
#include "net/SmtpProt.h"

#include "support/SmtpRecorder.h"
#include "support/SmtpServerFixture.h"
#include "support/TestCertificates.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TestCertificates &Certs() { return TestCertificates::Shared(); }
QStringList Tls(const std::string &kind = "good") { return Certs().ServerOptions(kind); }

// A client for the test server, sending two lines from ann to three recipients.
struct SecureClient : SmtpRecorder {
  SecureClient(int port, TMailSecurity security, bool login, const std::string &password = "s3cret")
      : SmtpRecorder(std::to_string(port), "localhost") {
    Smtp.Security = security;
    Smtp.Login = login;
    Smtp.Username = "ann";
    Smtp.Password = password;
    Smtp.FromName = Smtp.HdrFrom = "ann@example.org";
    Smtp.RcptName = {"a@example.org", "b@example.org", "c@example.org"};
    Smtp.HdrSubject = "News";
    Smtp.WSocket().SslCAFile = Certs().CaFile();
    Body = {"line 1", "line 2"};
  }
};

}  // namespace

TEST(SmtpAuth, CapabilitiesAndTheMechanismChosen) {
  const TSmtpCapabilities caps = ParseEhloReply({"250-mail.example.org greets you", "250-SIZE 35882577",
                                                 "250-auth plain Login", "250-AUTH=CRAM-MD5", "250-STARTTLS",
                                                 "250 8BITMIME"});
  EXPECT_TRUE(caps.StartTls);
  EXPECT_TRUE(caps.Size);
  EXPECT_EQ(caps.MaxSize, 35882577);
  EXPECT_EQ(caps.Auth, (std::set<std::string>{"PLAIN", "LOGIN", "CRAM-MD5"}));
  EXPECT_EQ(ChooseSmtpAuth(caps, true), smtpAuthPlain);
  EXPECT_EQ(ChooseSmtpAuth(caps, false), smtpAuthCramMd5);  // the password never shows
  // The greeting line is not a capability; a damaged size is no limit; other codes are ignored.
  const TSmtpCapabilities odd = ParseEhloReply({"250 STARTTLS", "250-SIZE 12x", "550-AUTH PLAIN", "250-AUTH LOGIN"});
  EXPECT_FALSE(odd.StartTls);
  EXPECT_TRUE(odd.Size);
  EXPECT_EQ(odd.MaxSize, 0);
  EXPECT_EQ(odd.Auth, std::set<std::string>{"LOGIN"});
  EXPECT_EQ(ChooseSmtpAuth(odd, false), smtpAuthLogin);
  EXPECT_EQ(ChooseSmtpAuth(TSmtpCapabilities(), true), smtpAuthNone);
}

TEST(SmtpAuth, LoginAnswersMatchThePublishedExamples) {
  EXPECT_EQ(AuthPlainResponse("tim", "tanstaaftanstaaf"), "AHRpbQB0YW5zdGFhZnRhbnN0YWFm");
  EXPECT_EQ(HmacMd5Hex(std::string(16, '\x0b'), "Hi There"), "9294727a3638bb1c13f48ef8158bfc9d");
  EXPECT_EQ(HmacMd5Hex("Jefe", "what do ya want for nothing?"), "750c783e6ab0b503eaa86e310a5db738");
  EXPECT_EQ(HmacMd5Hex(std::string(80, '\xaa'), "Test Using Larger Than Block-Size Key - Hash Key First"),
            "6b1ab7fe4bd7bf8f0b62e6ce61b9d0cd");
  EXPECT_EQ(CramMd5Response("tim", "tanstaaftanstaaf",
                            Base64Text("<1896.697170952@postoffice.reston.mci.net>")),
            "dGltIGI5MTNhNjAyYzdlZGE3YTQ5NWI0ZTZlNzMzNGQzODkw");
}

TEST(SmtpSecure, LoginOverStartTlsAndImplicitTlsDeliversKeepsTheSizeAndHidesThePassword) {
  ASSERT_TRUE(Certs().IsValid());
  for (const bool implicit : {false, true}) {
    SCOPED_TRACE(implicit ? "implicit" : "STARTTLS");
    SmtpServerFixture server(Tls() + QStringList{"--auth", "ann:s3cret", "--size", "2000",
                                                 implicit ? "--implicit" : "--auth-require-tls"});
    ASSERT_TRUE(server.IsRunning());
    SecureClient c(server.Port(), implicit ? secSslTls : secStartTls, true);
    c.Smtp.MessageSize = 600;
    ASSERT_EQ(c.Run(&TSmtpCli::Open), 0) << c.Smtp.ErrorMessage();
    EXPECT_TRUE(c.Smtp.WSocket().SslActive());
    EXPECT_TRUE(c.Smtp.Capabilities().Auth.count("PLAIN"));
    EXPECT_EQ(c.Smtp.Capabilities().MaxSize, 2000);
    ASSERT_EQ(c.Run(&TSmtpCli::Mail), 0) << c.Smtp.ErrorMessage();
    // A message over the server's limit is refused before anything of it is sent.
    c.Smtp.MessageSize = 5000;
    EXPECT_EQ(c.Run(&TSmtpCli::Mail), 552);
    EXPECT_NE(c.Smtp.ErrorMessage().find("5000 bytes; the server takes at most 2000"), std::string::npos);
    EXPECT_EQ(c.Run(&TSmtpCli::Quit), 0);
    const auto messages = server.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].RcptTo, (std::vector<std::string>{"a@example.org", "b@example.org", "c@example.org"}));
    EXPECT_NE(messages[0].Data.find("line 2\r\n"), std::string::npos);
    const std::string trace = c.AllTrace();
    EXPECT_EQ(trace.find("> STARTTLS") != std::string::npos, !implicit);
    EXPECT_NE(trace.find("> MAIL FROM:<ann@example.org> SIZE=600"), std::string::npos);
    EXPECT_NE(trace.find("> AUTH PLAIN ****"), std::string::npos);
    EXPECT_EQ(trace.find(AuthPlainResponse("ann", "s3cret")), std::string::npos);
    EXPECT_EQ(trace.find("s3cret"), std::string::npos);
    // The login names this host, never the user name.
    EXPECT_EQ(trace.find("EHLO ann"), std::string::npos);
    EXPECT_EQ(trace.find("EHLO localhost"), std::string::npos);
  }
}

TEST(SmtpSecure, RefusalsSayWhy) {
  ASSERT_TRUE(Certs().IsValid());
  struct Case {
    const char *name;
    QStringList options;
    TMailSecurity security;
    bool login;
    const char *password;
    int error;
    const char *text;
  };
  const std::vector<Case> cases = {
      {"starttls not offered", {"--auth", "ann:s3cret"}, secStartTls, true, "s3cret", 500,
       "does not offer STARTTLS"},
      {"wrong password", Tls() + QStringList{"--auth", "ann:s3cret"}, secStartTls, true, "wrong", 535, "535"},
      {"login only without TLS", {"--auth", "ann:s3cret"}, secNone, true, "s3cret", 500, "clear text"},
      // The other refusals of certificates: WSocketTlsTest.
      {"unknown issuer", Tls("self"), secStartTls, false, "", sslCertificateRefused, "self-signed certificate"},
  };
  for (const Case &k : cases) {
    SCOPED_TRACE(k.name);
    SmtpServerFixture server(k.options);
    ASSERT_TRUE(server.IsRunning());
    SecureClient c(server.Port(), k.security, k.login, k.password);
    EXPECT_EQ(c.Run(&TSmtpCli::Open), k.error);
    EXPECT_NE(c.Smtp.ErrorMessage().find(k.text), std::string::npos) << c.Smtp.ErrorMessage();
    EXPECT_EQ(c.AllTrace().find("AUTH PLAIN A"), std::string::npos);  // no secret went out
    RunEventsUntil([&] { return !c.Smtp.Connected(); }, 3000);
    if (c.Smtp.Connected()) c.Run(&TSmtpCli::Quit);
    EXPECT_TRUE(server.Messages().empty());
  }
}
