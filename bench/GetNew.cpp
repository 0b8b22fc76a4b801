// Get New against a local Dovecot: the whole retrieval run (UIDL and RETR of each message,
// the message files, their Inbox records, list maintenance, "UIDLs.dat"), to be set beside
// the bare TPop3Cli fetch of bench_Pop3Fetch on the same mailbox. bench/pop3_compare.sh
// starts the server, fills its maildir and runs both.
//
//   BM_GetNewAllNew             every message is new: all are fetched and filed
//   BM_GetNewTenNew/<history>   all but the last ten messages were fetched before; the
//                               history holds their identifiers plus filler up to <history>
#include "BenchSupport.h"
#include "mail/DurableFiles.h"
#include "mail/RetrievalRun.h"
#include "mail/UidlHistory.h"
#include "storage/TextFile.h"

#include <benchmark/benchmark.h>
#include <memory>
#include <sys/resource.h>

namespace {

std::string Env(const char *name) {
  const char *v = std::getenv(name);
  return v ? v : "";
}

class SilentHost : public IRetrievalHost {
public:
  void SetStatus(const std::string &) override {}
  void SetProtocolLine(const std::string &) override {}
  void SetProgress(int) override {}
  void ShowInformation(const std::string &) override {}
  void ShowProgressWindow(const std::string &) override {}
  void CloseProgressWindow() override {}
  void SetKeepAlive(bool) override {}
  void MessageFiled() override {}
};

bool Point(TPop3Cli &cli, benchmark::State &state) {
  cli.Host = "127.0.0.1";
  cli.Port = Env("BREVANT_POP3_PORT");
  cli.UserName = Env("BREVANT_POP3_USER");
  cli.PassWord = Env("BREVANT_POP3_PASS");
  if (!cli.Port.empty()) return true;
  state.SkipWithError("BREVANT_POP3_PORT not set: run bench/pop3_compare.sh");
  return false;
}

// The identifiers of the mailbox, by one bare listing.
std::vector<std::string> MailboxIdentifiers(TPop3Cli &cli) {
  std::vector<std::string> ids;
  int done = 0;
  cli.OnRequestDone = [&](TComponent *, TPop3Request, uint16_t) { ++done; };
  cli.OnUidlLine = [&](TComponent *) { ids.push_back(cli.MsgUidl()); };
  auto run = [&](void (TPop3Cli::*op)()) {
    const int before = done;
    (cli.*op)();
    while (done == before) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  };
  run(&TPop3Cli::Open);
  cli.MsgNum = 0;
  run(&TPop3Cli::Uidl);
  run(&TPop3Cli::Quit);
  cli.OnRequestDone = nullptr;
  cli.OnUidlLine = nullptr;
  return ids;
}

long MaxRssKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// One Get New into a fresh data directory whose history file is `history`; making the
// directory and removing it afterwards are not timed.
int GetNew(benchmark::State &state, TPop3Cli &cli, const std::string &history) {
  state.PauseTiming();
  // BREVANT_BENCH_KEEP names a folder for the data that is left for the caller to remove,
  // so that a timing of the whole process does not count the removal of a thousand files.
  const std::string keep = Env("BREVANT_BENCH_KEEP");
  auto data = keep.empty() ? std::make_unique<QTemporaryDir>()
                           : std::make_unique<QTemporaryDir>(QString::fromStdString(keep + "/run-XXXXXX"));
  if (!keep.empty()) data->setAutoRemove(false);
  const std::string dir = data->path().toStdString() + "/";
  // On disk before the run, as a history written by earlier runs is: the run's own flush
  // must not pay for writing it.
  if (!history.empty()) {
    WriteFileAtomic(dir + kUidlFile, history);
    SyncFileSystem(dir);
  }
  SilentHost host;
  TRetrievalRun run(dir, cli, host);
  TRetrievalJob job;
  job.ListName = "Bench";
  job.ListPath = dir;
  job.Maintenance.AutoMaint = true;  // examined, though no message asks for anything
  job.Maintenance.AddTo = true;
  job.Maintenance.AddToAddress = "join@example.org";
  state.ResumeTiming();
  run.GetNewMail(job);
  state.PauseTiming();
  const int stored = run.Stored();
  data.reset();
  state.ResumeTiming();
  return stored;
}

void BM_GetNewAllNew(benchmark::State &state) {
  BenchApp();
  TPop3Cli cli;
  if (!Point(cli, state)) return;
  int stored = 0;
  for (auto _ : state) stored = GetNew(state, cli, {});
  state.counters["stored"] = stored;
}
BENCHMARK(BM_GetNewAllNew)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
// One Get New per process, for timing side by side with other programs.
BENCHMARK(BM_GetNewAllNew)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

void BM_GetNewTenNew(benchmark::State &state) {
  BenchApp();
  TPop3Cli cli;
  if (!Point(cli, state)) return;
  const std::vector<std::string> ids = MailboxIdentifiers(cli);
  if (ids.size() < 10) {
    state.SkipWithError("the mailbox holds fewer than ten messages");
    return;
  }
  std::string history;
  const size_t total = static_cast<size_t>(state.range(0));
  for (size_t i = 0; i + 10 < ids.size(); ++i) history += "\r\n[127.0.0.1:" + ids[i] + "]\r\n1=1\r\n";
  for (size_t i = ids.size() - 10; i < total; ++i)
    history += "\r\n[127.0.0.1:filler" + std::to_string(i) + "-0123456789abcdef]\r\n1=1\r\n";
  const long rssBefore = MaxRssKb();
  int stored = 0;
  for (auto _ : state) stored = GetNew(state, cli, history);
  state.counters["stored"] = stored;
  state.counters["history"] = static_cast<double>(std::max(total, ids.size() - 10));
  state.counters["peakRssGrowthKB"] = static_cast<double>(MaxRssKb() - rssBefore);
}
BENCHMARK(BM_GetNewTenNew)->Arg(0)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

}  // namespace

BENCHMARK_MAIN();
