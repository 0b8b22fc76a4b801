// TPop3Cli against a real Dovecot on 127.0.0.1.
#include "net/Pop3Prot.h"
#include "support/Pop3Recorder.h"
#include "support/Pop3ServerFixture.h"

#include <gtest/gtest.h>

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

} // namespace

TEST(Pop3Dovecot, ListRetrieveByteExactAndDelete) {
  Pop3ServerFixture server;
  server.AddMessage(Mail(1, "first body\r\n"));
  server.AddMessage(Mail(2, kTrickyBody));
  server.AddMessage(Mail(3, "third body\r\nwith two lines\r\n"));
  Pop3Recorder r;
  r.Point(server.Host(), server.PortText(), server.User(), server.Password());
  ASSERT_EQ(r.Run([&] { r.Cli.Open(); }), 0) << r.Cli.ErrorMessage() << server.Log();
  EXPECT_EQ(r.DoneCount, 1); // the chain reports once
  EXPECT_EQ(r.Cli.ProtocolState(), pop3Transaction);
  ASSERT_EQ(r.Run([&] { r.Cli.Stat(); }), 0);
  EXPECT_EQ(r.Cli.MsgCount(), 3);

  // The whole listing names messages 1 to 3 in order, each with an identifier of its own.
  r.Events.clear();
  r.Cli.MsgNum = 0;
  ASSERT_EQ(r.Run([&] { r.Cli.Uidl(); }), 0);
  ASSERT_EQ(r.Events.size(), 6u);
  std::set<std::string> ids;
  for (int i = 1; i <= 3; ++i) {
    const std::string prefix = "uidl " + std::to_string(i) + " ";
    EXPECT_EQ(r.Events[i].rfind(prefix, 0), 0u) << r.Events[i];
    ids.insert(r.Events[i].substr(prefix.size()));
  }
  EXPECT_EQ(ids.size(), 3u);
  // UIDL of one message gives the identifier of the listing.
  r.Cli.MsgNum = 3;
  ASSERT_EQ(r.Run([&] { r.Cli.Uidl(); }), 0);
  const std::string third = r.Cli.MsgUidl();
  EXPECT_EQ(r.Events[3], "uidl 3 " + third);

  r.Cli.MsgNum = 2;
  ASSERT_EQ(r.Run([&] { r.Cli.Retr(); }), 0);
  EXPECT_EQ(r.MessageText(), Mail(2, kTrickyBody));
  // Data lines never reach the trace.
  for (const std::string &t : r.Trace)
    EXPECT_EQ(t.find("last line"), std::string::npos) << t;
  r.Cli.MsgNum = 3;
  r.Cli.MsgLines = 1;
  ASSERT_EQ(r.Run([&] { r.Cli.Top(); }), 0);
  EXPECT_EQ(r.MessageText(), Mail(3, "third body\r\n"));

  // Message 9 does not exist: a negative reply, the session goes on.
  r.Cli.MsgNum = 9;
  EXPECT_EQ(r.Run([&] { r.Cli.List(); }), 500);
  EXPECT_EQ(r.Cli.ErrorMessage().rfind("-ERR", 0), 0u);
  EXPECT_EQ(r.Cli.ProtocolState(), pop3Transaction);

  // DELE undone by RSET keeps message 1; message 2 goes, and cannot be retrieved any more.
  r.Cli.MsgNum = 1;
  ASSERT_EQ(r.Run([&] { r.Cli.Dele(); }), 0);
  ASSERT_EQ(r.Run([&] { r.Cli.RSet(); }), 0);
  r.Cli.MsgNum = 2;
  ASSERT_EQ(r.Run([&] { r.Cli.Dele(); }), 0);
  EXPECT_EQ(r.Run([&] { r.Cli.Retr(); }), 500);
  ASSERT_EQ(r.Run([&] { r.Cli.Quit(); }), 0);
  EXPECT_FALSE(r.Cli.Connected());
  EXPECT_EQ(server.MessageCount(), 2u);

  // The next session, logged in with APOP (the digest of the greeting's time stamp and the
  // password): the last message keeps its identifier under its new number.
  ASSERT_EQ(r.Run([&] { r.Cli.Connect(); }), 0);
  ASSERT_FALSE(r.Cli.TimeStamp().empty());
  ASSERT_EQ(r.Run([&] { r.Cli.APop(); }), 0) << r.Cli.LastResponse() << server.Log();
  EXPECT_EQ(r.Cli.ProtocolState(), pop3Transaction);
  r.Cli.MsgNum = 2;
  ASSERT_EQ(r.Run([&] { r.Cli.Uidl(); }), 0);
  EXPECT_EQ(r.Cli.MsgUidl(), third);
  ASSERT_EQ(r.Run([&] { r.Cli.Quit(); }), 0);
}

TEST(Pop3Dovecot, WrongPasswords) {
  Pop3ServerFixture server;
  server.AddMessage(Mail(1, "body\r\n"));
  Pop3Recorder apop;
  apop.Point(server.Host(), server.PortText(), server.User(), "not the secret");
  ASSERT_EQ(apop.Run([&] { apop.Cli.Connect(); }), 0);
  EXPECT_EQ(apop.Run([&] { apop.Cli.APop(); }), 500) << apop.Cli.LastResponse() << server.Log();
  EXPECT_EQ(apop.Cli.ProtocolState(), pop3WaitingUser);
  apop.Run([&] { apop.Cli.Quit(); });

  // Open with a wrong password: one completion, the server's refusal, nothing sent after PASS.
  Pop3Recorder open;
  open.Point(server.Host(), server.PortText(), server.User(), "wrong");
  EXPECT_EQ(open.Run([&] { open.Cli.Open(); }), 500);
  EXPECT_EQ(open.DoneCount, 1);
  EXPECT_EQ(open.LastRq, pop3Open);
  EXPECT_EQ(open.Cli.ErrorMessage().rfind("-ERR", 0), 0u) << open.Cli.ErrorMessage();
  EXPECT_EQ(open.Cli.ErrorMessage(), open.Cli.LastResponse());
  std::vector<std::string> sent;
  for (const std::string &t : open.Trace)
    if (t.rfind("> ", 0) == 0)
      sent.push_back(t);
  EXPECT_EQ(sent, (std::vector<std::string>{"> USER tester", "> PASS ********"}));
  open.Run([&] { open.Cli.Quit(); });
}
