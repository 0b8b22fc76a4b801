// A newsletter to 1,000 subscribers, one message each, to the local aiosmtpd server: the whole
// mailing run (batch mode, and per-recipient mode with ten field codes merged by the real
// assembly; also as HTML, which goes as multipart/alternative in quoted-printable, with and
// without the resume journal) beside the bare TSmtpCli sending as many messages: plain ones,
// and the very bytes of the HTML run. The counter "rss_growth_kB" is the growth of the
// resident set over the run; compare it across subscriber counts.
//
// SMTP_PORT names a running server; without it the bench starts the tests' aiosmtpd server.
// SESSIONS and PER_SESSION set the sessions at once and the messages per session (by default
// the defaults of a server entry); MailingRunMessages sends SMTP_MESSAGES (default 1000) in
// batch mode, for the runs through bench/latency_proxy.py (bench/smtp_latency.sh).
#include "compose/AssembleMessage.h"
#include "compose/RtfWriter.h"
#include "compose/Scrooge.h"
#include "compose/SendAssembly.h"
#include "mail/MailingRun.h"
#include "mail/MessageForm.h"
#include "storage/TextFile.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>

#include "BenchSupport.h"

namespace {

long RssKb() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  return 0;
}

std::vector<std::string> Subscribers(int count) {
  std::vector<std::string> entries;
  for (int i = 0; i < count; ++i) entries.push_back("Reader " + std::to_string(i) + " <reader" + std::to_string(i) + "@example.org>");
  return entries;
}

// The window side, with the real assembly of plain text.
class BenchHost : public IMailingHost {
public:
  BenchHost(const std::string &dataDir, bool html) {
    input_.BodyLines = Body(true);
    if (html) {
      // Curly quotes make the parts 8-bit, so they go quoted-printable.
      for (size_t i = 0; i < input_.BodyLines.size(); i += 5) input_.BodyLines[i] += " \x93quoted\x94";
      TRichDocument doc;
      for (const std::string &line : input_.BodyLines) {
        TRichParagraph p;
        p.Runs.push_back(TRichRun{line});
        doc.Paragraphs.push_back(p);
      }
      input_.BodyRtf = WriteRtf(doc);
      input_.SendHtml = true;
      scrooge_.ConfigureForMainWindow();
    }
    input_.Subject = "Benchmark";
    input_.DataDir = dataDir;
    input_.ListChosen = true;
    input_.List.ListName = "Bench list";
    input_.List.ToAddress = "list@example.org";
  }
  TDigest AssembleMessage(bool mergeCodes) override {
    TScroogeConverter converter(scrooge_);
    return assembly_.Assemble(input_, mergeCodes, &converter);
  }
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
  TScrooge scrooge_;
  TSendAssembly assembly_;
};

void RunMailing(benchmark::State &state, bool fieldCodes, bool html = false, bool journal = true) {
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
  job.KeepJournal = journal;
  if (const char *n = std::getenv("SESSIONS")) job.Sessions = std::atoi(n);
  if (const char *n = std::getenv("PER_SESSION")) job.SessionMessages = std::atoi(n);
  BenchHost host(dataDir, html);
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
void BM_MailingRunMessages(benchmark::State &state) { RunMailing(state, false); }
void BM_MailingRunFieldCodes(benchmark::State &state) { RunMailing(state, true); }
void BM_MailingRunHtmlFieldCodes(benchmark::State &state) { RunMailing(state, true, true); }
void BM_MailingRunHtmlNoJournal(benchmark::State &state) { RunMailing(state, true, true, false); }

// The same count of plain messages through the bare client: the yardstick of the plain runs.
void BM_BareSmtpCli(benchmark::State &state) {
  BenchApp();
  const std::string port = ServerPort();
  const int count = static_cast<int>(state.range(0));
  const std::vector<std::string> body = Body(false);
  const std::vector<std::string> subscribers = Subscribers(count);
  int sent = 0;
  for (auto _ : state) {
    BlockingSmtp client(body);
    TSmtpCli &smtp = client.Cli;
    client.ToLocalServer(port);
    smtp.HdrFrom = "sender@example.org";
    smtp.HdrTo = "list@example.org";
    for (const std::string &entry : subscribers) {
      smtp.RcptName = {entry.substr(entry.find('<') + 1, entry.size() - entry.find('<') - 2)};
      if (client.Run(&TSmtpCli::Open) != 0) continue;
      if (client.Run(&TSmtpCli::Mail) == 0) ++sent;
      client.Run(&TSmtpCli::Quit);
    }
  }
  state.counters["messages/s"] = benchmark::Counter(count, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["sent"] = sent;
}

// The bare client with the messages of the HTML run, byte for byte as the run assembles and
// encodes them (multipart/alternative in quoted-printable, codes merged), all made before the
// clock starts: the yardstick of the HTML runs, so that the server's handling of the larger
// messages counts on both sides.
void BM_BareSmtpCliHtml(benchmark::State &state) {
  BenchApp();
  const std::string port = ServerPort();
  const int count = static_cast<int>(state.range(0));
  QTemporaryDir dir;
  BenchHost host(dir.path().toStdString() + "/", true);
  std::vector<std::string> addresses;
  std::vector<TMessageForm> forms;
  for (const std::string &entry : Subscribers(count)) {
    addresses.push_back(host.ShowAddress(entry));
    forms.push_back(BuildMessageForm(host.AssembleMessage(true)));
  }
  int sent = 0;
  for (auto _ : state) {
    BlockingSmtp client;
    TSmtpCli &smtp = client.Cli;
    client.ToLocalServer(port);
    smtp.HdrFrom = "sender@example.org";
    smtp.HdrTo = "list@example.org";
    smtp.SetContentType(smtpHTML);
    for (size_t i = 0; i < forms.size(); ++i) {
      smtp.RcptName = {addresses[i]};
      smtp.BodyHeaders = forms[i].BodyHeaders;
      client.SendLines(forms[i].Lines);
      if (client.Run(&TSmtpCli::Open) != 0) continue;
      if (client.Run(&TSmtpCli::Mail) == 0) ++sent;
      client.Run(&TSmtpCli::Quit);
    }
  }
  state.counters["messages/s"] = benchmark::Counter(count, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["sent"] = sent;
}

int MessagesFromEnv() {
  const char *n = std::getenv("SMTP_MESSAGES");
  return n && std::atoi(n) > 0 ? std::atoi(n) : 1000;
}
BENCHMARK(BM_MailingRunMessages)->Arg(MessagesFromEnv())->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BareSmtpCli)->Arg(1000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BareSmtpCliHtml)->Arg(1000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MailingRunBatch)->Arg(1000)->Arg(3000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MailingRunFieldCodes)->Arg(1000)->Arg(3000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MailingRunHtmlFieldCodes)->Arg(1000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MailingRunHtmlNoJournal)->Arg(1000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
