// Messages per second through TSmtpCli against a real local SMTP server, one session
// (Open, Mail, Quit) per message; and a wait on a server that answers late, to be run under
// /usr/bin/time to show that waiting costs no CPU.
//
// The server's port comes from SMTP_PORT (SMTP_MESSAGES overrides the 1,000 messages); without it the bench starts Debian's aiosmtpd
// server of the tests itself. SLOW_SMTP_PORT names the late server for BM_WaitForSlowServer.
#include "net/SmtpProt.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
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

// About 4 KB of text in lines of 70 characters.
std::vector<std::string> Body() {
  std::vector<std::string> lines;
  for (int i = 0; i < 57; ++i) {
    std::string l = "Line " + std::to_string(i) + " of the newsletter: ";
    while (l.size() < 70) l += static_cast<char>('a' + (l.size() % 26));
    lines.push_back(l);
  }
  return lines;
}

// Runs one request and blocks in the event loop until it is done; returns its error.
int RunRequest(TSmtpCli &smtp, void (TSmtpCli::*op)(), bool &done, int &error) {
  done = false;
  (smtp.*op)();
  QEventLoop loop;
  while (!done) loop.processEvents(QEventLoop::WaitForMoreEvents);
  return error;
}

void BM_SessionPerMessage(benchmark::State &state) {
  BenchApp();
  const std::string port = ServerPort();
  const std::vector<std::string> body = Body();
  const char *count = std::getenv("SMTP_MESSAGES");
  const int messages = count ? std::atoi(count) : static_cast<int>(state.range(0));
  int failures = 0;
  for (auto _ : state) {
    TSmtpCli smtp;
    bool done = false;
    int error = 0;
    smtp.OnRequestDone = [&](TComponent *, TSmtpRequest, uint16_t e) { done = true, error = e; };
    smtp.OnGetData = [&](TComponent *, int32_t n, char *line, int32_t maxLen, bool &more) {
      more = n <= static_cast<int32_t>(body.size());
      if (more) std::snprintf(line, static_cast<size_t>(maxLen) + 1, "%s", body[n - 1].c_str());
    };
    smtp.Host = "127.0.0.1";
    smtp.Port = port;
    smtp.SignOn = "bench.local";
    smtp.FromName = "sender@example.org";
    smtp.HdrFrom = "Sender <sender@example.org>";
    smtp.HdrSubject = "Benchmark";
    for (int i = 0; i < messages; ++i) {
      const std::string to = "reader" + std::to_string(i) + "@example.org";
      smtp.RcptName = {to};
      smtp.HdrTo = to;
      if (RunRequest(smtp, &TSmtpCli::Open, done, error) != 0) {
        ++failures;
        continue;
      }
      if (RunRequest(smtp, &TSmtpCli::Mail, done, error) != 0) ++failures;
      RunRequest(smtp, &TSmtpCli::Quit, done, error);
    }
  }
  state.counters["messages/s"] = benchmark::Counter(messages, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["failures"] = failures;
}
BENCHMARK(BM_SessionPerMessage)->Arg(1000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Opens a session with a server that sends its banner only after a few seconds.
void BM_WaitForSlowServer(benchmark::State &state) {
  BenchApp();
  const char *port = std::getenv("SLOW_SMTP_PORT");
  if (!port) {
    state.SkipWithError("SLOW_SMTP_PORT not set");
    return;
  }
  for (auto _ : state) {
    TSmtpCli smtp;
    bool done = false;
    int error = 0;
    smtp.OnRequestDone = [&](TComponent *, TSmtpRequest, uint16_t e) { done = true, error = e; };
    smtp.Host = "127.0.0.1";
    smtp.Port = port;
    if (RunRequest(smtp, &TSmtpCli::Open, done, error) != 0) state.SkipWithError("Open failed");
  }
}
BENCHMARK(BM_WaitForSlowServer)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
