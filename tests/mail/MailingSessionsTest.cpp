// The mailing run through several sessions at once, several messages each, against a real
// SMTP server on 127.0.0.1 (aiosmtpd offers PIPELINING).
#include "MailTestSupport.h"
#include "mail/MailingRun.h"
#include "mail/Recipients.h"
#include "storage/ServerRegistry.h"
#include "storage/Strings.h"
#include "storage/TextFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>

namespace {

class Host : public QuietHost {
public:
  std::function<void(const std::string &)> OnStatus;
  TDigest AssembleMessage(bool mergeCodes) override {
    TDigest digest;
    digest.Lines = {mergeCodes ? "Dear " + shown_ + "," : "Dear %Name%,", "the news."};
    return digest;
  }
  std::string ShowAddress(const std::string &entry) override {
    shown_ = EnvelopeAddress(entry);
    return shown_;
  }
  void SetStatus(const std::string &text) override {
    if (OnStatus) OnStatus(text);
  }

private:
  std::string shown_;
};

class MailingSessionsTest : public MailingFixture<Host> {
protected:
  void SetUp() override {
    MailingFixture::SetUp();
    job.FromList = true;
    job.NewsletterFile = dir.Path() + "news.rtf";
    job.RetryPauses = {50};
    for (int i = 1; i <= 12; ++i) job.CheckedEntries.push_back("r" + std::to_string(i) + "@x.org");
  }
};

}  // namespace

TEST_F(MailingSessionsTest, ParallelSessionsWithARefusedRecipient) {
  // Per recipient, six sessions by default: each message is merged for its own reader.
  server.SetRefused({"r5@x.org"});
  job.FieldCodes = true;
  TMailingRun run(dir.Path(), client, host);
  run.PrepareSend(job);

  EXPECT_EQ(run.Sent(), 11);
  EXPECT_EQ(run.Failed(), 1);
  const auto messages = Received();
  ASSERT_EQ(messages.size(), 11u);
  std::set<std::string> readers;
  for (const TReceived &m : messages) {
    ASSERT_EQ(m.RcptTo.size(), 1u);
    readers.insert(m.RcptTo[0]);
    ASSERT_FALSE(m.Body.empty());
    EXPECT_EQ(m.Body[0], "Dear " + m.RcptTo[0] + ",");
  }
  EXPECT_EQ(readers.size(), 11u);
  EXPECT_EQ(readers.count("r5@x.org"), 0u);
  const std::string log = Log();
  EXPECT_EQ(Occurrences(log, "> EHLO"), 6);  // six sessions, each reused
  EXPECT_EQ(Occurrences(log, "Failed r5@x.org: 550"), 1);
  EXPECT_EQ(Occurrences(log, "Failed "), 1);
  EXPECT_NE(ReadAll(dir.File("Failed.txt")).find("r5@x.org"), std::string::npos);
}

TEST_F(MailingSessionsTest, OneSessionInListOrderUpToItsLimitWithResetAfterAFailure) {
  server.SetRefused({"r2@x.org"});
  job.CheckedEntries.resize(7);
  job.Sessions = 1;
  job.SessionMessages = 3;
  TMailingRun run(dir.Path(), client, host);
  run.PrepareSend(job);

  const auto messages = Received();
  ASSERT_EQ(messages.size(), 6u);
  const std::vector<std::string> order = {"r1@x.org", "r3@x.org", "r4@x.org", "r5@x.org", "r6@x.org", "r7@x.org"};
  for (size_t i = 0; i < order.size(); ++i) EXPECT_EQ(messages[i].RcptTo, std::vector<std::string>{order[i]});
  const std::string log = Log();
  EXPECT_EQ(Occurrences(log, "> EHLO"), 3);  // 3 + 3 + 1 messages
  EXPECT_EQ(Occurrences(log, "> QUIT"), 3);
  // The refused message was the second of its session: the third starts afresh.
  EXPECT_EQ(Occurrences(log, "> RSET"), 1);
  EXPECT_EQ(run.Sent(), 6);
  EXPECT_EQ(run.Failed(), 1);
}

TEST_F(MailingSessionsTest, ServerClosingInTheMiddleDefersOnlyTheMessageItRefused) {
  // The third MAIL gets 421 and the session is closed: that message is deferred and goes
  // in the retry round; the others go once each.
  server.Close421After(2);
  job.CheckedEntries.resize(6);
  job.Sessions = 1;
  TMailingRun run(dir.Path(), client, host);
  run.PrepareSend(job);

  const std::multiset<std::string> delivered = Delivered();
  EXPECT_EQ(delivered.size(), 6u);
  for (const std::string &entry : job.CheckedEntries) EXPECT_EQ(delivered.count(entry), 1u) << entry;
  const std::string log = Log();
  EXPECT_EQ(Occurrences(log, "Deferred r3@x.org: 421"), 1);
  EXPECT_EQ(Occurrences(log, "Sent to r3@x.org on try 2"), 1);
  EXPECT_EQ(run.Sent(), 6);
  EXPECT_EQ(run.Failed(), 0);
}

TEST_F(MailingSessionsTest, CancelStopsEverySessionAndTheJournalKeepsTheAccepted) {
  job.CheckedEntries.clear();
  for (int i = 1; i <= 60; ++i) job.CheckedEntries.push_back("r" + std::to_string(i) + "@x.org");
  TMailingRun run(dir.Path(), client, host);
  std::set<std::string> journal;
  host.OnStatus = [&](const std::string &text) {
    if (text.rfind("Successful: 5/", 0) == 0) run.Cancel();
    // The run's last word comes just before its journal goes.
    if (text.find("sent succesfully") != std::string::npos)
      journal = TSendJournal::AlreadySent(job.ListFolder, job.NewsletterFile, job.Subject);
  };
  run.PrepareSend(job);

  const std::multiset<std::string> delivered = Delivered();
  EXPECT_TRUE(run.Cancelled());
  EXPECT_GE(run.Sent(), 5);
  EXPECT_LT(run.Sent(), 60);
  // What the run counts as sent is what the server has, once each.
  EXPECT_EQ(static_cast<int>(delivered.size()), run.Sent());
  for (const std::string &r : delivered) EXPECT_EQ(delivered.count(r), 1u) << r;
  EXPECT_EQ(journal, std::set<std::string>(delivered.begin(), delivered.end()));
  // Every session ended: nothing is connected any more.
  EXPECT_FALSE(client.Connected());
}

TEST_F(MailingSessionsTest, TheServerEntryDecidesSessionsAndMessagesPerSession) {
  // Typed addresses through a registered server: its entry says two messages a session,
  // one session at a time (a value out of range is brought into it), and one retry round
  // after a second.
  TSmtpServer entry;
  entry.Name = "127.0.0.1";
  entry.Port = std::to_string(server.Port());
  entry.Sessions = 0;
  entry.SessionMessages = 2;
  entry.RetryPauses = {1};
  job.RetryPauses.clear();
  server.SetDeferred({{"c@x.org", 1}});
  std::vector<std::string> statuses;
  host.OnStatus = [&](const std::string &text) { statuses.push_back(text); };
  WriteSmtpServer(dir.Path(), entry);
  const TSmtpServer read = ReadSmtpServer(dir.Path(), "127.0.0.1");
  EXPECT_EQ(read.Sessions, 1);
  EXPECT_EQ(read.SessionMessages, 2);
  job.FromList = false;
  job.Server = "127.0.0.1";
  job.DialogFrom = "editor@example.org";
  job.TypedAddresses = "a@x.org, b@x.org, c@x.org, d@x.org, e@x.org";
  TMailingRun run(dir.Path(), client, host);
  run.PrepareSend(job);
  EXPECT_EQ(run.Sent(), 5);
  const auto messages = Received();
  ASSERT_EQ(messages.size(), 5u);
  const char *order[] = {"a@x.org", "b@x.org", "d@x.org", "e@x.org", "c@x.org"};
  for (size_t i = 0; i < messages.size(); ++i) EXPECT_EQ(messages[i].RcptTo, std::vector<std::string>{order[i]});
  EXPECT_EQ(Occurrences(Log(), "> EHLO"), 4);  // 2 + 2 + 1, then the retry
  EXPECT_NE(std::find(statuses.begin(), statuses.end(), "Retry 1/1 in 1 s (1 deferred)"), statuses.end());
}

TEST_F(MailingSessionsTest, AServerTakingFewerSessionsGetsEveryMessageThroughTheOthers) {
  // The server greets a third session at once with 421: the sessions it turned away end and
  // the two it took carry every message, none of them deferred.
  SmtpServerFixture narrow(QStringList{"--sessions", "2"});
  ASSERT_TRUE(narrow.IsRunning());
  job.ListPort = std::to_string(narrow.Port());
  TMailingRun run(dir.Path(), client, host);
  run.PrepareSend(job);
  EXPECT_EQ(run.Sent(), 12);
  EXPECT_EQ(run.Failed(), 0);
  std::multiset<std::string> delivered;
  for (const ReceivedMessage &m : narrow.Messages()) delivered.insert(m.RcptTo.begin(), m.RcptTo.end());
  EXPECT_EQ(delivered.size(), 12u);
  for (const std::string &entry : job.CheckedEntries) EXPECT_EQ(delivered.count(entry), 1u) << entry;
  const std::string log = Log();
  EXPECT_GE(Occurrences(log, "The server took no further session (421 4.7.0 Too many sessions at once); going on with "), 1) << log;
  EXPECT_EQ(Occurrences(log, "Deferred "), 0) << log;
}
