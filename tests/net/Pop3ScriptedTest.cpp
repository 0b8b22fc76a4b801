// TPop3Cli against scripted servers: the corner cases a real server will not produce.
#include "net/Pop3Prot.h"
#include "support/QtTestApp.h"
#include "support/Pop3Recorder.h"
#include "support/ScriptedServer.h"
#include "support/Thrown.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <map>
#include <memory>

namespace {

// Runs the event loop for about Ms milliseconds.
void RunFor(int ms) { RunEventsUntil([] { return false; }, ms); }

// Greets every client with Text as soon as it connects.
void Greet(ScriptedServer &s, const std::string &text) {
  s.OnConnect = [text](ScriptedServer &srv) { srv.Send(text); };
}

// Writes Bytes in pieces of Piece bytes, DelayMs apart, so that they arrive in separate reads.
void SendInPieces(ScriptedServer &s, const std::string &bytes, std::size_t piece, int delayMs) {
  int when = 0;
  for (std::size_t pos = 0; pos < bytes.size(); pos += piece, when += delayMs)
    s.SendLater(bytes.substr(pos, piece), when);
}

// Everything the client sent, as lines with their CR LF.
std::string Received(const ScriptedServer &s) {
  std::string all;
  for (const std::string &l : s.Lines())
    all += l + "\r\n";
  return all;
}

const char kGreeting[] = "+OK POP3 ready <1896.697170952@dbc.mtview.ca.us>\r\n";

// Replies of a small well-behaved mailbox, by command line.
const std::map<std::string, std::string> kReplies = {
    {"USER tester", "+OK\r\n"},
    {"PASS secret", "+OK logged in\r\n"},
    {"STAT", "+OK 2 320\r\n"},
    {"LIST", "+OK 2 messages\r\n1 120\r\n2 200\r\n.\r\n"},
    {"LIST 2", "+OK 2 200\r\n"},
    {"UIDL", "+OK\r\n1 aaa\r\n2 bbb\r\n.\r\n"},
    {"UIDL 2", "+OK 2 bbb trailing words\r\n"},
    {"RETR 1", "+OK 120 octets\r\nSubject: x\r\n\r\n..\r\n.x\r\n...y\r\n\r\nend\r\n.\r\n"},
    {"TOP 1 0", "+OK\r\nSubject: x\r\n\r\n.\r\n"},
    {"LAST", "+OK 1\r\n"},
    {"NOOP", "+OK\r\n"},
    {"QUIT", "+OK bye\r\n"},
};

// Answers every command from kReplies, in pieces of Piece bytes (0: whole).
void Answer(ScriptedServer &s, std::size_t piece, int delayMs = 2) {
  s.OnLine = [piece, delayMs](ScriptedServer &s, const std::string &line) {
    const auto it = kReplies.find(line);
    const std::string reply = it == kReplies.end() ? "-ERR unknown\r\n" : it->second;
    if (piece == 0)
      s.Send(reply);
    else
      SendInPieces(s, reply, piece, delayMs);
  };
}

void Point(Pop3Recorder &r, ScriptedServer &s) {
  r.Point("127.0.0.1", s.Port(), "tester", "secret");
}

// A server that greets and answers from kReplies, and a client logged in to it.
void LogIn(ScriptedServer &s, Pop3Recorder &r) {
  Greet(s, kGreeting);
  Answer(s, 0);
  Point(r, s);
  ASSERT_EQ(r.Run([&] { r.Cli.Open(); }), 0);
}

// The whole conversation of one session; returns the events and what the server got.
std::pair<std::vector<std::string>, std::string> Converse(std::size_t piece) {
  ScriptedServer s;
  Greet(s, kGreeting);
  Answer(s, piece);
  Pop3Recorder r;
  // A line break in a setting cannot smuggle a second command; blanks are trimmed.
  r.Point("127.0.0.1", s.Port(), "tester\r\nDELE 1", " secret ");
  EXPECT_EQ(r.Run([&] { r.Cli.Open(); }), 0);
  EXPECT_EQ(r.Run([&] { r.Cli.Stat(); }), 0);
  EXPECT_EQ(r.Cli.MsgCount(), 2);
  EXPECT_EQ(r.Cli.MsgSize(), 320);
  EXPECT_EQ(r.Run([&] { r.Cli.List(); }), 0);
  EXPECT_EQ(r.Cli.MsgNum, 2); // the last listed line
  r.Cli.MsgNum = 0;
  EXPECT_EQ(r.Run([&] { r.Cli.Uidl(); }), 0);
  r.Cli.MsgNum = 1;
  EXPECT_EQ(r.Run([&] { r.Cli.Retr(); }), 0);
  r.Cli.MsgLines = 0;
  EXPECT_EQ(r.Run([&] { r.Cli.Top(); }), 0);
  r.Cli.MsgNum = 2;
  EXPECT_EQ(r.Run([&] { r.Cli.List(); }), 0);
  EXPECT_EQ(r.Cli.MsgSize(), 200);
  EXPECT_EQ(r.Run([&] { r.Cli.Uidl(); }), 0);
  EXPECT_EQ(r.Cli.MsgUidl(), "bbb");
  EXPECT_EQ(r.Run([&] { r.Cli.Last(); }), 0);
  EXPECT_EQ(r.Cli.MsgNum, 1);
  // The owner may start the next request as soon as State is ready again, before the
  // completion of the last one has been delivered: each completion names its own request.
  const int done = r.DoneCount;
  r.Cli.Stat();
  EXPECT_TRUE(RunEventsUntil([&] { return r.Cli.State() == pop3Ready; }));
  r.Cli.Noop();
  EXPECT_TRUE(RunEventsUntil([&] { return r.DoneCount == done + 2; }));
  EXPECT_EQ(r.Run([&] { r.Cli.Quit(); }), 0);
  // The password shows in no trace line, not even the PASS command's own.
  for (const std::string &t : r.Trace)
    EXPECT_EQ(t.find("secret"), std::string::npos) << t;
  EXPECT_NE(std::find(r.Trace.begin(), r.Trace.end(), "> PASS ********"), r.Trace.end());
  EXPECT_EQ(r.Trace.front(), "< " + std::string(kGreeting).substr(0, sizeof kGreeting - 3));
  EXPECT_TRUE(RunEventsUntil([&] { return s.ClientClosed(); }));
  return {r.Events, Received(s)};
}

} // namespace

TEST(Pop3Scripted, RepliesInPiecesGiveTheSameEventsAsWholeRepliesAndNoPasswordInTheTrace) {
  const auto whole = Converse(0);
  const std::vector<std::string> expected = {
      "connected 0", "done 15 0", "done 5 0",
      "list-begin", "list 1 120", "list 2 200", "list-end", "done 6 0",
      "uidl-begin", "uidl 1 aaa", "uidl 2 bbb", "uidl-end", "done 13 0",
      "msg-begin", "msg Subject: x", "msg ", "msg .", "msg .x", "msg ..y", "msg ", "msg end",
      "msg-end", "done 7 0",
      "msg-begin", "msg Subject: x", "msg ", "msg-end", "done 8 0",
      "done 6 0", "done 13 0", "done 11 0", "done 5 0", "done 10 0",
      "closed", "done 4 0"};
  EXPECT_EQ(whole.first, expected);
  EXPECT_EQ(whole.second, "USER tester\r\nPASS secret\r\nSTAT\r\nLIST\r\nUIDL\r\nRETR 1\r\n"
                          "TOP 1 0\r\nLIST 2\r\nUIDL 2\r\nLAST\r\nSTAT\r\nNOOP\r\nQUIT\r\n");
  // One byte at a time (CR and LF apart), and pieces that cut lines anywhere.
  for (std::size_t piece : {1u, 3u, 7u}) {
    const auto cut = Converse(piece);
    EXPECT_EQ(cut.first, whole.first) << "piece " << piece;
    EXPECT_EQ(cut.second, whole.second) << "piece " << piece;
  }
}

TEST(Pop3Scripted, SeveralRepliesInOneRead) {
  ScriptedServer s;
  // The greeting and the answers to USER and PASS arrive together.
  Greet(s, std::string(kGreeting) + "+OK\r\n+OK logged in\r\n");
  Pop3Recorder r;
  Point(r, s);
  EXPECT_EQ(r.Run([&] { r.Cli.Open(); }), 0);
  EXPECT_EQ(r.DoneCount, 1);
  EXPECT_EQ(r.Cli.ProtocolState(), pop3Transaction);
  ASSERT_TRUE(RunEventsUntil([&] { return s.Lines().size() == 2; }));
  EXPECT_EQ(s.Lines(), (std::vector<std::string>{"USER tester", "PASS secret"}));
  // A multi-line reply and the next single-line reply in one write.
  s.OnLine = [](ScriptedServer &s, const std::string &line) {
    if (line == "UIDL")
      s.Send("+OK\r\n1 aaa\r\n.\r\n-ERR spurious\r\n");
  };
  r.Cli.MsgNum = 0;
  EXPECT_EQ(r.Run([&] { r.Cli.Uidl(); }), 0);
  RunFor(50);
  EXPECT_EQ(r.DoneCount, 2);
  // A line nobody asked for is only traced.
  EXPECT_EQ(r.Trace.back(), "< -ERR spurious");
  EXPECT_EQ(r.Cli.State(), pop3Ready);
}

TEST(Pop3Scripted, CloseInTheMiddleOfRetr) {
  ScriptedServer s;
  Pop3Recorder r;
  ASSERT_NO_FATAL_FAILURE(LogIn(s, r));
  s.OnLine = [](ScriptedServer &s, const std::string &line) {
    if (line == "RETR 1") {
      s.Send("+OK\r\nline 1\r\nline 2\r\npartial line");
      s.CloseClient();
    }
  };
  r.Events.clear();
  r.Cli.MsgNum = 1;
  EXPECT_EQ(r.Run([&] { r.Cli.Retr(); }), 10004);
  EXPECT_EQ(r.Events, (std::vector<std::string>{"msg-begin", "msg line 1", "msg line 2",
                                                "closed", "done 7 10004"}));
  EXPECT_EQ(r.Cli.ErrorMessage(), "-ERR Disconneced unexpectedly");
  EXPECT_EQ(r.Cli.ProtocolState(), pop3Disconnected);
  EXPECT_EQ(r.Cli.State(), pop3Ready);
  // Afterwards: commands are refused, QUIT completes without sending anything.
  EXPECT_EQ(ThrownText<Pop3Exception>([&] { r.Cli.Stat(); }), "POP3 component not connected");
  const std::size_t traced = r.Trace.size();
  EXPECT_EQ(r.Run([&] { r.Cli.Quit(); }), 0);
  EXPECT_EQ(r.LastRq, pop3Quit);
  EXPECT_EQ(r.Trace.size(), traced);
}

// Long lines that end: the line buffer's own test.
TEST(Pop3Scripted, ALineThatNeverEndsDropsTheSession) {
  ScriptedServer s;
  Pop3Recorder r;
  ASSERT_NO_FATAL_FAILURE(LogIn(s, r));
  s.OnLine = [&](ScriptedServer &, const std::string &) {
    s.Send("+OK\r\n" + std::string(TPop3LineBuffer::MaxLineLength + 100000, 'x'));
  };
  // Past the limit the request fails and the session is dropped instead of growing forever.
  r.Cli.MsgNum = 2;
  EXPECT_EQ(r.Run([&] { r.Cli.Retr(); }), 500);
  EXPECT_EQ(r.LastRq, pop3Retr);
  EXPECT_EQ(r.Cli.ErrorMessage(), "-ERR Reply line longer than 1048576 bytes");
  EXPECT_EQ(r.Events.back(), "done 7 500");
  EXPECT_TRUE(RunEventsUntil([&] { return s.ClientClosed(); }));
  EXPECT_FALSE(r.Cli.Connected());
  EXPECT_EQ(r.Cli.State(), pop3Ready);
  EXPECT_EQ(r.DoneCount, 2); // no second completion for the close
}

TEST(Pop3Scripted, GreetingTimeStampIsNotKeptForTheNextServer) {
  // Reconnecting to a server without a time stamp must not reuse the old one.
  ScriptedServer stamped, plain;
  Greet(stamped, kGreeting);
  Greet(plain, "+OK plain server\r\n");
  Pop3Recorder r;
  Point(r, stamped);
  ASSERT_EQ(r.Run([&] { r.Cli.Connect(); }), 0);
  EXPECT_EQ(r.Cli.TimeStamp(), "<1896.697170952@dbc.mtview.ca.us>");
  r.Cli.Abort();
  r.Cli.Port = plain.Port();
  ASSERT_EQ(r.Run([&] { r.Cli.Connect(); }), 0);
  EXPECT_EQ(r.Cli.TimeStamp(), "");
  EXPECT_EQ(ThrownText<Pop3Exception>([&] { r.Cli.APop(); }), "-ERR Server do not support APOP (no timestamp)");
  RunFor(30);
  EXPECT_TRUE(plain.Lines().empty());
}

// Calls Op and checks that it raises Pop3Exception with Text.
#define ExpectMisuse(op, text) EXPECT_EQ(ThrownText<Pop3Exception>(op), text)

TEST(Pop3Scripted, MisuseIsRefusedAndSendsNothing) {
  ScriptedServer s;
  Greet(s, kGreeting);
  Answer(s, 0);
  Pop3Recorder r;
  Point(r, s);
  TPop3Cli &c = r.Cli;
  // Not connected: refused, but QUIT completes without a word.
  ExpectMisuse([&] { c.Stat(); }, "POP3 component not connected");
  EXPECT_EQ(r.Run([&] { c.Quit(); }), 0);
  EXPECT_EQ(r.LastRq, pop3Quit);
  EXPECT_TRUE(r.Trace.empty());

  // Greeted, not logged in.
  ASSERT_EQ(r.Run([&] { c.Connect(); }), 0);
  ExpectMisuse([&] { c.Retr(); }, "-ERR RETR command invalid now");
  EXPECT_EQ(c.ErrorMessage(), "-ERR RETR command invalid now");
  ExpectMisuse([&] { c.Connect(); }, "POP3 component already connected");
  ExpectMisuse([&] { c.Open(); }, "pop3 component already connected");

  // Logged in with RPOP, whose password shows in no trace line.
  ASSERT_EQ(r.Run([&] { c.User(); }), 0);
  EXPECT_EQ(c.ProtocolState(), pop3WaitingPass);
  ExpectMisuse([&] { c.APop(); }, "-ERR APOP command invalid now");
  s.OnLine = [](ScriptedServer &s, const std::string &) { s.Send("+OK\r\n"); };
  ASSERT_EQ(r.Run([&] { c.RPop(); }), 0);
  EXPECT_EQ(c.ProtocolState(), pop3Transaction);
  EXPECT_EQ(s.Lines().back(), "RPOP secret");
  for (const std::string &t : r.Trace)
    EXPECT_EQ(t.find("secret"), std::string::npos) << t;
  ExpectMisuse([&] { c.Pass(); }, "-ERR PASS command invalid now");
  c.MsgLines = -1;
  ExpectMisuse([&] { c.Top(); }, "Invalid MsgLines for TOP command");

  // A command while another is in flight.
  s.OnLine = nullptr; // RETR is never answered
  c.MsgNum = 1;
  c.Retr();
  EXPECT_EQ(c.State(), pop3WaitingResponse);
  ExpectMisuse([&] { c.Stat(); }, "POP3 component not ready");
  ExpectMisuse([&] { c.Quit(); }, "POP3 component not ready");
  ASSERT_TRUE(RunEventsUntil([&] { return s.Lines().size() == 3; }));
  RunFor(30);
  EXPECT_EQ(s.Lines(), (std::vector<std::string>{"USER tester", "RPOP secret", "RETR 1"}));

  // Abort drops the session at once; the request ends with the close.
  EXPECT_EQ(r.Run([&] { c.Abort(); }), 10004);
  EXPECT_EQ(r.LastRq, pop3Retr);
  EXPECT_EQ(c.State(), pop3Ready);
  EXPECT_TRUE(RunEventsUntil([&] { return s.ClientClosed(); }));
}

TEST(Pop3Scripted, OpenChainFailuresReportOnce) {
  enum Server { gone, badPort, silentThenAbort, busy, hangUpAfterUser };
  const struct {
    Server server;
    int error;
    std::string message;  // the error message (a prefix for the bad port)
    std::vector<std::string> got;  // what the server received
  } cases[] = {
      {gone, 10061, "-ERR Connection refused (Winsock error #10061)", {}},
      // A port that cannot be resolved fails the request instead of leaving it stuck.
      {badPort, -1, "-ERR ", {}},
      {silentThenAbort, 426, "426 Operation aborted.", {}},
      {busy, 500, "-ERR too busy", {}},
      // The chain stops with the close, PASS is never tried.
      {hangUpAfterUser, 10004, "", {"USER tester"}},
  };
  for (const auto &k : cases) {
    SCOPED_TRACE(int(k.server));
    auto s = std::make_unique<ScriptedServer>();
    Greet(*s, k.server == busy ? "-ERR too busy\r\n" : kGreeting);
    if (k.server == silentThenAbort) s->OnConnect = nullptr;
    s->OnLine = [](ScriptedServer &srv, const std::string &) { srv.CloseClient(); };
    Pop3Recorder r;
    r.Point("127.0.0.1", k.server == badPort ? "no-such-service-name" : s->Port(), "tester", "secret");
    if (k.server == gone) s.reset();
    if (k.server == silentThenAbort) {
      r.Cli.Open();
      ASSERT_TRUE(RunEventsUntil([&] { return r.Cli.State() == pop3WaitingBanner; }));
      EXPECT_EQ(r.Run([&] { r.Cli.Abort(); }), k.error);
    } else if (k.error == -1) {
      EXPECT_NE(r.Run([&] { r.Cli.Open(); }), 0);
    } else {
      EXPECT_EQ(r.Run([&] { r.Cli.Open(); }), k.error);
    }
    EXPECT_EQ(r.LastRq, pop3Open);
    if (k.server == badPort) {
      EXPECT_EQ(r.Cli.ErrorMessage().rfind(k.message, 0), 0u) << r.Cli.ErrorMessage();
    } else if (k.server != hangUpAfterUser) {
      EXPECT_EQ(r.Cli.ErrorMessage(), k.message);
    }
    EXPECT_EQ(r.Cli.State(), pop3Ready);
    EXPECT_FALSE(r.Cli.Connected());
    RunFor(30);
    EXPECT_EQ(r.DoneCount, 1);
    if (s) {
      EXPECT_EQ(s->Lines(), k.got);
    }
  }
}
