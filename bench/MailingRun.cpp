// A newsletter to 1,000 subscribers, one message each, to the local aiosmtpd server: the whole
// mailing run (batch mode, and per-recipient mode with ten field codes merged by the real
// assembly) beside the bare TSmtpCli sending the same messages. The counter "rss_growth_kB"
// is the growth of the resident set over the run; compare it across subscriber counts.
//
// SMTP_PORT names a running server; without it the bench starts the tests' aiosmtpd server.
#include "compose/AssembleMessage.h"
#include "mail/MailingRun.h"
#include "storage/TextFile.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "BenchSupport.h"

namespace {

std::string ServerPort() {
  if (const char *p = std::getenv("SMTP_PORT")) return p;
  static std::unique_ptr<LocalServer> server;
  if (!server) server = std::make_unique<LocalServer>();
  return std::to_string(server->Port());
}

long RssKb() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  return 0;
}

// About 4 KB of text in lines of 70 characters; with codes, the first ten lines carry one
// field code each.
std::vector<std::string> Body(bool withCodes) {
  static const char *const codes[] = {"%Name%", "%Address 1%", "%Address 2%", "%Phone%", "%Custom 1%",
                                      "%Custom 2%", "%Custom 3%", "%E-mail%", "%List Name%", "%To Address%"};
  std::vector<std::string> lines;
  for (int i = 0; i < 57; ++i) {
    std::string l = "Line " + std::to_string(i) + " of the newsletter: ";
    if (withCodes && i < 10) l += std::string(codes[i]) + " ";
    while (l.size() < 70) l += static_cast<char>('a' + (l.size() % 26));
    lines.push_back(l);
  }
  return lines;
}

std::vector<std::string> Subscribers(int count) {
  std::vector<std::string> entries;
  for (int i = 0; i < count; ++i) entries.push_back("Reader " + std::to_string(i) + " <reader" + std::to_string(i) + "@example.org>");
  return entries;
}

// The window side, with the real assembly of plain text.
class BenchHost : public IMailingHost {
public:
  explicit BenchHost(const std::string &dataDir) {
    input_.BodyLines = Body(true);
    input_.Subject = "Benchmark";
    input_.DataDir = dataDir;
    input_.ListChosen = true;
    input_.List.ListName = "Bench list";
    input_.List.ToAddress = "list@example.org";
  }
  TDigest AssembleMessage(bool mergeCodes) override { return ::AssembleMessage(input_, true, mergeCodes, nullptr); }
  std::string ShowAddress(const std::string &entry) override {
    const size_t open = entry.find('<');
    TRecipientFields &r = input_.Recipient;
    r.Name = entry.substr(0, open - 1);
    r.Email = entry.substr(open + 1, entry.size() - open - 2);
    r.Address1 = "1 High Street";
    r.Address2 = "Springfield";
    r.Phone = "555 0100";
    r.Custom1 = "gold";
    r.Custom2 = "since 2020";
    r.Custom3 = "weekly";
    return r.Email;
  }
  void SetStatus(const std::string &) override {}
  void SetProtocolLine(const std::string &) override {}
  void SetProgress(int) override {}
  void ShowInformation(const std::string &) override {}

private:
  TAssemblyInput input_;
};

void RunMailing(benchmark::State &state, bool fieldCodes) {
  BenchApp();
  const std::string port = ServerPort();
  const int count = static_cast<int>(state.range(0));
  QTemporaryDir dir;
  const std::string dataDir = dir.path().toStdString() + "/";
  TMailingJob job;
  job.FromList = true;
  job.FieldCodes = fieldCodes;
  job.CheckedEntries = Subscribers(count);
  job.ListFolder = dataDir;
  job.ListServer = "127.0.0.1";
  job.ListPort = port;
  job.ListUser = "bench.local";
  job.ListTo = "list@example.org";
  job.ListFrom = "sender@example.org";
  job.ListMethod = 0;
  job.Subject = "Benchmark";
  BenchHost host(dataDir);
  long growth = 0;
  int sent = 0;
  for (auto _ : state) {
    TSmtpCli client;
    TMailingRun run(dataDir, client, host);
    const long before = RssKb();
    run.PrepareSend(job);
    growth = RssKb() - before;
    sent = run.Sent();
  }
  state.counters["messages/s"] = benchmark::Counter(count, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["sent"] = sent;
  state.counters["rss_growth_kB"] = static_cast<double>(growth);
}

void BM_MailingRunBatch(benchmark::State &state) { RunMailing(state, false); }
void BM_MailingRunFieldCodes(benchmark::State &state) { RunMailing(state, true); }

// The same messages through the bare client: the yardstick of the two runs above.
void BM_BareSmtpCli(benchmark::State &state) {
  BenchApp();
  const std::string port = ServerPort();
  const int count = static_cast<int>(state.range(0));
  const std::vector<std::string> body = Body(false);
  const std::vector<std::string> subscribers = Subscribers(count);
  int sent = 0;
  for (auto _ : state) {
    TSmtpCli smtp;
    bool done = false;
    int error = 0;
    smtp.OnRequestDone = [&](TComponent *, TSmtpRequest, uint16_t e) { done = true, error = e; };
    smtp.OnGetData = [&](TComponent *, int32_t n, char *line, int32_t maxLen, bool &more) {
      more = n <= static_cast<int32_t>(body.size());
      if (more) std::snprintf(line, static_cast<size_t>(maxLen) + 1, "%s", body[n - 1].c_str());
    };
    const auto request = [&](void (TSmtpCli::*op)()) {
      done = false;
      (smtp.*op)();
      QEventLoop loop;
      while (!done) loop.processEvents(QEventLoop::WaitForMoreEvents);
      return error;
    };
    smtp.Host = "127.0.0.1";
    smtp.Port = port;
    smtp.SignOn = "bench.local";
    smtp.FromName = "sender@example.org";
    smtp.HdrFrom = "sender@example.org";
    smtp.HdrTo = "list@example.org";
    smtp.HdrSubject = "Benchmark";
    for (const std::string &entry : subscribers) {
      smtp.RcptName = {entry.substr(entry.find('<') + 1, entry.size() - entry.find('<') - 2)};
      if (request(&TSmtpCli::Open) != 0) continue;
      if (request(&TSmtpCli::Mail) == 0) ++sent;
      request(&TSmtpCli::Quit);
    }
  }
  state.counters["messages/s"] = benchmark::Counter(count, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["sent"] = sent;
}

BENCHMARK(BM_BareSmtpCli)->Arg(1000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MailingRunBatch)->Arg(1000)->Arg(3000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MailingRunFieldCodes)->Arg(1000)->Arg(3000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
