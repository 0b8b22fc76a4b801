// brevant-cli as cron runs it: the executable against a real SMTP server on 127.0.0.1.
#include "cli/CliRun.h"
#include "compose/Document.h"
#include "compose/Scrooge.h"
#include "lists/AddressRecord.h"
#include "lists/ListRecord.h"
#include "mail/MailTestSupport.h"
#include "storage/ListLock.h"
#include "storage/ServerRegistry.h"
#include "storage/Strings.h"
#include "storage/TextFile.h"
#include "support/RichDocs.h"

#include <QFile>
#include <algorithm>
#include <map>
#include <QProcess>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {
class CliProgram : public ::testing::Test {
protected:
  void SetUp() override {
    EnsureQtApp();
    ASSERT_TRUE(server.IsRunning());
    TListRecord record;
    record.ToAddress = "news@example.org";
    record.FromAddress = "editor@example.org";
    record.SMTPServer = "127.0.0.1";
    record.SMTPPort = std::to_string(server.Port());
    record.SendMethod = 0;
    const TNewListResult made = CreateMailList(data.Path(), "News", record);
    ASSERT_EQ(made.Name, "News");
    listPath = made.Path;
    for (const char *name : {"Ann", "Bob", "Cy"}) {
      const std::string email = LowerCase(name) + "@example.org";
      WriteAddress(listPath, AddressKey(email), {name, "", "", email, "", "", "", "", ""});
    }
    TDocumentState state;
    TNewsletterContent content;
    content.Subject = "Issue 1";
    content.Body = PlainDoc({"Hello %Name%,", "the spring issue."});
    TScrooge converter;
    WriteDocument(state, data.File("issue.bvd"), dfDocument, content, "Editor", converter, NowDateTime());
  }

  TRun Run(const QStringList &args) const { return RunCli(data.Path(), args); }
  QString File(const char *name) const { return QString::fromStdString(data.File(name)); }

  SmtpServerFixture server;
  TempDir data;
  std::string listPath;
};

TEST_F(CliProgram, SendsToEverySubscriberWithTheirOwnFields) {
  const TRun run = Run({"send", "--list", "news", File("issue.bvd"), "--field-codes"});
  ASSERT_EQ(run.Exit, 0) << run.Err;
  EXPECT_TRUE(Has(run.Out, "3 messages sent successfully to list \"News\", 0 failed.")) << run.Out;
  const std::vector<ReceivedMessage> got = server.Messages();
  ASSERT_EQ(got.size(), 3u);
  // Sessions at once: the server stores the messages in any order.
  const TReceived bob(*std::find_if(got.begin(), got.end(), [](const ReceivedMessage &m) {
    return m.RcptTo == std::vector<std::string>{"bob@example.org"};
  }));
  EXPECT_EQ(bob.Header("Subject"), "Subject: Issue 1");
  EXPECT_EQ(bob.Body.at(0), "Hello Bob,");
  EXPECT_TRUE(Has(ReadAll(listPath + "Sent.dat"), "Subject=Issue 1"));  // filed as the window files it
  // Not a terminal: plain progress lines.
  EXPECT_TRUE(Has(run.Err, "Preparing to send message to ann@example.org\n")) << run.Err;
}

TEST_F(CliProgram, BusyListRefusedRecipientAndUnreachableServerHaveTheirExitCodes) {
  {
    TListLock lock(listPath, "brevant");  // the window holds the list: nothing is sent
    ASSERT_TRUE(lock.TryAcquire());
    const TRun busy = Run({"send", "--list", "News", File("issue.bvd")});
    EXPECT_EQ(busy.Exit, 3);
    EXPECT_TRUE(Has(busy.Err, "process " + std::to_string(getpid()) + " (brevant)")) << busy.Err;
    EXPECT_TRUE(server.Messages().empty());
  }
  server.SetRefused({"bob@example.org"});
  TRun run = Run({"send", "--list", "News", File("issue.bvd")});
  EXPECT_EQ(run.Exit, 1) << run.Err;
  EXPECT_TRUE(Has(run.Out, "2 messages sent successfully to list \"News\", 1 failed.")) << run.Out;
  EXPECT_TRUE(Has(ReadAll(data.File("Failed.txt")), "bob@example.org"));

  server.Stop();
  run = Run({"send", "--list", "News", File("issue.bvd")});
  EXPECT_EQ(run.Exit, 3) << run.Out << run.Err;
  EXPECT_TRUE(Has(run.Err, "could not connect to 127.0.0.1")) << run.Err;
}

TEST_F(CliProgram, DryRunWritesTheMessagesInsteadOfSending) {
  TListRecord record = LoadListRecord(data.Path(), "News");
  record.SendMethod = 1;
  record.RCPTTO = 2;
  WriteListRecord(data.Path(), "News", record, false, "");
  const TRun run = Run({"send", "--list", "News", File("issue.bvd"), "--dry-run", File("out")});
  ASSERT_EQ(run.Exit, 0) << run.Err;
  EXPECT_TRUE(Has(run.Out, "2 messages written to")) << run.Out;
  EXPECT_TRUE(server.Messages().empty());
  // Two batches of the list's method: 2 and 1 recipients.
  const std::string first = ReadAll(data.File("out/0001.eml"));
  EXPECT_TRUE(Has(first, "Subject: Issue 1\r\n")) << first;
  EXPECT_TRUE(Has(first, "\r\nHello %Name%,\r\n")) << first;
  EXPECT_TRUE(FileExists(data.File("out/0002.eml")));
  EXPECT_FALSE(FileExists(data.File("out/0003.eml")));
  // Nothing real happened: no Sent copy, no log in the data folder.
  EXPECT_FALSE(FileExists(listPath + "Sent.dat"));
  EXPECT_FALSE(FileExists(data.File("MailLog.txt")));
}

TEST_F(CliProgram, BadUsageAndSettingsNameWhatIsWrong) {
  const struct {
    QStringList args;
    int exit;
    const char *says;
  } cases[] = {
      {{"send", "--list", "Nope", File("issue.bvd")}, 2, "no mailing list \"Nope\" in "},
      {{"send", "--list", "News", File("missing.bvd")}, 2, "missing.bvd"},
      {{"bogus"}, 2, "unknown command"},
      {{"fetch", "--list", "Nope"}, 2, "no mailing list \"Nope\" in "},
      {{"import", "--list", "News", File("none.csv")}, 2, "none.csv"},
  };
  for (const auto &c : cases) {
    const TRun run = Run(c.args);
    EXPECT_EQ(run.Exit, c.exit) << c.says;
    EXPECT_TRUE(Has(run.Err, c.says)) << run.Err;
  }
  TListRecord record = LoadListRecord(data.Path(), "News");
  record.SMTPServer.clear();
  WriteListRecord(data.Path(), "News", record, true, "News");
  const TRun noServer = Run({"send", "--list", "News", File("issue.bvd")});
  EXPECT_EQ(noServer.Exit, 2);
  EXPECT_TRUE(Has(noServer.Err, "has no SMTP server (\"SMTP Server\" in ")) << noServer.Err;
  const TRun help = Run({"import", "--help"});
  EXPECT_EQ(help.Exit, 0);
  EXPECT_TRUE(Has(help.Out, "Usage: brevant-cli import"));
}

TEST_F(CliProgram, ImportCsvWithBadRowsThenExportAndList) {
  WriteAll(data.File("people.csv"), "Email,Name,Custom1\r\n"
                                    "dee@example.org,Dee,gold\r\n"
                                    "no-at-sign,Nobody,\r\n"
                                    "ann@example.org,Ann Updated,\r\n"
                                    "DEE@example.org,Dee Twice,\r\n");
  TRun run = Run({"import", "--list", "News", File("people.csv")});
  ASSERT_EQ(run.Exit, 0) << run.Err;
  EXPECT_TRUE(Has(run.Out, "1 imported, 1 updated, 1 skipped as invalid, 1 skipped as duplicate.")) << run.Out;

  EXPECT_EQ(ShowAddress(listPath, "<dee@example.org>").Custom1, "gold");

  run = Run({"export", "--list", "News", File("all.csv")});
  ASSERT_EQ(run.Exit, 0) << run.Err;
  EXPECT_TRUE(Has(run.Out, "4 subscribers"));
  EXPECT_TRUE(Has(ReadAll(data.File("all.csv")), "Ann Updated"));
  run = Run({"lists"});
  EXPECT_EQ(run.Out, "News\t4\n");
}

}  // namespace

TEST_F(CliProgram, AKilledSendIsResumedAndNobodyGetsItTwice) {
  std::vector<std::string> everyone = {"ann@example.org", "bob@example.org", "cy@example.org"};
  for (int i = 0; i < 12; ++i) {
    const std::string email = "reader" + std::to_string(i) + "@example.org";
    WriteAddress(listPath, AddressKey(email), {"Reader", "", "", email, "", "", "", "", ""});
    everyone.push_back(email);
  }
  const std::string journal = listPath + "Send Journal.txt";
  // The server stops answering after five messages; the program is killed while it waits.
  // One session, so that no other message is half-way when the fifth is taken.
  TSmtpServer entry;
  entry.Name = "127.0.0.1";
  entry.Sessions = 1;
  WriteSmtpServer(data.Path(), entry);
  server.HoldAfter(5);
  QProcess child;
  child.start(BREVANT_CLI_PATH, {"--data-dir", QString::fromStdString(data.Path()), "send", "--list", "news",
                                 File("issue.bvd"), "--field-codes"});
  ASSERT_TRUE(child.waitForStarted(10000));
  for (int i = 0; i < 600 && (server.Messages().size() < 5 || SplitLines(ReadAll(journal)).size() < 5); ++i)
    child.waitForFinished(50);  // a pause that also notices an early end
  ASSERT_EQ(server.Messages().size(), 5u);
  child.kill();
  child.waitForFinished(10000);
  server.ReleaseHold();
  EXPECT_EQ(SplitLines(ReadAll(journal)).size(), 5u);

  const TRun resumed = Run({"send", "--list", "news", File("issue.bvd"), "--field-codes"});
  ASSERT_EQ(resumed.Exit, 0) << resumed.Err;
  EXPECT_TRUE(Has(resumed.Err, "5 of 15 recipients already received this newsletter; sending to the remaining 10."))
      << resumed.Err;
  std::map<std::string, int> got;
  for (const ReceivedMessage &m : server.Messages())
    for (const std::string &r : m.RcptTo) ++got[r];
  for (const std::string &email : everyone) EXPECT_EQ(got[email], 1) << email;
  EXPECT_EQ(got.size(), everyone.size());
  EXPECT_FALSE(QFile::exists(QString::fromStdString(journal)));  // a finished run leaves none
}
