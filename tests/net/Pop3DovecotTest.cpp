// TPop3Cli against a real Dovecot on 127.0.0.1.
#include "net/Pop3Prot.h"
#include "support/Pop3Recorder.h"
#include "support/Pop3ServerFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>

namespace {

std::string Mail(int n, const std::string &body) {
  return "From: Sender " + std::to_string(n) + " <s" + std::to_string(n) +
         "@example.org>\r\nTo: list@example.org\r\nSubject: Message " + std::to_string(n) +
         "\r\n\r\n" + body;
}

// Lines a careless client would get wrong: lone periods, stuffed periods, 8-bit text, a
// long line, an empty line and a line of blanks.
const std::string kTrickyBody = ".\r\n..\r\n.x\r\n...three\r\nend.\r\n\r\n   \r\n"
                                "caf\xe9 \xa3" "5 \x80\r\n" +
                                std::string(3000, 'w') + "\r\n.\r\nlast line\r\n";

class Pop3Dovecot : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    Server = std::make_unique<Pop3ServerFixture>();
    Server->AddMessage(Mail(1, "first body\r\n"));
    Server->AddMessage(Mail(2, kTrickyBody));
    Server->AddMessage(Mail(3, "third body\r\nwith two lines\r\n"));
  }
  static void TearDownTestSuite() { Server.reset(); }

  void SetUp() override {
    R.Point(Server->Host(), Server->PortText(), Server->User(), Server->Password());
  }
  void TearDown() override {
    if (R.Cli.Connected())
      R.Run([this] { R.Cli.Quit(); });
  }

  static std::unique_ptr<Pop3ServerFixture> Server;
  Pop3Recorder R;
};

std::unique_ptr<Pop3ServerFixture> Pop3Dovecot::Server;

} // namespace

TEST_F(Pop3Dovecot, OpenStatListAndUidl) {
  ASSERT_EQ(R.Run([this] { R.Cli.Open(); }), 0) << R.Cli.ErrorMessage() << Server->Log();
  EXPECT_EQ(R.LastRq, pop3Open);
  EXPECT_EQ(R.DoneCount, 1); // the chain reports once
  EXPECT_EQ(R.Cli.ProtocolState(), pop3Transaction);
  EXPECT_EQ(R.Cli.State(), pop3Ready);
  // Dovecot greets with an APOP time stamp.
  EXPECT_EQ(R.Cli.TimeStamp().front(), '<');
  EXPECT_EQ(R.Cli.TimeStamp().back(), '>');

  ASSERT_EQ(R.Run([this] { R.Cli.Stat(); }), 0);
  EXPECT_EQ(R.Cli.MsgCount(), 3);
  const int total = R.Cli.MsgSize();

  // The values of a whole listing, which must name messages 1 to 3 in order.
  auto listing = [this](void (TPop3Cli::*op)(), const std::string &kind) {
    std::vector<std::string> values;
    R.Events.clear();
    R.Cli.MsgNum = 0;
    EXPECT_EQ(R.Run([&] { (R.Cli.*op)(); }), 0);
    EXPECT_EQ(R.Events.size(), 6u);
    EXPECT_EQ(R.Events.front(), kind + "-begin");
    EXPECT_EQ(R.Events.at(4), kind + "-end");
    for (int i = 1; i <= 3 && i < int(R.Events.size()); ++i) {
      const std::string prefix = kind + " " + std::to_string(i) + " ";
      EXPECT_EQ(R.Events[i].rfind(prefix, 0), 0u) << R.Events[i];
      values.push_back(R.Events[i].substr(prefix.size()));
    }
    return values;
  };
  int sum = 0;
  for (const std::string &size : listing(&TPop3Cli::List, "list")) sum += std::stoi(size);
  EXPECT_EQ(sum, total);
  EXPECT_EQ(R.Cli.LastResponse(), ""); // cleared at the closing line

  R.Cli.MsgNum = 2;
  ASSERT_EQ(R.Run([this] { R.Cli.List(); }), 0);
  EXPECT_EQ(R.Cli.MsgNum, 2);
  EXPECT_GT(R.Cli.MsgSize(), int(kTrickyBody.size()));

  const std::vector<std::string> uidls = listing(&TPop3Cli::Uidl, "uidl");
  EXPECT_EQ(std::set<std::string>(uidls.begin(), uidls.end()).size(), 3u);
  // UIDL of one message gives the same identifier as the list.
  R.Cli.MsgNum = 3;
  ASSERT_EQ(R.Run([this] { R.Cli.Uidl(); }), 0);
  EXPECT_EQ(R.Cli.MsgNum, 3);
  EXPECT_EQ(R.Events[3], "uidl 3 " + R.Cli.MsgUidl());

  ASSERT_EQ(R.Run([this] { R.Cli.Noop(); }), 0);
  // Message 9 does not exist: a negative reply, the session goes on.
  R.Cli.MsgNum = 9;
  EXPECT_EQ(R.Run([this] { R.Cli.List(); }), 500);
  EXPECT_EQ(R.Cli.StatusCode(), 500);
  EXPECT_EQ(R.Cli.ErrorMessage().rfind("-ERR", 0), 0u);
  EXPECT_EQ(R.Cli.ProtocolState(), pop3Transaction);

  ASSERT_EQ(R.Run([this] { R.Cli.Quit(); }), 0);
  EXPECT_EQ(R.Cli.ProtocolState(), pop3Disconnected);
  EXPECT_FALSE(R.Cli.Connected());
}

TEST_F(Pop3Dovecot, RetrUnstuffsByteExactAndTopGivesHeaders) {
  ASSERT_EQ(R.Run([this] { R.Cli.Open(); }), 0) << R.Cli.ErrorMessage();
  R.Cli.MsgNum = 2;
  ASSERT_EQ(R.Run([this] { R.Cli.Retr(); }), 0);
  EXPECT_EQ(R.MessageText(), Mail(2, kTrickyBody));
  EXPECT_EQ(R.Events.back(), "done 7 0");
  EXPECT_EQ(R.Events[R.Events.size() - 2], "msg-end");
  // Data lines never reach the trace.
  for (const std::string &t : R.Trace)
    EXPECT_EQ(t.find("last line"), std::string::npos) << t;

  R.Cli.MsgNum = 3;
  R.Cli.MsgLines = 0;
  ASSERT_EQ(R.Run([this] { R.Cli.Top(); }), 0);
  EXPECT_EQ(R.MessageText(), "From: Sender 3 <s3@example.org>\r\nTo: list@example.org\r\n"
                             "Subject: Message 3\r\n\r\n");
  R.Cli.MsgLines = 1;
  ASSERT_EQ(R.Run([this] { R.Cli.Top(); }), 0);
  EXPECT_EQ(R.Message.back(), "third body");
}

TEST_F(Pop3Dovecot, ApopAndWrongPasswords) {
  // APOP: the digest of the greeting's time stamp and the password.
  ASSERT_EQ(R.Run([this] { R.Cli.Connect(); }), 0);
  EXPECT_EQ(R.LastRq, pop3Connect);
  ASSERT_FALSE(R.Cli.TimeStamp().empty());
  ASSERT_EQ(R.Run([this] { R.Cli.APop(); }), 0) << R.Cli.LastResponse() << Server->Log();
  EXPECT_EQ(R.LastRq, pop3APop);
  EXPECT_EQ(R.Cli.ProtocolState(), pop3Transaction);
  ASSERT_EQ(R.Run([this] { R.Cli.Stat(); }), 0);
  EXPECT_EQ(R.Cli.MsgCount(), 3);
  ASSERT_EQ(R.Run([this] { R.Cli.Quit(); }), 0);

  // A wrong APOP digest is refused.
  Pop3Recorder bad;
  bad.Point(Server->Host(), Server->PortText(), Server->User(), "not the secret");
  ASSERT_EQ(bad.Run([&] { bad.Cli.Connect(); }), 0);
  EXPECT_EQ(bad.Run([&] { bad.Cli.APop(); }), 500);
  EXPECT_EQ(bad.Cli.ProtocolState(), pop3WaitingUser);
  bad.Run([&] { bad.Cli.Quit(); });

  // Open with a wrong password: one completion, the server's refusal, nothing sent after PASS.
  Pop3Recorder open;
  open.Point(Server->Host(), Server->PortText(), Server->User(), "wrong");
  EXPECT_EQ(open.Run([&] { open.Cli.Open(); }), 500);
  EXPECT_EQ(open.DoneCount, 1);
  EXPECT_EQ(open.LastRq, pop3Open);
  EXPECT_EQ(open.Cli.ErrorMessage().rfind("-ERR", 0), 0u) << open.Cli.ErrorMessage();
  EXPECT_EQ(open.Cli.ErrorMessage(), open.Responses.back());
  EXPECT_EQ(open.Cli.ProtocolState(), pop3WaitingPass);
  ASSERT_FALSE(open.Trace.empty());
  std::vector<std::string> sent;
  for (const std::string &t : open.Trace)
    if (t.rfind("> ", 0) == 0)
      sent.push_back(t);
  EXPECT_EQ(sent, (std::vector<std::string>{"> USER tester", "> PASS ********"}));
  open.Run([&] { open.Cli.Quit(); });
}

TEST_F(Pop3Dovecot, UidlStableAcrossSessionsAndRestarts) {
  auto identifiers = [this](const std::string &host) {
    std::vector<std::string> ids;
    Pop3Recorder r;
    r.Point(host, Server->PortText(), Server->User(), Server->Password());
    EXPECT_EQ(r.Run([&] { r.Cli.Open(); }), 0) << r.Cli.ErrorMessage();
    r.Cli.MsgNum = 0;
    EXPECT_EQ(r.Run([&] { r.Cli.Uidl(); }), 0);
    for (const std::string &e : r.Events)
      if (e.rfind("uidl ", 0) == 0)
        ids.push_back(e);
    r.Run([&] { r.Cli.Quit(); });
    return ids;
  };
  const auto first = identifiers(Server->Host());
  ASSERT_EQ(first.size(), 3u);
  // A host name goes through the name lookup instead of the dotted-address shortcut.
  EXPECT_EQ(identifiers("localhost"), first);
  Server->Restart();
  EXPECT_EQ(identifiers(Server->Host()), first);
}

TEST(Pop3DovecotDelete, DeleQuitRemovesAndRsetKeeps) {
  Pop3ServerFixture server;
  for (int i = 1; i <= 3; ++i)
    server.AddMessage(Mail(i, "body\r\n"));
  Pop3Recorder r;
  r.Point(server.Host(), server.PortText(), server.User(), server.Password());

  // DELE undone by RSET: nothing is removed.
  ASSERT_EQ(r.Run([&] { r.Cli.Open(); }), 0) << r.Cli.ErrorMessage();
  r.Cli.MsgNum = 1;
  ASSERT_EQ(r.Run([&] { r.Cli.Dele(); }), 0);
  ASSERT_EQ(r.Run([&] { r.Cli.RSet(); }), 0);
  ASSERT_EQ(r.Run([&] { r.Cli.Quit(); }), 0);
  EXPECT_EQ(server.MessageCount(), 3u);

  // DELE then QUIT removes the message; the other two keep their identifiers.
  ASSERT_EQ(r.Run([&] { r.Cli.Open(); }), 0);
  r.Cli.MsgNum = 3;
  ASSERT_EQ(r.Run([&] { r.Cli.Uidl(); }), 0);
  const std::string third = r.Cli.MsgUidl();
  r.Cli.MsgNum = 2;
  ASSERT_EQ(r.Run([&] { r.Cli.Dele(); }), 0);
  // A deleted message cannot be retrieved any more in the same session.
  EXPECT_EQ(r.Run([&] { r.Cli.Retr(); }), 500);
  ASSERT_EQ(r.Run([&] { r.Cli.Quit(); }), 0);
  EXPECT_EQ(server.MessageCount(), 2u);

  ASSERT_EQ(r.Run([&] { r.Cli.Open(); }), 0);
  ASSERT_EQ(r.Run([&] { r.Cli.Stat(); }), 0);
  EXPECT_EQ(r.Cli.MsgCount(), 2);
  r.Cli.MsgNum = 2;
  ASSERT_EQ(r.Run([&] { r.Cli.Uidl(); }), 0);
  EXPECT_EQ(r.Cli.MsgUidl(), third);
  ASSERT_EQ(r.Run([&] { r.Cli.Quit(); }), 0);
}
