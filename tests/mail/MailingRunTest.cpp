// The mailing run end to end: the real SMTP client against a real SMTP server on 127.0.0.1.
#include "MailTestSupport.h"
#include "mail/MailSessionFiles.h"
#include "mail/MailingRun.h"
#include "mail/FolderIndex.h"
#include "mail/Recipients.h"
#include "storage/ServerRegistry.h"
#include "storage/Strings.h"
#include "storage/TextFile.h"
#include "support/ScriptedServer.h"
#include "support/TestCertificates.h"

#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

namespace {
// The window side: a message whose "%Name%" takes the name of the address last shown.
class TestHost : public IMailingHost {
public:
  std::vector<std::string> Template = {"Dear %Name%,", "the news."};
  std::map<std::string, std::string> Names;  // entry of the book -> name; "!" fails the assembly
  std::vector<std::string> Statuses, Infos;
  std::string Protocol = "unset";
  int Progress = -1;
  TAnswer Answer = TAnswer::aNo;
  int Asked = 0;

  TDigest AssembleMessage(bool mergeCodes) override {
    if (mergeCodes && shown_ == "!") throw std::runtime_error("Scrooge: recursive string replace");
    TDigest digest;
    for (const std::string &line : Template)
      digest.Lines.push_back(mergeCodes ? ReplaceAll(line, "%Name%", shown_) : line);
    return digest;
  }
  // Like the window: the book's address for an entry it knows, nothing for another.
  std::string ShowAddress(const std::string &entry) override {
    const auto known = Names.find(entry);
    shown_ = known == Names.end() ? std::string() : known->second;
    return known == Names.end() ? std::string() : EnvelopeAddress(entry);
  }
  TAnswer AskMergeFieldCodes() override {
    ++Asked;
    return Answer;
  }
  void SetStatus(const std::string &text) override { Statuses.push_back(text); }
  void SetProtocolLine(const std::string &text) override { Protocol = text; }
  void SetProgress(int percent) override { Progress = percent; }
  void ShowInformation(const std::string &text) override { Infos.push_back(text); }

  int CountStatus(const std::string &text) const {
    return static_cast<int>(std::count(Statuses.begin(), Statuses.end(), text));
  }

private:
  std::string shown_;
};

class MailingRunTest : public MailingFixture<TestHost> {
protected:
  void SetUp() override {
    MailingFixture::SetUp();
    // One message per session, one session at a time: the exchange these cases check.
    job.Sessions = job.SessionMessages = 1;
  }
  std::string FailedFile() const { return ReadAll(dir.File("Failed.txt")); }
  using Lines = std::vector<std::string>;
};
}  // namespace

TEST_F(MailingRunTest, ListInBatchesOfTwo) {
  TMailingRun run(dir.Path(), client, host);
  job.FromList = true;
  job.CheckedEntries = {"a@x.org", "Bea Bee <b@x.org>", "c@x.org", "d@x.org", "e@x.org"};
  job.ListMethod = 1;
  job.ListBatchSize = 2;
  const std::string sentFile = run.PrepareSend(job);

  const auto messages = Received();
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[0].RcptTo, (Lines{"a@x.org", "b@x.org"}));
  EXPECT_EQ(messages[1].RcptTo, (Lines{"c@x.org", "d@x.org"}));
  EXPECT_EQ(messages[2].RcptTo, (Lines{"e@x.org"}));
  EXPECT_EQ(messages[0].MailFrom, "editor@example.org");
  EXPECT_EQ(Occurrences(Log(), "> HELO me.example.org\r\n"), 3);  // three sessions
  EXPECT_EQ(host.CountStatus("Preparing to send message to 2 addresses..."), 3);
  EXPECT_EQ(host.CountStatus("Successful: 4/  Unsuccessful: 0"), 1);
  EXPECT_EQ(host.Statuses.back(), "5 messages sent succesfully. 0 failed.");
  EXPECT_EQ(host.Progress, 0);
  EXPECT_EQ(host.Protocol, "");
  EXPECT_EQ(run.Sent(), 5);
  EXPECT_FALSE(run.Running());

  // The header: list addresses, X-Mailer right after Subject, the MIME lines and the date.
  const Lines &headers = messages[2].Headers;
  ASSERT_EQ(headers.size(), 10u);  // no list headers without a list name
  EXPECT_EQ(Lines(headers.begin(), headers.begin() + 8),
            (Lines{"Reply-To: reply@example.org", "From: editor@example.org", "To: list@example.org",
                   "Subject: Spring news", "X-Mailer: Brevant 2.0 by Tarnwick", "Mime-Version: 1.0",
                   "Content-Type: text/plain; charset=\"windows-1252\"", "Content-Transfer-Encoding: 7bit"}));
  EXPECT_EQ(headers[8].rfind("Date: ", 0), 0u);
  EXPECT_EQ(headers[9].rfind("Message-ID: <", 0), 0u);
  EXPECT_EQ(messages[2].Body, (Lines{"Dear %Name%,", "the news."}));

  // The log holds the dialogue as displayed: body lines, no header lines.
  const std::string log = Log();
  EXPECT_TRUE(Has(log, "> RCPT TO:<e@x.org>\r\n< 250 OK\r\n> DATA\r\n"));
  EXPECT_TRUE(Has(log, "> Dear %Name%,\r\n> the news.\r\n"));
  EXPECT_FALSE(Has(log, "Subject:"));

  // The Sent copy and its record list the entries as collected.
  EXPECT_EQ(sentFile, job.ListFolder + "Sent/Spring news.rtf");
  EXPECT_EQ(ReadSentLines(sentFile).at(1), "To: a@x.org,Bea Bee <b@x.org>,c@x.org,d@x.org,e@x.org");
  EXPECT_EQ(TFolderIndex(job.ListFolder, TMailFolder::mfSent).Read("Spring news.rtf").From,
            "a@x.org,Bea Bee <b@x.org>,c@x.org,d@x.org,e@x.org,");
}

TEST_F(MailingRunTest, TypedAddressesWithTheRegistrysMethod) {
  TSmtpServer entry;
  entry.Name = "127.0.0.1";
  entry.Username = "desk";
  entry.Port = std::to_string(server.Port());
  entry.SendMethod = 2;
  WriteSmtpServer(dir.Path(), entry);
  job.Server = "127.0.0.1";
  job.ListPort = "1";  // the list's settings are not used on this page
  job.TypedAddresses = "one@x.org, two@x.org";
  job.DialogFrom = "typed@example.org";
  {
    TMailingRun run(dir.Path(), client, host);
    run.PrepareSend(job);
  }
  // BCC with the general properties' addresses.
  job.BCC = true;
  job.GenProps = true;
  job.GenEmail = "me@example.org";
  job.GenReply = "answers@example.org";
  {
    TMailingRun run(dir.Path(), client, host);
    run.PrepareSend(job);
  }
  // Method 1 with a stored 0 per message still goes on, one address at a time.
  entry.SendMethod = 1;
  entry.RcptTo = 0;
  WriteSmtpServer(dir.Path(), entry);
  TMailingRun run(dir.Path(), client, host);
  run.PrepareSend(job);

  const auto messages = Received();
  ASSERT_EQ(messages.size(), 4u);
  EXPECT_EQ(client.SignOn, "desk");
  EXPECT_EQ(messages[0].RcptTo, (Lines{"one@x.org", "two@x.org"}));
  EXPECT_EQ(messages[0].Header("To"), "To: two@x.org");  // the last of the batch, without the blank before it
  EXPECT_EQ(messages[0].Header("From"), "From: typed@example.org");
  EXPECT_EQ(messages[0].Header("Reply-To"), "Reply-To: typed@example.org");
  EXPECT_EQ(messages[0].MailFrom, "typed@example.org");
  EXPECT_EQ(messages[1].Header("To"), "To: undisclosed-recipients:;");
  EXPECT_EQ(messages[1].Header("From"), "From: me@example.org");
  EXPECT_EQ(messages[1].Header("Reply-To"), "Reply-To: answers@example.org");
  EXPECT_EQ(messages[2].RcptTo, Lines{"one@x.org"});
  EXPECT_EQ(messages[3].RcptTo, Lines{"two@x.org"});
  EXPECT_EQ(run.Sent(), 2);
}

TEST_F(MailingRunTest, FieldCodesGiveEachRecipientHisOwnMessageAndOnesErrorFailsOnlyHim) {
  TMailingRun run(dir.Path(), client, host);
  job.FromList = true;
  job.FieldCodes = true;
  job.CheckedEntries = {"ann@x.org", "bad@x.org", "bob@x.org"};
  host.Names = {{"ann@x.org", "Ann"}, {"bad@x.org", "!"}, {"bob@x.org", "Bob"}};
  job.BCC = true;
  // The work file of the last merge would keep that recipient's data after the run.
  WriteAll(dir.File("temp.dat"), "Dear Bob, 12 Elm Street");
  const std::string sentFile = run.PrepareSend(job);
  EXPECT_FALSE(FileExists(dir.File("temp.dat")));

  auto messages = Received();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].RcptTo, Lines{"ann@x.org"});
  EXPECT_EQ(messages[0].Body.at(0), "Dear Ann,");
  EXPECT_EQ(messages[1].RcptTo, Lines{"bob@x.org"});
  EXPECT_EQ(messages[1].Body.at(0), "Dear Bob,");
  EXPECT_EQ(messages[1].Header("To"), "To: undisclosed-recipients:;");
  EXPECT_EQ(messages[1].Header("From"), "From: editor@example.org");
  EXPECT_EQ(host.CountStatus("Preparing to send message to bob@x.org"), 1);
  EXPECT_EQ(run.Sent(), 2);
  EXPECT_EQ(run.Failed(), 1);
  EXPECT_TRUE(Has(Log(), "Failed bad@x.org: Scrooge: recursive string replace\r\n"));
  EXPECT_TRUE(Has(Log(), "\r\n2 messages sent succesfully. 1 failed.\r\n"));
  EXPECT_EQ(ReadFailedAddresses(dir.Path()), Lines{"bad@x.org"});
  // The copy is the last recipient's message.
  EXPECT_EQ(TFolderIndex(job.ListFolder, TMailFolder::mfSent).Read("Spring news.rtf").From, "ann@x.org,bob@x.org,");
  EXPECT_EQ(ReadSentLines(sentFile).at(4), "Dear Bob,");

  // Typed addresses: each its own message, merged from the book when the list knows the
  // address, else with empty values; the address page's server and From apply.
  WriteSmtpServer(dir.Path(), TSmtpServer{"127.0.0.1", "", std::to_string(server.Port()), 2, 1});
  job.FromList = false;
  job.BCC = false;
  job.Server = "127.0.0.1";
  job.DialogFrom = "typed@example.org";
  job.TypedAddresses = "Ann A. <ann@x.org>, stranger@y.org";
  host.Names = {{"<ann@x.org>", "Ann"}};
  TMailingRun typed(dir.Path(), client, host);
  typed.PrepareSend(job);
  messages = Received();
  ASSERT_EQ(messages.size(), 4u);
  EXPECT_EQ(messages[2].RcptTo, Lines{"ann@x.org"});
  EXPECT_EQ(messages[2].Body.at(0), "Dear Ann,");
  EXPECT_EQ(messages[2].Header("To"), "To: ann@x.org");
  EXPECT_EQ(messages[3].RcptTo, Lines{"stranger@y.org"});
  EXPECT_EQ(messages[3].Body.at(0), "Dear ,");
  EXPECT_EQ(messages[3].Header("From"), "From: typed@example.org");
  EXPECT_EQ(typed.Sent(), 2);
  EXPECT_EQ(TFolderIndex(job.ListFolder, TMailFolder::mfSent).Read("Spring news1.rtf").From,
            "Ann A. <ann@x.org>,stranger@y.org,");

  // An attachment gone fails every recipient, and the run still ends properly.
  job.Attachments = {dir.File("gone.pdf")};
  EXPECT_EQ(typed.PrepareSend(job), "");
  EXPECT_EQ(typed.Failed(), 2);
  EXPECT_EQ(Received().size(), 4u);
  EXPECT_EQ(TFolderIndex(job.ListFolder, TMailFolder::mfSent).RecordNames().size(), 2u);
}

TEST_F(MailingRunTest, UnmergedFieldCodesAreAskedAbout) {
  job.FromList = true;
  job.CheckedEntries = {"ann@x.org"};
  host.Names = {{"ann@x.org", "Ann"}};
  host.Answer = IMailingHost::TAnswer::aCancel;
  WriteAll(dir.File("MailLog.txt"), "previous");
  TMailingRun run(dir.Path(), client, host);
  EXPECT_EQ(run.PrepareSend(job), "");
  EXPECT_EQ(host.Asked, 1);
  EXPECT_EQ(Log(), "previous");  // no run at all
  host.Answer = IMailingHost::TAnswer::aNo;
  run.PrepareSend(job);
  ASSERT_EQ(Received().size(), 1u);
  EXPECT_EQ(Received()[0].Body.at(0), "Dear %Name%,");
  // Nothing to ask without codes, or when merging was chosen.
  host.Template = {"No codes here, 100% sure."};
  run.PrepareSend(job);
  host.Template = {"Dear %Name%"};
  job.FieldCodes = true;
  run.PrepareSend(job);
  EXPECT_EQ(host.Asked, 2);
  EXPECT_EQ(Received().size(), 3u);
}

TEST_F(MailingRunTest, RefusedRecipientsCountAsFailed) {
  server.SetRefused({"bad@x.org", "worse@x.org", "alone@x.org"});
  job.FromList = true;
  job.CheckedEntries = {"a@x.org", "bad@x.org", "c@x.org", "d@x.org", "worse@x.org"};
  job.ListMethod = 1;
  job.ListBatchSize = 3;
  {
    TMailingRun run(dir.Path(), client, host);
    run.PrepareSend(job);
    // First batch: the server took the message for a and c only. Second batch: its last
    // recipient was refused, so the message went to nobody.
    const auto messages = Received();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].RcptTo, (Lines{"a@x.org", "c@x.org"}));
    EXPECT_EQ(run.Sent(), 2);
    EXPECT_EQ(run.Failed(), 3);
    EXPECT_EQ(ReadFailedAddresses(dir.Path()), (Lines{"bad@x.org", "d@x.org", "worse@x.org"}));
    EXPECT_GE(host.CountStatus("Error - 550 5.1.1 <worse@x.org>: Recipient address rejected (550)"), 1);
    EXPECT_EQ(host.CountStatus("Successful: 2/  Unsuccessful: 1"), 1);
    // The report names each failed address with the server's reply; the copy lists only
    // the recipients that took the message.
    ASSERT_EQ(host.Infos.size(), 1u);
    EXPECT_EQ(host.Infos[0], "2 messages sent successfully, 3 recipients failed:\r\n"
                             "\r\nbad@x.org: 550 5.1.1 <bad@x.org>: Recipient address rejected"
                             "\r\nd@x.org: 550 5.1.1 <worse@x.org>: Recipient address rejected"
                             "\r\nworse@x.org: 550 5.1.1 <worse@x.org>: Recipient address rejected");
    EXPECT_EQ(TFolderIndex(job.ListFolder, TMailFolder::mfSent).Read("Spring news.rtf").From, "a@x.org,c@x.org,");
  }
  // The only recipient of a batch refused: shown with its code, counted as failed. The
  // second run's files no longer hold the first run.
  job.CheckedEntries = {"alone@x.org"};
  TMailingRun run(dir.Path(), client, host);
  run.PrepareSend(job);
  EXPECT_EQ(run.Failed(), 1);
  EXPECT_EQ(host.CountStatus("Error - 550 5.1.1 <alone@x.org>: Recipient address rejected (550)"), 2);
  EXPECT_EQ(ReadFailedAddresses(dir.Path()), Lines{"alone@x.org"});
  EXPECT_FALSE(Has(Log(), "a@x.org>"));
  EXPECT_EQ(Received().size(), 1u);
  // Nobody took it: no copy.
  EXPECT_EQ(TFolderIndex(job.ListFolder, TMailFolder::mfSent).RecordNames(), Lines{"Spring news.rtf"});
}

TEST_F(MailingRunTest, ServersThatCannotBeUsed) {
  job.FromList = true;
  job.CheckedEntries = {"a@x.org", "b@x.org", "c@x.org"};
  {
    // Nobody listens: one attempt per message, each message failed, and the run ends.
    SmtpServerFixture gone;
    job.ListPort = std::to_string(gone.Port());
    gone.Stop();
    TMailingRun run(dir.Path(), client, host);
    EXPECT_EQ(run.PrepareSend(job), "");
    EXPECT_EQ(run.Failed(), 3);
    EXPECT_EQ(Occurrences(Log(), "\r\nFailed "), 3);  // no dialogue, only the failures
    EXPECT_TRUE(Has(Log(), "\r\nFailed c@x.org: Connection refused\r\n"));
    ASSERT_EQ(host.Infos.size(), 1u);
    EXPECT_EQ(host.Infos[0], "No connection could be made to the SMTP server \"127.0.0.1\": Connection refused"
                             "\r\n\r\nNothing was sent; 3 recipients failed.");
    EXPECT_EQ(host.CountStatus("Connecting to 127.0.0.1..."), 3);
    EXPECT_EQ(std::count_if(host.Statuses.begin(), host.Statuses.end(),
                            [](const std::string &s) { return s.rfind("Error - ", 0) == 0 && Has(s, "(10061)"); }),
              3);
  }
  {
    // No server name: the lookup error is raised, the client is brought back, every
    // message fails, the user is told and nothing is filed.
    job.ListServer = "";
    job.ListMethod = 0;
    TMailingRun run(dir.Path(), client, host);
    EXPECT_EQ(run.PrepareSend(job), "");
    EXPECT_EQ(run.Failed(), 3);
    EXPECT_EQ(host.CountStatus("Error - DNS lookup: invalid host name."), 3);
    ASSERT_EQ(host.Infos.size(), 2u);
    EXPECT_EQ(host.Infos[1].rfind("A SMTP server has not been set!\r\n\r\nYou must set", 0), 0u);
    EXPECT_EQ(client.State(), smtpReady);
    EXPECT_EQ(ReadFailedAddresses(dir.Path()), (Lines{"a@x.org", "b@x.org", "c@x.org"}));
  }
  EXPECT_TRUE(TFolderIndex(job.ListFolder, TMailFolder::mfSent).RecordNames().empty());
}

TEST_F(MailingRunTest, NothingToSend) {
  TMailingRun run(dir.Path(), client, host);
  // No entry checked: no session, closing lines written, and no copy of a message that
  // went to nobody.
  job.FromList = true;
  job.ListFolder = "";
  EXPECT_EQ(run.PrepareSend(job), "");
  EXPECT_FALSE(Has(Log(), "HELO"));
  EXPECT_TRUE(Has(Log(), "\r\n\r\n\r\n0 messages sent succesfully. 0 failed.\r\n"));
  EXPECT_TRUE(Has(FailedFile(), "\r\n\r\n0 addresses failed.\r\n"));
  EXPECT_TRUE(host.Infos.empty());

  // No send method: nothing sent, the last run's files stay, the user is told, no copy.
  WriteAll(dir.File("MailLog.txt"), "previous");
  job.CheckedEntries = {"a@x.org"};
  job.ListMethod = -1;
  EXPECT_EQ(run.PrepareSend(job), "");
  EXPECT_EQ(Log(), "previous");
  ASSERT_EQ(host.Infos.size(), 1u);
  EXPECT_TRUE(Has(host.Infos[0], "nothing was sent"));

  // An empty recipient text on the address page.
  job.FromList = false;
  job.TypedAddresses = " , ";
  EXPECT_EQ(run.PrepareSend(job), "");
  EXPECT_EQ(Log(), "previous");
  ASSERT_EQ(host.Infos.size(), 2u);
  EXPECT_EQ(host.Infos[1], "No addresses have been entered, so nothing was sent.");
  EXPECT_TRUE(server.Messages().empty());
  EXPECT_TRUE(TFolderIndex(dir.Path(), TMailFolder::mfSent).RecordNames().empty());
}

TEST_F(MailingRunTest, ASilentServerIsGivenUp) {
  job.FromList = true;
  job.CheckedEntries = {"a@x.org", "b@x.org"};
  using Script = std::function<void(ScriptedServer &, const std::string &)>;
  const struct {
    const char *what;
    bool banner;
    Script answer;
    bool sessions;  // several messages a session, pipelined
  } servers[] = {
      {"takes the connection and never answers", false, [](ScriptedServer &, const std::string &) {}, false},
      {"answers HELO but never MAIL FROM", true,
       [](ScriptedServer &s, const std::string &line) {
         if (line.rfind("HELO", 0) == 0) s.Send("250 hello\r\n");
       },
       false},
      {"keeps adding lines to its HELO reply: no answer, however lively", true,
       [](ScriptedServer &s, const std::string &line) {
         if (line.rfind("HELO", 0) == 0) {
           for (int i = 1; i <= 40; ++i) s.SendLater("250-still here\r\n", i * 40);
           s.SendLater("250 done\r\n", 1700);
         } else if (line.rfind("MAIL", 0) == 0 || line.rfind("RCPT", 0) == 0 || line == ".") {
           s.Send("250 ok\r\n");
         } else if (line == "DATA") {
           s.Send("354 go\r\n");
         }
       },
       false},
      {"answers EHLO but never the pipelined commands", true,
       [](ScriptedServer &s, const std::string &line) {
         if (line.rfind("EHLO", 0) == 0) s.Send("250-quiet\r\n250 PIPELINING\r\n");
       },
       true},
  };
  for (const auto &k : servers) {
    SCOPED_TRACE(k.what);
    ScriptedServer scripted;
    if (k.banner) scripted.OnConnect = [](ScriptedServer &s) { s.Send("220 hi\r\n"); };
    scripted.OnLine = k.answer;
    job.ListPort = scripted.Port();
    job.SessionMessages = k.sessions ? 2 : 1;
    TMailingRun run(dir.Path(), client, host);
    run.SetReplyTimeout(300);
    run.PrepareSend(job);
    EXPECT_EQ(run.Failed(), 2);
    ASSERT_EQ(run.Outcome().Failures.size(), 2u);
    EXPECT_EQ(run.Outcome().Failures[1].Reason, "The server did not answer");
    EXPECT_EQ(ReadFailedAddresses(dir.Path()), (Lines{"a@x.org", "b@x.org"}));
    // The same client goes on with a server that answers.
    job.ListPort = std::to_string(server.Port());
    TMailingRun again(dir.Path(), client, host);
    again.PrepareSend(job);
    EXPECT_EQ(again.Sent(), 2);
  }
  EXPECT_EQ(host.CountStatus("Error - The server did not answer (10060)"), 6);
  EXPECT_EQ(Delivered().size(), 8u);
}

TEST(FailureReport, ListsTwentyThenReferToTheLog) {
  TMailingOutcome outcome;
  EXPECT_EQ(FailureReport(outcome), "");
  outcome.Sent = 5;
  outcome.Failed = 23;
  outcome.Connected = true;
  for (int i = 0; i < 23; ++i) outcome.Failures.push_back({"r" + std::to_string(i) + "@x.org", "550 no"});
  const std::string text = FailureReport(outcome);
  EXPECT_EQ(text.rfind("5 messages sent successfully, 23 recipients failed:\r\n\r\nr0@x.org: 550 no\r\n", 0), 0u);
  EXPECT_NE(text.find("r19@x.org: 550 no\r\n\r\nand 3 more; see the Mail Log"), std::string::npos);
  EXPECT_EQ(text.find("r20@x.org"), std::string::npos);
  // Some connection worked: the per-address form, even with a connection error on record.
  outcome.ConnectError = "Connection refused";
  EXPECT_EQ(FailureReport(outcome), text);
}

TEST_F(MailingRunTest, DeferredRecipientsAreTriedAgain) {
  // b is busy twice, c is refused for good, d is busy for longer than the three rounds; the
  // server's second MAIL is answered with 421, which defers that message's recipient too.
  server.SetDeferred({{"b@x.org", 2}, {"d@x.org", 9}});
  server.SetRefused({"c@x.org"});
  server.Close421After(1);
  job.FromList = true;
  job.CheckedEntries = {"a@x.org", "Bea Bee <b@x.org>", "c@x.org", "d@x.org", "e@x.org"};
  job.RetryPauses = {30, 60, 90};
  TMailingRun run(dir.Path(), client, host);
  run.PrepareSend(job);

  std::map<std::string, int> got;
  for (const auto &m : Received())
    for (const std::string &r : m.RcptTo) ++got[r];
  EXPECT_EQ(got, (std::map<std::string, int>{{"a@x.org", 1}, {"b@x.org", 1}, {"e@x.org", 1}}));
  EXPECT_EQ(run.Sent(), 3);
  EXPECT_EQ(run.Failed(), 2);
  EXPECT_EQ(ReadFailedAddresses(dir.Path()), (Lines{"c@x.org", "d@x.org"}));
  const std::string log = Log();
  EXPECT_TRUE(Has(log, "Deferred b@x.org: 450 4.2.1")) << log;
  EXPECT_TRUE(Has(log, "Deferred b@x.org: 421 4.3.2 Service shutting down")) << log;  // the 421
  EXPECT_TRUE(Has(log, "Failed c@x.org: 550 5.1.1")) << log;
  EXPECT_TRUE(Has(log, "Sent to b@x.org on try 4")) << log;
  EXPECT_TRUE(Has(log, "Retry 3: 2 deferred addresses")) << log;
  EXPECT_TRUE(Has(log, "Failed d@x.org: Still deferred: 450 4.2.1")) << log;
  EXPECT_GE(host.CountStatus("Retry 1/3 in 1 s (2 deferred)"), 1);
  // The Sent copy lists those who got it, in the order they took it.
  EXPECT_EQ(ReadSentLines(job.ListFolder + "Sent/Spring news.rtf")[1], "To: a@x.org,e@x.org,Bea Bee <b@x.org>");
}

TEST_F(MailingRunTest, A421InTheMiddleOfABatchDefersTheBatch) {
  server.Close421After(1);
  job.FromList = true;
  job.CheckedEntries = {"a@x.org", "b@x.org", "c@x.org", "d@x.org"};
  job.ListMethod = 1;
  job.ListBatchSize = 2;
  job.FieldCodes = false;
  job.RetryPauses = {20, 20, 20};
  TMailingRun run(dir.Path(), client, host);
  run.PrepareSend(job);
  const auto messages = Received();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].RcptTo, (Lines{"a@x.org", "b@x.org"}));
  EXPECT_EQ(messages[1].RcptTo, (Lines{"c@x.org", "d@x.org"}));  // the deferred batch, whole again
  EXPECT_EQ(run.Sent(), 4);
  EXPECT_EQ(run.Failed(), 0);
  EXPECT_TRUE(Has(Log(), "Deferred c@x.org: 421")) << Log();
}

TEST_F(MailingRunTest, CancelStopsTheWaitAndFailsWhatIsDeferred) {
  server.SetDeferred({{"b@x.org", 1}});
  job.FromList = true;
  job.CheckedEntries = {"a@x.org", "b@x.org"};
  job.RetryPauses = {600000, 600000, 600000};
  struct Canceller : TestHost {
    TMailingRun *run = nullptr;
    void BeginRetryWait(int deferred) override {
      EXPECT_EQ(deferred, 1);
      QTimer::singleShot(20, [this] { run->Cancel(); });
    }
  };
  Canceller canceller;
  TMailingRun cancelled(dir.Path(), client, canceller);
  canceller.run = &cancelled;
  cancelled.PrepareSend(job);
  EXPECT_TRUE(cancelled.Cancelled());
  EXPECT_EQ(cancelled.Sent(), 1);
  EXPECT_EQ(cancelled.Failed(), 1);
  EXPECT_EQ(ReadFailedAddresses(dir.Path()), Lines{"b@x.org"});
  EXPECT_TRUE(Has(Log(), "Failed b@x.org: Cancelled while deferred: 450")) << Log();
}

TEST_F(MailingRunTest, TheServersPaceIsKept) {
  // 1,500 messages a minute: one every 40 ms, over 200 messages of one session each.
  job.FromList = true;
  job.ListPace = 1500;
  for (int i = 0; i < 200; ++i) job.CheckedEntries.push_back("r" + std::to_string(i) + "@x.org");
  TMailingRun run(dir.Path(), client, host);
  run.PrepareSend(job);
  EXPECT_EQ(run.Sent(), 200);
  const std::vector<double> &starts = run.MessageStarts();
  const std::vector<double> &due = run.MessageSlots();
  ASSERT_EQ(starts.size(), 200u);
  ASSERT_EQ(due.size(), 200u);
  int waited = 0;
  double late = 0;
  for (size_t i = 1; i < starts.size(); ++i) {
    // Never faster than the pace; a message that waited for its slot starts on time, so
    // the pace is not slower than the server makes it either.
    EXPECT_GE(starts[i] - starts[i - 1], 36.0) << i;
    if (due[i] > 0) {
      ++waited;
      EXPECT_GE(starts[i], due[i] - 0.5) << i;
      late += starts[i] - due[i];
    }
  }
  EXPECT_GT(waited, 100);  // the server is faster than the pace: most messages waited
  EXPECT_LE(late / std::max(waited, 1), 4.0);
  EXPECT_GE((starts.back() - starts.front()) / 199.0, 36.0);
}

TEST_F(MailingRunTest, RegisteredServerWithStartTlsLoginAndSize) {
  TestCertificates &certs = TestCertificates::Shared();
  ASSERT_TRUE(certs.IsValid());
  SmtpServerFixture secure(certs.ServerOptions() + QStringList{"--auth", "ann:s3cret", "--auth-require-tls", "--size", "3000"});
  ASSERT_TRUE(secure.IsRunning());
  TSmtpServer entry{"localhost", "ann", std::to_string(secure.Port()), 0, 1};
  entry.Security = 1;
  entry.Login = true;
  entry.Password = "s3cret";
  WriteSmtpServer(dir.Path(), entry);
  client.WSocket().SslCAFile = certs.CaFile();
  job.FromList = false;
  job.Server = "localhost";
  job.DialogFrom = "ann@example.org";
  job.TypedAddresses = "a@x.org, b@x.org";
  // A long line goes out in pieces, a line break inside a line makes two: SIZE counts them so.
  host.Template = {"Hello,", std::string(1200, 'w'), "two\nlines", ".dot", ""};
  WriteAll(dir.File("notes.bin"), std::string(500, '\x01'));  // 11 lines of base64, the last one short
  job.Attachments = {dir.File("notes.bin")};
  {
    TMailingRun run(dir.Path(), client, host);
    run.PrepareSend(job);
    EXPECT_EQ(run.Sent(), 2) << Log();
  }
  ASSERT_EQ(secure.Messages().size(), 2u);
  const ReceivedMessage small = secure.Messages()[0];
  // Dot-stuffing is not counted; the server's copy has the dots removed again.
  EXPECT_EQ(small.MailOptions, "SIZE=" + std::to_string(small.Data.size()));
  // The server wants TLS and a login before MAIL, so both were made.
  EXPECT_FALSE(Has(Log(), "s3cret"));
  EXPECT_FALSE(Has(Log(), "EHLO ann"));  // the account name is no greeting

  // 40 lines of 80 characters are over 3000 bytes: refused before MAIL FROM, nothing sent.
  job.Attachments.clear();
  job.TypedAddresses = "a@x.org";
  host.Template.assign(40, std::string(78, 'x'));
  TMailingRun run(dir.Path(), client, host);
  run.PrepareSend(job);
  EXPECT_EQ(run.Sent(), 0);
  EXPECT_EQ(run.Failed(), 1);
  EXPECT_EQ(secure.Messages().size(), 2u);
  EXPECT_TRUE(Has(Log(), "the server takes at most 3000")) << Log();
  EXPECT_FALSE(Has(Log(), "> MAIL FROM"));
}

TEST_F(MailingRunTest, AListsOwnServerAndTheDefaultServerUseTheirSecurityAndLogin) {
  TestCertificates &certs = TestCertificates::Shared();
  ASSERT_TRUE(certs.IsValid());
  const QStringList cert = certs.ServerOptions() + QStringList{"--auth", "ann:s3cret"};
  SmtpServerFixture implicit(cert + QStringList{"--implicit"});
  SmtpServerFixture starttls(cert + QStringList{"--auth-require-tls"});
  ASSERT_TRUE(implicit.IsRunning() && starttls.IsRunning());
  client.WSocket().SslCAFile = certs.CaFile();
  job.FromList = true;
  job.CheckedEntries = {"a@x.org", "b@x.org", "c@x.org"};
  job.ListMethod = 2;
  struct Case {
    const char *what;
    int listSecurity;      // what the list's page chose; -1 nothing
    bool listServer;       // the list names its own server, else the default one is used
    bool registered;       // the server has a registry entry (STARTTLS, login)
    SmtpServerFixture *server;
    int sent;
  };
  const Case cases[] = {
      {"the list's own choice, TLS from the first byte", 2, true, false, &implicit, 3},
      {"a list that chose nothing follows the registry entry", -1, true, true, &starttls, 3},
      {"the list's own choice wins over the entry", 0, true, true, &starttls, 0},
      {"the default server's entry", -1, false, true, &starttls, 3},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    TempDir data;
    const size_t before = c.server->Messages().size();
    if (c.registered) {
      TSmtpServer entry{"localhost", "ann", std::to_string(c.server->Port()), 2, 2};
      entry.Security = 1;
      entry.Login = true;
      entry.Password = "s3cret";
      WriteSmtpServer(data.Path(), entry);
    }
    job.ListServer = c.listServer ? "localhost" : "";
    job.DefaultServer = c.listServer ? "" : "localhost";
    job.ListPort = std::to_string(c.server->Port());
    job.ListUser = "ann";
    job.ListSecurity = c.listSecurity;
    job.ListLogin = c.listSecurity >= 0;
    job.ListPassword = c.registered ? "" : "s3cret";  // an empty box takes the entry's password
    job.ListFolder = data.Path();
    TMailingRun run(data.Path(), client, host);
    run.PrepareSend(job);
    const std::string log = ReadAll(data.File("MailLog.txt"));
    EXPECT_EQ(run.Sent(), c.sent) << log;
    EXPECT_EQ(c.server->Messages().size() - before, c.sent == 0 ? 0u : 1u);  // all at once
    EXPECT_FALSE(Has(log, "s3cret"));
    if (c.sent > 0) {
      EXPECT_TRUE(Has(log, "> AUTH PLAIN ****")) << log;
    }
  }
}
