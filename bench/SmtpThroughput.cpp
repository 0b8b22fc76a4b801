// Messages per second through TSmtpCli against a real local SMTP server, one session
// (Open, Mail, Quit) per message; and a wait on a server that answers late, to be run under
// /usr/bin/time to show that waiting costs no CPU.
//
// The server's port comes from SMTP_PORT (SMTP_MESSAGES overrides the 1,000 messages); without it the bench starts Debian's aiosmtpd
// server of the tests itself. SLOW_SMTP_PORT names the late server for BM_WaitForSlowServer.
#include "net/SmtpProt.h"

#include <benchmark/benchmark.h>

#include "BenchSupport.h"

namespace {

void BM_SessionPerMessage(benchmark::State &state) {
  BenchApp();
  const std::string port = ServerPort();
  const std::vector<std::string> body = Body();
  const char *count = std::getenv("SMTP_MESSAGES");
  const int messages = count ? std::atoi(count) : static_cast<int>(state.range(0));
  int failures = 0;
  for (auto _ : state) {
    BlockingSmtp client(body);
    TSmtpCli &smtp = client.Cli;
    client.ToLocalServer(port);
    smtp.HdrFrom = "Sender <sender@example.org>";
    for (int i = 0; i < messages; ++i) {
      const std::string to = "reader" + std::to_string(i) + "@example.org";
      smtp.RcptName = {to};
      smtp.HdrTo = to;
      if (client.Run(&TSmtpCli::Open) != 0) {
        ++failures;
        continue;
      }
      if (client.Run(&TSmtpCli::Mail) != 0) ++failures;
      client.Run(&TSmtpCli::Quit);
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
    BlockingSmtp client;
    client.ToLocalServer(port);
    if (client.Run(&TSmtpCli::Open) != 0) state.SkipWithError("Open failed");
  }
}
BENCHMARK(BM_WaitForSlowServer)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
