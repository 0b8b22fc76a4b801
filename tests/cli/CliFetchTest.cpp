// brevant-cli fetch as cron runs it: the executable against a real Dovecot on 127.0.0.1,
// and against a scripted server for a message the server will not hand over.
#include "cli/CliRun.h"
#include "lists/ListRecord.h"
#include "mail/FolderIndex.h"
#include "storage/ListLock.h"
#include "storage/ServerRegistry.h"
#include "support/Pop3ServerFixture.h"
#include "support/ScriptedServer.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace {
class CliFetch : public ::testing::Test {
protected:
  void SetUp() override {
    EnsureQtApp();
    // The list names the POP server; its port comes from the server's registry entry.
    TPopServer entry;
    entry.Name = "127.0.0.1";
    entry.Port = server.PortText();
    WritePopServer(data.Path(), entry);
    TListRecord record;
    record.POPServer = "127.0.0.1";
    record.POPUserName = server.User();
    record.POPPassword = server.Password();
    record.AutoMaint = true;
    record.AddTo = true;
    record.AddToAddress = "join@example.org";
    const TNewListResult made = CreateMailList(data.Path(), "News", record);
    ASSERT_EQ(made.Name, "News");
    listPath = made.Path;
  }

  TRun Run(const QStringList &args) const { return RunCli(data.Path(), args); }
  void SetList(const std::function<void(TListRecord &)> &change) {
    TListRecord record = LoadListRecord(data.Path(), "News");
    change(record);
    WriteListRecord(data.Path(), "News", record, true, "News");  // empty values leave no key
  }
  size_t InboxSize() const { return TFolderIndex(listPath, TMailFolder::mfInbox).ReadAll().size(); }

  Pop3ServerFixture server;
  TempDir data;
  std::string listPath;
};

TEST_F(CliFetch, FetchesNewMailOnceKeepsTheBookAndSaysSo) {
  server.AddMessage("From: Dee <dee@example.org>\r\nTo: join@example.org\r\nSubject: hi\r\n\r\nplease add me\r\n");
  server.AddMessage("From: a@example.org\r\nTo: news@example.org\r\nSubject: letter\r\n\r\nbody\r\n");

  // Held by the window: nothing is fetched, and the holder is named.
  {
    TListLock window(listPath, "brevant");
    ASSERT_TRUE(window.TryAcquire());
    const TRun busy = Run({"fetch", "--list", "News"});
    EXPECT_EQ(busy.Exit, 3);
    EXPECT_TRUE(Has(busy.Err, "process " + std::to_string(getpid()) + " (brevant)")) << busy.Err;
    EXPECT_EQ(InboxSize(), 0u);
  }

  TRun run = Run({"fetch", "--list", "news"});
  ASSERT_EQ(run.Exit, 0) << run.Out << run.Err << server.Log();
  EXPECT_TRUE(Has(run.Out, "2 new messages fetched from 127.0.0.1 into the Inbox of list \"News\", 0 left "
                           "unfetched; 2 on the server."))
      << run.Out;
  EXPECT_TRUE(Has(run.Out, "Addresses added: 1, removed: 0. Log: " + listPath + "Maintenance Log.txt")) << run.Out;
  EXPECT_TRUE(Has(run.Err, "There are 2 message(s) on the server.")) << run.Err;  // not a terminal: lines
  EXPECT_FALSE(Has(run.Err, server.Password()));
  EXPECT_EQ(InboxSize(), 2u);
  EXPECT_EQ(server.MessageCount(), 2u);  // "Delete Read" is off

  // The same mail is not fetched twice; with "Delete Read" it leaves the server.
  SetList([](TListRecord &r) { r.DeleteRead = true; });
  run = Run({"fetch", "--list", "News"});
  ASSERT_EQ(run.Exit, 0) << run.Err;
  EXPECT_TRUE(Has(run.Out, "0 new messages fetched")) << run.Out;
  EXPECT_EQ(server.MessageCount(), 0u);
}

TEST_F(CliFetch, EachFailureHasItsExitCode) {
  // A refused login and a server that is not there: could not connect.
  SetList([](TListRecord &r) { r.POPPassword = "wrong"; });
  TRun run = Run({"fetch", "--list", "News"});
  EXPECT_EQ(run.Exit, 3) << run.Out << run.Err;
  EXPECT_TRUE(Has(run.Err, "could not connect to 127.0.0.1 port " + server.PortText() + ": -ERR")) << run.Err;
  EXPECT_FALSE(Has(run.Err, "wrong"));

  // No POP server at all (none of its own, none registered as the default): a setting is missing.
  SetList([](TListRecord &r) { r.POPServer.clear(); });
  DeletePopServer(data.Path(), "127.0.0.1");
  run = Run({"fetch", "--list", "News"});
  EXPECT_EQ(run.Exit, 2);
  EXPECT_TRUE(Has(run.Err, "has no POP server (\"POP Server\" in ")) << run.Err;

  // A message the server will not hand over stays there for the next run.
  ScriptedServer scripted;
  scripted.OnConnect = [](ScriptedServer &s) { s.Send("+OK ready\r\n"); };
  scripted.OnLine = [](ScriptedServer &s, const std::string &line) {
    if (line == "STAT") return s.Send("+OK 2 200\r\n");
    if (line == "UIDL") return s.Send("-ERR no listing\r\n");  // asked one by one instead
    if (line == "UIDL 1") return s.Send("+OK 1 one\r\n");
    if (line == "UIDL 2") return s.Send("+OK 2 two\r\n");
    if (line == "RETR 1") return s.Send("+OK\r\nSubject: one\r\n\r\nbody\r\n.\r\n");
    if (line == "RETR 2") return s.Send("-ERR message is locked\r\n");
    if (line == "QUIT") {
      s.Send("+OK bye\r\n");
      return s.CloseClient();
    }
    s.Send("+OK\r\n");
  };
  TPopServer entry;
  entry.Name = "127.0.0.1";
  entry.Port = scripted.Port();
  WritePopServer(data.Path(), entry);
  SetList([&](TListRecord &r) {
    r.POPServer = "127.0.0.1";
    r.POPPassword = server.Password();
  });
  run = Run({"fetch", "--list", "News"});
  EXPECT_EQ(run.Exit, 1) << run.Out << run.Err;
  EXPECT_TRUE(Has(run.Out, "1 new messages fetched from 127.0.0.1 into the Inbox of list \"News\", 1 left unfetched"))
      << run.Out;
  EXPECT_TRUE(Has(run.Err, "Error - -ERR message is locked")) << run.Err;
  EXPECT_EQ(InboxSize(), 1u);
}
}  // namespace
