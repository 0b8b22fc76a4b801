// Several messages through one session: the exact exchange with a scripted server that holds
// back its replies, so that a client waiting for each reply would never get one.
#include "net/SmtpProt.h"

#include "support/ScriptedServer.h"
#include "support/SmtpRecorder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <set>
#include <string>
#include <vector>

namespace {

// A server that offers PIPELINING (unless told not to) and answers a group of commands only
// when the group is complete: after DATA, or after the end of a message once the next
// message's DATA (or, for the last message, the end itself) has arrived.
struct PipeServer {
  ScriptedServer Srv;
  bool Pipelining = true;
  std::set<std::string> Refused;      // RCPT TO answered with 550
  std::string DataReply = "354 go ahead";
  int Messages = 0;                   // messages the client will send
  int CloseAfterReplies = -1;         // closes after so many replies, in the middle of a group
  bool SplitReplies = false;          // each reply goes out in two pieces, the second later
  int MaxOutstanding = 0;             // most commands that ever waited for their reply at once

  std::deque<std::string> held;
  bool inData = false;
  int ended = 0, sentReplies = 0;

  PipeServer() {
    Srv.OnConnect = [](ScriptedServer &s) { s.Send("220 scripted\r\n"); };
    Srv.OnLine = [this](ScriptedServer &s, const std::string &line) { Line(s, line); };
  }
  void Hold(const std::string &reply) {
    held.push_back(reply);
    MaxOutstanding = std::max(MaxOutstanding, static_cast<int>(held.size()));
  }
  void Flush(ScriptedServer &s) {
    std::string merged;
    int delay = 0;
    while (!held.empty()) {
      if (CloseAfterReplies >= 0 && sentReplies == CloseAfterReplies) {
        s.Send(merged);
        s.CloseClient();
        held.clear();
        return;
      }
      const std::string r = held.front() + "\r\n";
      held.pop_front();
      ++sentReplies;
      if (SplitReplies) {
        // Every reply in two reads of its own, cut inside the code.
        s.SendLater(r.substr(0, 2), delay += 5);
        s.SendLater(r.substr(2), delay += 5);
      } else {
        merged += r;  // every reply of the group in one write
      }
    }
    s.Send(merged);
  }
  void Line(ScriptedServer &s, const std::string &line) {
    if (inData) {
      if (line != ".") return;
      inData = false;
      Hold("250 queued as " + std::to_string(++ended));
      if (ended == Messages || !Pipelining) Flush(s);
      return;
    }
    if (line.rfind("EHLO", 0) == 0) {
      s.Send(Pipelining ? "250-scripted\r\n250-PIPELINING\r\n250 SIZE 100000\r\n" : "250-scripted\r\n250 SIZE 100000\r\n");
      return;
    }
    if (line.rfind("RCPT TO:<", 0) == 0) {
      const std::string who = line.substr(9, line.size() - 10);
      Hold(Refused.count(who) ? "550 no such user " + who : "250 ok");
    } else if (line == "DATA") {
      inData = DataReply.rfind("354", 0) == 0;
      Hold(DataReply);
      Flush(s);
      return;
    } else if (line == "QUIT") {
      Hold("221 bye");
      Flush(s);
      return;
    } else {
      Hold("250 ok");  // MAIL FROM, RSET
    }
    if (!Pipelining) Flush(s);
  }
};

struct Outcome {
  int Id;
  TSmtpItemResult Result;
};

// A client that sends `items` through one session; every outcome is recorded.
struct Sender : SmtpRecorder {
  std::deque<TSmtpItem> Items;
  std::vector<Outcome> Outcomes;

  explicit Sender(const std::string &port) : SmtpRecorder(port) {
    Smtp.PreferEhlo = true;
    Smtp.OnNextItem = [this](TComponent *, TSmtpItem &item) {
      if (Items.empty()) return false;
      item = Items.front();
      Items.pop_front();
      return true;
    };
    Smtp.OnItemDone = [this](TComponent *, const TSmtpItem &item, const TSmtpItemResult &r) {
      Outcomes.push_back({item.Id, r});
    };
  }
  void Add(int id, std::vector<std::string> rcpts, const std::string &text = "Subject: hi\r\n\r\nbody\r\n") {
    TSmtpItem item;
    item.Id = id;
    item.From = "editor@x.org";
    item.Rcpts = std::move(rcpts);
    item.Text = text;
    item.Size = static_cast<int64_t>(text.size());
    Items.push_back(item);
  }
};

std::vector<std::string> Commands(const std::vector<std::string> &lines) {
  std::vector<std::string> out;
  bool data = false;
  for (const std::string &l : lines) {
    if (data) {
      data = l != ".";
      if (!data) out.push_back(".");
      continue;
    }
    out.push_back(l);
    data = l == "DATA";
  }
  return out;
}

}  // namespace

TEST(SmtpPipeline, GroupsRefusalsAndTheNextEnvelopeWithTheEnd) {
  struct Case {
    const char *Name;
    bool Pipelining, Split;
  };
  for (const Case &c : {Case{"merged replies", true, false}, Case{"split replies", true, true},
                        Case{"lock-step without PIPELINING", false, false}}) {
    SCOPED_TRACE(c.Name);
    PipeServer server;
    server.Pipelining = c.Pipelining;
    server.SplitReplies = c.Split;
    server.Refused = {"b@x.org"};
    server.Messages = 2;
    Sender sender(server.Srv.Port());
    const std::string one = "Subject: one\r\n\r\n.hidden dot\r\nend\r\n";
    sender.Add(1, {"a@x.org", "b@x.org", "c@x.org"}, one);
    sender.Add(2, {"d@x.org"});
    ASSERT_EQ(sender.Run(&TSmtpCli::Open), 0);
    ASSERT_EQ(sender.Run(&TSmtpCli::Transfer), 0);
    ASSERT_EQ(sender.Run(&TSmtpCli::Quit), 0);

    ASSERT_EQ(sender.Outcomes.size(), 2u);
    EXPECT_EQ(sender.Outcomes[0].Id, 1);
    EXPECT_EQ(sender.Outcomes[0].Result.Code, 250);
    ASSERT_EQ(sender.Outcomes[0].Result.Refused.size(), 1u);
    EXPECT_EQ(sender.Outcomes[0].Result.Refused[0].first, "b@x.org");
    EXPECT_EQ(sender.Outcomes[0].Result.Refused[0].second, "550 no such user b@x.org");
    EXPECT_EQ(sender.Outcomes[1].Id, 2);
    EXPECT_EQ(sender.Outcomes[1].Result.Code, 250);
    EXPECT_TRUE(sender.Outcomes[1].Result.Refused.empty());

    const std::vector<std::string> expected = {
        "EHLO client.test", "MAIL FROM:<editor@x.org> SIZE=" + std::to_string(one.size()), "RCPT TO:<a@x.org>", "RCPT TO:<b@x.org>",
        "RCPT TO:<c@x.org>", "DATA", ".", "MAIL FROM:<editor@x.org> SIZE=21", "RCPT TO:<d@x.org>", "DATA", ".",
        "QUIT"};
    EXPECT_EQ(Commands(server.Srv.Lines()), expected);
    // The text arrives dot-stuffed.
    const auto &lines = server.Srv.Lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "..hidden dot"), lines.end());
    // Pipelined, a group waits whole for its replies; otherwise one command at a time.
    EXPECT_EQ(server.MaxOutstanding, c.Pipelining ? 5 : 1);
  }
}

TEST(SmtpPipeline, RefusedDataAndEveryRecipientRefusedThenReset) {
  PipeServer server;
  server.Refused = {"gone@x.org"};
  server.Messages = 1;  // only the second message gets as far as its end
  Sender sender(server.Srv.Port());
  sender.Add(1, {"gone@x.org"});
  sender.Add(2, {"here@x.org"});
  ASSERT_EQ(sender.Run(&TSmtpCli::Open), 0);
  // The first DATA is refused (no recipient), the second accepted: the server switches.
  server.DataReply = "554 no valid recipients";
  server.Srv.OnLine = [&server](ScriptedServer &s, const std::string &line) {
    server.Line(s, line);
    if (line == "DATA") server.DataReply = "354 go ahead";
  };
  ASSERT_EQ(sender.Run(&TSmtpCli::Transfer), 0);

  ASSERT_EQ(sender.Outcomes.size(), 2u);
  EXPECT_EQ(sender.Outcomes[0].Result.Code, 554);
  ASSERT_EQ(sender.Outcomes[0].Result.Refused.size(), 1u);
  EXPECT_EQ(sender.Outcomes[0].Result.Refused[0].second, "550 no such user gone@x.org");
  EXPECT_EQ(sender.Outcomes[1].Result.Code, 250);
  const std::vector<std::string> expected = {"EHLO client.test", "MAIL FROM:<editor@x.org> SIZE=21",
                                             "RCPT TO:<gone@x.org>", "DATA", "RSET",
                                             "MAIL FROM:<editor@x.org> SIZE=21", "RCPT TO:<here@x.org>", "DATA",
                                             "Subject: hi", "", "body", "."};
  EXPECT_EQ(server.Srv.Lines(), expected);
}

TEST(SmtpPipeline, ACloseFailsOnceWhatWasNotAcceptedAndTakesNoMore) {
  const struct {
    int closeAfter;                     // replies before the close
    std::vector<std::vector<std::string>> rcpts;  // of each message
    std::vector<int> codes;             // of the outcomes, in order
    size_t left;                        // messages never taken from the owner
  } cases[] = {
      // MAIL's and the first RCPT's replies, then the close: the message under way fails once.
      {2, {{"a@x.org", "b@x.org"}, {"c@x.org"}, {"d@x.org"}}, {0}, 2},
      // Message 1's group (3 replies) and its end's reply go out; the close comes before
      // message 2's replies: message 1 is accepted, message 2 fails, neither twice.
      {4, {{"a@x.org"}, {"b@x.org"}}, {250, 0}, 0},
  };
  for (const auto &k : cases) {
    SCOPED_TRACE(k.closeAfter);
    PipeServer server;
    server.Messages = static_cast<int>(k.rcpts.size());
    server.CloseAfterReplies = k.closeAfter;
    Sender sender(server.Srv.Port());
    for (size_t i = 0; i < k.rcpts.size(); ++i) sender.Add(static_cast<int>(i) + 1, k.rcpts[i]);
    ASSERT_EQ(sender.Run(&TSmtpCli::Open), 0);
    EXPECT_EQ(sender.Run(&TSmtpCli::Transfer), 10004);
    std::vector<int> codes;
    for (size_t i = 0; i < sender.Outcomes.size(); ++i) {
      EXPECT_EQ(sender.Outcomes[i].Id, static_cast<int>(i) + 1);
      codes.push_back(sender.Outcomes[i].Result.Code);
    }
    EXPECT_EQ(codes, k.codes);
    EXPECT_EQ(sender.Outcomes.back().Result.Reply, "The server closed the connection");
    EXPECT_EQ(sender.Items.size(), k.left);
    EXPECT_FALSE(sender.Smtp.Connected());
  }
}
