#include "FakeSmtpClient.h"
#include "mail/MailingRun.h"
#include "storage/IniFiles32.h"
#include "storage/Strings.h"
#include "storage/TextFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace {
// The window side: a message template whose "%Name%" takes the name of the address shown.
class TestHost : public IMailingHost {
public:
  std::vector<std::string> Template = {"Dear %Name%,", "the news."};
  std::map<std::string, std::string> Names;  // entry -> name
  std::vector<std::string> Statuses, Infos;
  std::string Protocol;
  int Progress = -1;
  int Assemblies = 0;

  TAssembledMessage AssembleMessage(bool mergeCodes) override {
    ++Assemblies;
    TAssembledMessage message;
    for (const std::string &line : Template)
      message.Lines.push_back(mergeCodes ? ReplaceAll(line, "%Name%", shown_) : line);
    return message;
  }
  std::string ShowAddress(const std::string &entry) override {
    shown_ = Names[entry];
    return entry;
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

class MailingRunTest : public ::testing::Test {
protected:
  void SetUp() override {
    EnsureCoreApplication();
    job.ListFolder = dir.Path() + "List/";
    job.ListServer = "mail.example.org";
    job.ListPort = "2525";
    job.ListUser = "me.example.org";
    job.ListTo = "list@example.org";
    job.ListFrom = "editor@example.org";
    job.ListReply = "reply@example.org";
    job.Subject = "Spring news";
  }
  std::string Log() const { return ReadAll(dir.File("MailLog.txt")); }
  std::string FailedFile() const { return ReadAll(dir.File("Failed.txt")); }
  static bool Has(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }
  static std::string Header(const FakeSmtpClient::Message &m, const std::string &name) {
    for (const std::string &h : m.Headers)
      if (StartsText(name + ":", h)) return h;
    return "<none>";
  }

  TempDir dir;
  FakeSmtpClient client;
  TestHost host;
  TMailingJob job;
};
}  // namespace

TEST_F(MailingRunTest, ListInBatchesOfTwo) {
  TMailingRun run(dir.Path(), client, host);
  job.FromList = true;
  job.CheckedEntries = {"a@x.org", "Bea <b@x.org>", "c@x.org", "d@x.org", "e@x.org"};
  job.ListMethod = 1;
  job.ListBatchSize = 2;
  const std::string sentFile = run.PrepareSend(job);

  EXPECT_EQ(client.RcptPerSession, (std::vector<size_t>{2, 2, 1}));
  ASSERT_EQ(client.Messages.size(), 3u);
  EXPECT_EQ(client.Messages[0].Accepted, (std::vector<std::string>{"a@x.org", "b@x.org"}));
  EXPECT_EQ(host.CountStatus("Preparing to send message to 2 addresses..."), 3);
  EXPECT_EQ(host.CountStatus("Successful: 4/  Unsuccessful: 0"), 1);
  EXPECT_EQ(host.Statuses.back(), "5 messages sent succesfully. 0 failed.");
  EXPECT_EQ(host.Progress, 0);
  EXPECT_EQ(client.LastPort, "2525");
  EXPECT_EQ(client.LastSignOn, "me.example.org");
  EXPECT_EQ(run.Sent(), 5);
  EXPECT_EQ(run.Failed(), 0);
  EXPECT_FALSE(run.Running());

  // Headers: list addresses, X-Mailer right after Subject.
  const auto &headers = client.Messages[2].Headers;
  EXPECT_EQ(headers, (std::vector<std::string>{"Reply-To: reply@example.org", "From: editor@example.org",
                                                "To: list@example.org", "Subject: Spring news",
                                                "X-Mailer: Brevant 2.0 by Tarnwick", "Mime-Version: 1.0",
                                                "Content-Type: text/plain; charset=\"iso-8859-1\""}));
  EXPECT_EQ(client.Messages[2].Body, (std::vector<std::string>{"Dear %Name%,", "the news."}));
  EXPECT_EQ(client.Messages[0].From, "editor@example.org");

  // The log holds the dialogue as displayed, body lines but no header lines.
  const std::string log = Log();
  EXPECT_EQ(log.rfind("Mail session started at ", 0), 0u);
  EXPECT_TRUE(Has(log, "\r\n\r\n< 220 fake ESMTP\r\n> HELO me.example.org\r\n"));
  EXPECT_TRUE(Has(log, "> RCPT TO:<e@x.org>\r\n< 250 ok\r\n> DATA\r\n< 354 go ahead\r\n> Dear %Name%,\r\n"));
  EXPECT_FALSE(Has(log, "Subject:"));
  EXPECT_TRUE(Has(log, "> QUIT\r\n< 221 bye\r\n\r\n5 messages sent succesfully. 0 failed.\r\n"));
  EXPECT_TRUE(Has(FailedFile(), "\r\n\r\n0 addresses failed.\r\n"));

  // The Sent copy lists the entries as collected.
  EXPECT_EQ(sentFile, job.ListFolder + "Sent/Spring news.rtf");
  const TIniFile32 index(job.ListFolder + "Sent.dat");
  EXPECT_EQ(index.ReadString("Spring news.rtf", "From", ""), "a@x.org,Bea <b@x.org>,c@x.org,d@x.org,e@x.org,");
  const std::vector<std::string> copy = ReadSentLines(sentFile);
  ASSERT_EQ(copy.size(), 6u);
  EXPECT_EQ(copy[0], "Subject: Spring news");
  EXPECT_EQ(copy[1], "To: a@x.org,Bea <b@x.org>,c@x.org,d@x.org,e@x.org");
  EXPECT_EQ(copy[2].rfind("Date: ", 0), 0u);
  EXPECT_EQ(std::vector<std::string>(copy.begin() + 3, copy.end()),
            (std::vector<std::string>{"", "Dear %Name%,", "the news."}));
}

TEST_F(MailingRunTest, TypedAddressesWithTheRegistrysMethod) {
  TIniFile32 registry(dir.File("Smtp Servers.ini"), TIniMode::imPlatform);
  registry.WriteString("smtp.example.org", "Username", "desk");
  registry.WriteString("smtp.example.org", "Port", "587");
  registry.WriteInteger("smtp.example.org", "Send Method", 2);
  job.Server = "smtp.example.org";
  job.TypedAddresses = "one@x.org, two@x.org";
  job.DialogFrom = "typed@example.org";
  {
    TMailingRun run(dir.Path(), client, host);
    run.PrepareSend(job);
  }
  ASSERT_EQ(client.RcptPerSession, (std::vector<size_t>{2}));
  EXPECT_EQ(client.LastPort, "587");
  EXPECT_EQ(client.LastSignOn, "desk");
  const auto &first = client.Messages.at(0);
  EXPECT_EQ(first.Accepted, (std::vector<std::string>{"one@x.org", " two@x.org"}));
  EXPECT_EQ(Header(first, "To"), "To:  two@x.org");  // the last of the batch
  EXPECT_EQ(Header(first, "From"), "From: typed@example.org");
  EXPECT_EQ(Header(first, "Reply-To"), "Reply-To: typed@example.org");
  EXPECT_EQ(first.From, "typed@example.org");

  // Blind copies with the general properties' addresses.
  job.BCC = true;
  job.GenProps = true;
  job.GenEmail = "me@example.org";
  job.GenReply = "answers@example.org";
  {
    TMailingRun run(dir.Path(), client, host);
    run.PrepareSend(job);
  }
  const auto &second = client.Messages.at(1);
  EXPECT_EQ(Header(second, "To"), "To: ");
  EXPECT_EQ(Header(second, "From"), "From: me@example.org");
  EXPECT_EQ(Header(second, "Reply-To"), "Reply-To: answers@example.org");

  // Method 1 with a stored 0 per message still sends, one address at a time.
  registry.WriteInteger("smtp.example.org", "Send Method", 1);
  registry.WriteInteger("smtp.example.org", "RCPT TO", 0);
  TMailingRun run(dir.Path(), client, host);
  run.PrepareSend(job);
  EXPECT_EQ(client.RcptPerSession, (std::vector<size_t>{2, 2, 1, 1}));
  EXPECT_EQ(run.Sent(), 2);
}

TEST_F(MailingRunTest, FieldCodesGiveEachRecipientHisOwnMessage) {
  TMailingRun run(dir.Path(), client, host);
  job.FromList = false;  // typed text is not used in this mode
  job.TypedAddresses = "typed@x.org";
  job.Server = "smtp.example.org";
  job.FieldCodes = true;
  job.CheckedEntries = {"ann@x.org", "bob@x.org"};
  host.Names = {{"ann@x.org", "Ann"}, {"bob@x.org", "Bob"}};
  job.BCC = true;
  const std::string sentFile = run.PrepareSend(job);
  ASSERT_EQ(client.Messages.size(), 2u);
  EXPECT_EQ(client.Messages[0].Accepted, std::vector<std::string>{"ann@x.org"});
  EXPECT_EQ(client.Messages[0].Body.at(0), "Dear Ann,");
  EXPECT_EQ(client.Messages[1].Body.at(0), "Dear Bob,");
  EXPECT_EQ(Header(client.Messages[1], "To"), "To: ");
  EXPECT_EQ(Header(client.Messages[1], "From"), "From: editor@example.org");
  EXPECT_EQ(host.CountStatus("Preparing to send message to bob@x.org"), 1);
  EXPECT_EQ(run.Sent(), 2);
  // The Sent record lists the typed text; the copy is the last recipient's message.
  EXPECT_EQ(TIniFile32(job.ListFolder + "Sent.dat").ReadString("Spring news.rtf", "From", ""), "typed@x.org,");
  EXPECT_EQ(ReadSentLines(sentFile).at(4), "Dear Bob,");
}

TEST_F(MailingRunTest, RefusalsCountAsFailed) {
  TMailingRun run(dir.Path(), client, host);
  job.FromList = true;
  job.CheckedEntries = {"a@x.org", "bad@x.org", "c@x.org", "d@x.org", "worse@x.org"};
  job.ListMethod = 1;
  job.ListBatchSize = 3;
  client.Refuse = {"bad@x.org", "worse@x.org"};
  run.PrepareSend(job);
  // First batch: the server took the message for a and c only. Second batch: the last
  // recipient was refused, so no message went out at all.
  ASSERT_EQ(client.Messages.size(), 1u);
  EXPECT_EQ(client.Messages[0].Accepted, (std::vector<std::string>{"a@x.org", "c@x.org"}));
  EXPECT_EQ(run.Sent(), 2);
  EXPECT_EQ(run.Failed(), 3);
  EXPECT_TRUE(Has(FailedFile(), "\r\nbad@x.org\r\nd@x.org\r\nworse@x.org\r\n\r\n3 addresses failed.\r\n"));
  EXPECT_TRUE(Has(Log(), "< 550 5.1.1 <bad@x.org>: Recipient address rejected\r\n"));
  EXPECT_TRUE(Has(Log(), "\r\n2 messages sent succesfully. 3 failed.\r\n"));
  EXPECT_EQ(host.CountStatus("Error - 550 5.1.1 <worse@x.org>: Recipient address rejected (550)"), 2);
  EXPECT_EQ(host.CountStatus("Successful: 2/  Unsuccessful: 1"), 1);

  // A refused sender fails the whole message.
  client.Refuse.clear();
  client.RefuseMail = true;
  job.ListMethod = 0;
  run.PrepareSend(job);
  EXPECT_EQ(run.Sent(), 0);
  EXPECT_EQ(run.Failed(), 5);
  EXPECT_TRUE(Has(FailedFile(), "\r\n\r\n5 addresses failed.\r\n"));
  EXPECT_TRUE(Has(host.Statuses.back(), "0 messages sent succesfully. 5 failed."));
}

TEST_F(MailingRunTest, ServersThatCannotBeUsed) {
  job.FromList = true;
  job.CheckedEntries = {"a@x.org", "b@x.org", "c@x.org"};
  {
    // Unreachable: one attempt per message, each message failed, and the run ends.
    client.Unreachable = true;
    TMailingRun run(dir.Path(), client, host);
    EXPECT_FALSE(run.PrepareSend(job).empty());
    EXPECT_EQ(client.OpenAttempts, 3);
    EXPECT_EQ(run.Failed(), 3);
    EXPECT_EQ(host.CountStatus("Error - 500 Connection refused (Winsock error #10061) (10061)"), 3);
  }
  {
    // No server name: the lookup error is raised, the client is brought back, every
    // message fails, the user is told and nothing is filed.
    client.Unreachable = false;
    client.OpenAttempts = 0;
    job.ListServer = "";
    job.ListMethod = 0;
    TMailingRun run(dir.Path(), client, host);
    EXPECT_EQ(run.PrepareSend(job), "");
    EXPECT_EQ(client.OpenAttempts, 3);
    EXPECT_EQ(run.Failed(), 3);
    EXPECT_EQ(host.CountStatus("Error - DNS lookup: invalid host name."), 3);
    ASSERT_EQ(host.Infos.size(), 1u);
    EXPECT_EQ(host.Infos[0].rfind("A SMTP server has not been set!\r\n\r\nYou must set", 0), 0u);
    EXPECT_TRUE(client.Ready());
    EXPECT_TRUE(Has(FailedFile(), "a@x.org\r\nb@x.org\r\nc@x.org\r\n\r\n3 addresses failed.\r\n"));
  }
  std::vector<std::string> records;  // the first run's record only
  TIniFile32(job.ListFolder + "Sent.dat").ReadSections(&records);
  EXPECT_EQ(records, std::vector<std::string>{"Spring news.rtf"});
}

TEST_F(MailingRunTest, NothingToSend) {
  TMailingRun run(dir.Path(), client, host);
  // No entry checked: no session, closing lines written, a copy filed with "To: ".
  job.FromList = true;
  const std::string sentFile = run.PrepareSend(job);
  EXPECT_EQ(client.OpenAttempts, 0);
  EXPECT_TRUE(Has(Log(), "\r\n\r\n\r\n0 messages sent succesfully. 0 failed.\r\n"));
  EXPECT_TRUE(Has(FailedFile(), "\r\n\r\n0 addresses failed.\r\n"));
  EXPECT_EQ(ReadSentLines(sentFile).at(1), "To: ");

  // No send method: nothing sent, the files of the last run stay, the user is told, no copy.
  WriteAll(dir.File("MailLog.txt"), "previous");
  job.CheckedEntries = {"a@x.org"};
  job.ListMethod = -1;
  EXPECT_EQ(run.PrepareSend(job), "");
  EXPECT_EQ(Log(), "previous");
  EXPECT_EQ(client.OpenAttempts, 0);
  ASSERT_EQ(host.Infos.size(), 1u);
  EXPECT_TRUE(Has(host.Infos[0], "nothing was sent"));

  // An empty recipient text on the address page.
  job.FromList = false;
  job.TypedAddresses = " , ";
  EXPECT_EQ(run.PrepareSend(job), "");
  EXPECT_EQ(Log(), "previous");
  ASSERT_EQ(host.Infos.size(), 2u);
  EXPECT_EQ(host.Infos[1], "No addresses have been entered, so nothing was sent.");
  EXPECT_FALSE(DirectoryExists(job.ListFolder + "Sent/Spring news1.rtf"));
}

TEST_F(MailingRunTest, LongLinesLongSubjectsAndMissingAttachments) {
  TMailingRun run(dir.Path(), client, host);
  job.FromList = true;
  job.CheckedEntries = {"a@x.org", "b@x.org"};
  // A line longer than the client takes goes out in pieces, not cut.
  const std::string longLine = std::string(1500, 'a') + std::string(1000, 'b');
  host.Template = {"start", longLine, "end"};
  job.Subject = std::string(60, 's') + " " + std::string(60, 't') + " tail";
  run.PrepareSend(job);
  ASSERT_EQ(client.Messages.size(), 2u);
  const auto &body = client.Messages[0].Body;
  ASSERT_EQ(body.size(), 5u);
  EXPECT_EQ(body[0], "start");
  EXPECT_EQ(body[1] + body[2] + body[3], longLine);
  EXPECT_EQ(body[1].size(), 1022u);
  EXPECT_EQ(body[4], "end");
  EXPECT_EQ(client.Messages[1].Body, body);
  const auto &headers = client.Messages[0].Headers;
  const auto subject = std::find(headers.begin(), headers.end(), "Subject: " + std::string(60, 's'));
  ASSERT_NE(subject, headers.end());
  EXPECT_EQ(*(subject + 1), " " + std::string(60, 't') + " tail");
  EXPECT_EQ(*(subject + 2), "X-Mailer: Brevant 2.0 by Tarnwick");

  // A missing attachment fails each batch and the run goes on to its end.
  job.Attachments = {dir.File("gone.pdf")};
  run.PrepareSend(job);
  EXPECT_EQ(run.Failed(), 2);
  EXPECT_EQ(host.CountStatus("Error - File not found '" + dir.File("gone.pdf") + "'"), 2);
  EXPECT_TRUE(Has(Log(), "0 messages sent succesfully. 2 failed."));
}
