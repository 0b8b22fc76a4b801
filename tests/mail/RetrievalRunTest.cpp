// The retrieval run end to end: the real POP3 client against a real Dovecot on 127.0.0.1,
// and against scripted servers for a dropped connection and a silent server.
#include "lists/AddressRecord.h"
#include "lists/ListRecord.h"
#include "mail/FolderIndex.h"
#include "mail/RetrievalRun.h"
#include "mail/UidlHistory.h"
#include "storage/Filters.h"
#include "storage/IniFiles32.h"
#include "storage/TextFile.h"
#include "support/Pop3Recorder.h"
#include "support/Pop3ServerFixture.h"
#include "support/QtTestApp.h"
#include "support/ScriptedServer.h"
#include "support/TempDir.h"
#include "support/TestCertificates.h"

#include <QDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>

namespace {

class TestHost : public IRetrievalHost {
public:
  std::vector<std::string> Statuses, Commands, Infos;
  std::string Protocol, Window;
  int Progress = -1, Filed = 0;
  bool KeepAlive = false, WindowOpen = false;
  std::function<void()> OnFiled;

  void SetStatus(const std::string &text) override { Statuses.push_back(text); }
  void SetProtocolLine(const std::string &text) override {
    Protocol = text;
    if (text.rfind("> ", 0) == 0) Commands.push_back(text.substr(2));
  }
  void SetProgress(int percent) override { Progress = percent; }
  void ShowInformation(const std::string &text) override { Infos.push_back(text); }
  void ShowProgressWindow(const std::string &label) override {
    Window = label;
    WindowOpen = true;
  }
  void CloseProgressWindow() override { WindowOpen = false; }
  void SetKeepAlive(bool enabled) override { KeepAlive = enabled; }
  void MessageFiled() override {
    ++Filed;
    if (OnFiled) OnFiled();
  }
  bool Saw(const std::string &status) const {
    return std::find(Statuses.begin(), Statuses.end(), status) != Statuses.end();
  }
  bool SawError() const {
    return std::any_of(Statuses.begin(), Statuses.end(), [](const std::string &s) { return s.rfind("Error - ", 0) == 0; });
  }
};

std::string Mail(int n, const std::string &to = "list@example.org") {
  return "From: Sender " + std::to_string(n) + " <s" + std::to_string(n) + "@example.org>\r\nTo: " + to +
         "\r\nSubject: Message " + std::to_string(n) + "\r\nDate: Mon, 7 Dec 2026 10:00:0" + std::to_string(n % 10) +
         " +0000\r\n\r\nBody of message " + std::to_string(n) + "\r\n..dotted line\r\n";
}

// The identifiers Dovecot gives the messages, by number.
std::vector<std::string> ServerIdentifiers(const Pop3ServerFixture &server) {
  Pop3Recorder r;
  r.Point(server.Host(), server.PortText(), server.User(), server.Password());
  std::vector<std::string> ids;
  r.Cli.OnUidlLine = [&](TComponent *) { ids.push_back(r.Cli.MsgUidl()); };
  r.Run([&] { r.Cli.Open(); });
  r.Cli.MsgNum = 0;
  r.Run([&] { r.Cli.Uidl(); });
  r.Run([&] { r.Cli.Quit(); });
  return ids;
}

std::vector<std::string> Sections(const std::string &file) {
  std::vector<std::string> names;
  TIniFile32(file).ReadSections(&names);
  return names;
}

// A data folder with the list "News", the client, the window side and the run.
struct OwnRun {
  OwnRun() {
    EnsureQtApp();
    EXPECT_TRUE(CreateListFolder(list).Created);
    TIniFile32(ListsFile(dir.Path())).WriteString("News", "Path", list);
    job.ListName = "News";
    job.ListPath = list;
  }
  void Point(const Pop3ServerFixture &server) {
    cli.Host = server.Host();
    cli.Port = server.PortText();
    cli.UserName = server.User();
    cli.PassWord = server.Password();
  }
  // Runs Get New and then lets the session's last events pass.
  void GetNew() {
    run.GetNewMail(job);
    RunEventsUntil([this] { return cli.State() == pop3Ready && !cli.Connected(); }, 5000);
  }
  // The same against a scripted server on 127.0.0.1.
  void GetNew(const std::string &port) {
    cli.Host = cli.Host.empty() ? "127.0.0.1" : cli.Host;
    cli.Port = port;
    cli.UserName = cli.UserName.empty() ? "u" : cli.UserName;
    cli.PassWord = cli.PassWord.empty() ? "p" : cli.PassWord;
    GetNew();
  }
  std::vector<TFolderRecord> Inbox(const std::string &path) const {
    return TFolderIndex(path, TMailFolder::mfInbox).ReadAll();
  }
  std::vector<std::string> InboxNames() const { return TFolderIndex(list, TMailFolder::mfInbox).RecordNames(); }
  std::vector<std::string> History() const { return Sections(dir.File(kUidlFile)); }

  TempDir dir;
  std::string list = dir.Path() + "News/";
  TPop3Cli cli;
  TestHost host;
  TRetrievalRun run{dir.Path(), cli, host};
  TRetrievalJob job;
};

class RetrievalRun : public ::testing::Test, public OwnRun {};

TEST_F(RetrievalRun, FetchesOnlyWhatEarlierRunsDidNotFilesItAndDeletesWhatIsRead) {
  Pop3ServerFixture server;
  for (int n = 1; n <= 3; ++n) server.AddMessage(Mail(n));
  const std::vector<std::string> ids = ServerIdentifiers(server);
  ASSERT_EQ(ids.size(), 3u) << server.Log();
  WriteAll(dir.File(kUidlFile), "\r\n[127.0.0.1:" + ids[1] + "]\r\n1=1\r\n");
  Point(server);
  job.Delete = true;
  GetNew();

  // One listing of every identifier, then only the new messages, in one batch (Dovecot
  // offers PIPELINING); "Delete Read" takes the stored messages and the one read before.
  EXPECT_EQ(host.Commands, (std::vector<std::string>{"USER tester", "STAT", "UIDL", "CAPA", "RETR 1", "RETR 3",
                                                      "DELE 1", "DELE 3", "DELE 2", "QUIT"}));
  EXPECT_EQ(server.MessageCount(), 0u);
  EXPECT_EQ(History(),
            (std::vector<std::string>{"127.0.0.1:" + ids[1], "127.0.0.1:" + ids[0], "127.0.0.1:" + ids[2]}));
  const std::vector<TFolderRecord> inbox = Inbox(list);
  ASSERT_EQ(inbox.size(), 2u);
  EXPECT_EQ(inbox[0].Name, ids[0]);
  EXPECT_EQ(inbox[0].From, "Sender 1 <s1@example.org>");
  EXPECT_EQ(inbox[0].Subject, "Message 1");
  EXPECT_EQ(inbox[0].Date, "Mon, 7 Dec 2026 10:00:01 +0000");
  EXPECT_EQ(inbox[1].MsgNum, 3);
  EXPECT_TRUE(inbox[1].Received);
  EXPECT_FALSE(inbox[1].Viewed);
  EXPECT_EQ(ReadAll(inbox[0].FileName), "> UIDL 1\r\n< +OK 1 " + ids[0] + "\r\n" + Mail(1));
  EXPECT_TRUE(host.Saw("There are 3 message(s) on the server."));
  EXPECT_TRUE(host.Saw("Retrieved message 3."));
  EXPECT_EQ(host.Window, "Retrieving 3 messages from 127.0.0.1...");
  EXPECT_FALSE(host.WindowOpen);
  EXPECT_FALSE(host.KeepAlive);
  EXPECT_EQ(run.Stored(), 2);
  for (const std::string &line : host.Commands) EXPECT_EQ(line.find("secret"), std::string::npos);
}

TEST_F(RetrievalRun, FiltersFileInAnotherListWhileMaintenanceActsOnTheCurrentOne) {
  const std::string club = dir.Path() + "Club/";
  ASSERT_TRUE(CreateListFolder(club).Created);
  TIniFile32(ListsFile(dir.Path())).WriteString("Club", "Path", club);
  WriteFilters(dir.Path(), "Club", {"club@example.org"});
  job.Maintenance.AutoMaint = true;
  job.Maintenance.AddTo = true;
  job.Maintenance.AddToAddress = "club@example.org";
  Pop3ServerFixture server;
  server.AddMessage(Mail(1, "club@example.org"));
  server.AddMessage(Mail(2));
  Point(server);
  GetNew();
  ASSERT_EQ(Inbox(club).size(), 1u);
  EXPECT_EQ(Inbox(club)[0].Subject, "Message 1");
  EXPECT_EQ(Inbox(club)[0].FileName.rfind(club + "Inbox/", 0), 0u);
  ASSERT_EQ(Inbox(list).size(), 1u);
  EXPECT_EQ(Inbox(list)[0].Subject, "Message 2");
  EXPECT_EQ(Sections(AddressBookFile(list)), (std::vector<std::string>{"<s1@example.org>"}));
  EXPECT_TRUE(Sections(AddressBookFile(club)).empty());
  EXPECT_EQ(run.Added(), 1);
  EXPECT_TRUE(host.Saw("Added 1 addresses. Removed 0 addresses. View the Maintenance log for more info."));
  EXPECT_NE(ReadAll(list + "Maintenance Log.txt").find("Added - s1@example.org"), std::string::npos);
}

TEST_F(RetrievalRun, CancelStopsAfterTheMessageUnderWayAndTheNextRunGoesOn) {
  Pop3ServerFixture server;
  for (int n = 1; n <= 4; ++n) server.AddMessage(Mail(n));
  Point(server);
  job.Delete = true;
  host.OnFiled = [this] {
    if (host.Filed == 2) run.Cancel();
  };
  GetNew();
  EXPECT_EQ(Inbox(list).size(), 2u);
  // Messages of the batch that came after the cancel are neither filed nor recorded.
  EXPECT_EQ(History().size(), 2u);
  EXPECT_FALSE(cli.Connected());
  EXPECT_FALSE(host.WindowOpen);

  host.OnFiled = nullptr;
  GetNew();
  EXPECT_EQ(Inbox(list).size(), 4u);
  EXPECT_EQ(server.MessageCount(), 0u);  // the two stored before the cancel went in the final pass
}

TEST_F(RetrievalRun, RefusedLoginAndUnreachableServerEndCleanly) {
  Pop3ServerFixture server;
  server.AddMessage(Mail(1));
  Point(server);
  cli.PassWord = "wrong";
  GetNew();
  EXPECT_TRUE(host.SawError());
  EXPECT_TRUE(Inbox(list).empty());
  EXPECT_FALSE(FileExists(dir.File(kUidlFile)));
  // The log holds the run's heading only.
  EXPECT_EQ(SplitLines(ReadAll(list + "Maintenance Log.txt")).size(), 2u);

  cli.Port = "1";  // nothing listens there
  host.Statuses.clear();
  GetNew();
  EXPECT_TRUE(host.SawError());
  EXPECT_FALSE(run.Running());

  cli.Host.clear();
  GetNew();
  ASSERT_EQ(host.Infos.size(), 1u);
  EXPECT_EQ(host.Infos[0].rfind("A POP server has not been set!\r\n\r\n", 0), 0u);

  // Get New works again afterwards.
  Point(server);
  GetNew();
  EXPECT_EQ(Inbox(list).size(), 1u);
}

TEST_F(RetrievalRun, AMessageThatCannotBeFiledIsNeitherRecordedNorDeleted) {
  Pop3ServerFixture server;
  for (int n = 1; n <= 2; ++n) server.AddMessage(Mail(n));
  Point(server);
  job.Delete = true;
  // A file where the Inbox folder belongs: no message file can be written.
  ASSERT_TRUE(QDir(QString::fromStdString(list + "Inbox")).removeRecursively());
  WriteAll(list + "Inbox", "not a folder");
  GetNew();
  EXPECT_TRUE(host.Saw("Error - Cannot create file " + list + "Inbox/"));
  EXPECT_EQ(std::count(host.Commands.begin(), host.Commands.end(), "DELE 1"), 0);
  EXPECT_FALSE(FileExists(dir.File(kUidlFile)));
  EXPECT_EQ(server.MessageCount(), 2u);
}

// A scripted mailbox of two messages whose server misbehaves at RETR 2.
void ServeTwo(ScriptedServer &s, const std::function<void(ScriptedServer &)> &retr2, bool pipelining = false) {
  s.OnConnect = [](ScriptedServer &srv) { srv.Send("+OK ready\r\n"); };
  s.OnLine = [retr2, pipelining](ScriptedServer &srv, const std::string &line) {
    if (line == "RETR 2") return retr2(srv);
    if (line == "CAPA") return srv.Send(pipelining ? "+OK\r\nUIDL\r\nPIPELINING\r\n.\r\n" : "-ERR\r\n");
    if (line == "STAT") return srv.Send("+OK 2 200\r\n");
    if (line == "UIDL") return srv.Send("+OK\r\n1 one\r\n2 two\r\n.\r\n");
    if (line == "UIDL 1") return srv.Send("+OK 1 one\r\n");
    if (line == "UIDL 2") return srv.Send("+OK 2 two\r\n");
    if (line == "RETR 1") return srv.Send("+OK\r\nSubject: one\r\n\r\nbody\r\n.\r\n");
    if (line == "QUIT") {
      srv.Send("+OK bye\r\n");
      return srv.CloseClient();
    }
    srv.Send("+OK\r\n");
  };
}

TEST_F(RetrievalRun, ADroppedOrSilentServerRecordsAndDeletesNothingUnfinished) {
  for (const bool pipelining : {false, true})
  for (const bool silent : {false, true}) {
    SCOPED_TRACE(pipelining ? "pipelined" : "one by one");
    OwnRun r;
    r.job.Delete = true;
    r.run.SetReplyTimeout(400);
    ScriptedServer server;
    ServeTwo(
        server,
        [silent](ScriptedServer &srv) {
          if (silent) return srv.Send("+OK\r\nSubject: two\r\n");  // and then nothing more
          srv.Send("+OK\r\nSubject: two\r\n\r\nfirst half\r\n");
          srv.CloseClient();
        },
        pipelining);
    r.GetNew(server.Port());
    EXPECT_EQ(r.InboxNames(), (std::vector<std::string>{"one"}));
    EXPECT_EQ(r.History(), (std::vector<std::string>{"127.0.0.1:one"})) << silent;
    EXPECT_EQ(std::count(server.Lines().begin(), server.Lines().end(), "DELE 2"), 0);
    EXPECT_TRUE(r.host.SawError()) << silent;
    EXPECT_TRUE(!silent || r.host.Saw("Error - The server did not answer (10060)"));
    EXPECT_FALSE(r.run.Running());

    // Get New works again afterwards: the unfinished message comes now.
    ScriptedServer again;
    ServeTwo(
        again, [](ScriptedServer &srv) { srv.Send("+OK\r\nSubject: two\r\n\r\nwhole\r\n.\r\n"); }, pipelining);
    r.GetNew(again.Port());
    EXPECT_EQ(r.InboxNames(), (std::vector<std::string>{"one", "two"}));
    EXPECT_EQ(std::count(again.Lines().begin(), again.Lines().end(), "DELE 1"), 1);
    EXPECT_EQ(std::count(again.Lines().begin(), again.Lines().end(), "DELE 2"), 1);
    // Pipelined, RETR 2 went out with RETR 1, before DELE 1 could follow its message.
    const auto retr1 = std::find(server.Lines().begin(), server.Lines().end(), "RETR 1");
    ASSERT_NE(retr1, server.Lines().end());
    EXPECT_EQ(retr1 + 1 != server.Lines().end() && *(retr1 + 1) == "RETR 2", pipelining);
  }
}

TEST_F(RetrievalRun, AServerThatCannotListIdentifiersIsAskedMessageByMessage) {
  const struct {
    const char *listing;
    std::vector<std::string> commands;
  } cases[] = {
      {"-ERR no listing here\r\n", {"STAT", "UIDL", "UIDL 1", "RETR 1", "UIDL 2", "RETR 2", "QUIT"}},
      // A listing that leaves a message out: that one is asked for on its own.
      {"+OK\r\n1 one\r\n.\r\n", {"STAT", "UIDL", "RETR 1", "UIDL 2", "RETR 2", "QUIT"}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.listing);
    OwnRun r;
    ScriptedServer server;
    ServeTwo(server, [](ScriptedServer &srv) { srv.Send("+OK\r\nSubject: two\r\n\r\nbody\r\n.\r\n"); });
    const std::string listing = c.listing;
    auto serve = server.OnLine;
    server.OnLine = [serve, listing](ScriptedServer &srv, const std::string &line) {
      if (line == "UIDL") return srv.Send(listing);
      serve(srv, line);
    };
    r.GetNew(server.Port());
    std::vector<std::string> commands(server.Lines().begin() + 2, server.Lines().end());  // after USER, PASS
    EXPECT_EQ(commands, c.commands);
    EXPECT_EQ(r.History(), (std::vector<std::string>{"127.0.0.1:one", "127.0.0.1:two"}));
    const std::vector<TFolderRecord> inbox = r.Inbox(r.list);
    ASSERT_EQ(inbox.size(), 2u);
    EXPECT_EQ(ReadAll(inbox[1].FileName).rfind("> UIDL 2\r\n< +OK 2 two\r\nSubject: two\r\n", 0), 0u);
  }
}

TEST_F(RetrievalRun, ManyMessagesOverTlsAllArriveWithoutAStallEachUnderItsOwnName) {
  // Over TLS a line reader can leave clear text inside the TLS layer, where no socket
  // notifier sees it: a run of many messages would then wait for the server in vain.
  TestCertificates &certs = TestCertificates::Shared();
  ASSERT_TRUE(certs.IsValid());
  Pop3ServerFixture server("tester", "secret", certs.Cert("good"), certs.Key("good"));
  constexpr int kCount = 200;
  const std::string filler(60, 'x');
  for (int n = 1; n <= kCount; ++n) {
    std::string body;
    for (int line = 0; line < 60; ++line) body += filler + " " + std::to_string(line) + "\r\n";
    server.AddMessage("Subject: Message " + std::to_string(n) + "\r\n\r\n" + body);
  }
  for (const bool implicit : {false, true}) {
    SCOPED_TRACE(implicit ? "implicit TLS" : "STLS");
    OwnRun r;
    r.run.SetReplyTimeout(5000);
    r.cli.Host = "localhost";
    r.cli.UserName = server.User();
    r.cli.PassWord = server.Password();
    r.cli.Security = implicit ? secSslTls : secStartTls;
    r.cli.WSocket().SslCAFile = certs.CaFile();
    r.GetNew(std::to_string(implicit ? server.TlsPort() : server.Port()));
    EXPECT_FALSE(r.host.SawError()) << (r.host.Statuses.empty() ? "" : r.host.Statuses.back());
    EXPECT_EQ(r.run.Stored(), kCount);
    const std::vector<TFolderRecord> inbox = r.Inbox(r.list);
    ASSERT_EQ(inbox.size(), static_cast<size_t>(kCount));
    // Each once, in the server's order, under a file name of its own though many are filed
    // within one second; the history in that order too.
    std::set<std::string> files;
    std::vector<std::string> sections;
    for (int n = 1; n <= kCount; ++n) {
      EXPECT_EQ(inbox[n - 1].Subject, "Message " + std::to_string(n));
      files.insert(inbox[n - 1].FileName);
      sections.push_back("localhost:" + inbox[n - 1].Name);
    }
    EXPECT_EQ(files.size(), static_cast<size_t>(kCount));
    EXPECT_EQ(r.History(), sections);
    EXPECT_EQ(ReadAll(inbox[122].FileName).rfind("> UIDL 123\r\n< +OK 123 " + inbox[122].Name + "\r\n", 0), 0u);
  }
}

}  // namespace
