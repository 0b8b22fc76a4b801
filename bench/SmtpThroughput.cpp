// Messages per second through TSmtpCli against a real local SMTP server, one session
// (Open, Mail, Quit) per message; and a wait on a server that answers late, to be run under
// /usr/bin/time to show that waiting costs no CPU.
//
// The server's port comes from SMTP_PORT (SMTP_MESSAGES overrides the 1,000 messages); without it the bench starts Debian's aiosmtpd
// server of the tests itself. SLOW_SMTP_PORT names the late server for BM_WaitForSlowServer.
// A secure session: SMTP_SECURITY ("starttls" or "tls"), SMTP_CA (the CA file that signed the
// server's certificate) and SMTP_LOGIN ("user:password", logged in with AUTH).
#include "net/SmtpProt.h"

#include <benchmark/benchmark.h>

#include "BenchSupport.h"

namespace {

std::string Env(const char *name) {
  const char *v = std::getenv(name);
  return v ? v : "";
}

// The security and login the environment asks for.
void SecureFromEnvironment(TSmtpCli &smtp) {
  const std::string security = Env("SMTP_SECURITY");
  smtp.Security = security == "starttls" ? secStartTls : security == "tls" ? secSslTls : secNone;
  smtp.WSocket().SslCAFile = Env("SMTP_CA");
  const std::string login = Env("SMTP_LOGIN");
  const size_t colon = login.find(':');
  if (colon != std::string::npos) {
    smtp.Login = true;
    smtp.Username = login.substr(0, colon);
    smtp.Password = login.substr(colon + 1);
  }
}

void BM_SessionPerMessage(benchmark::State &state) {
  BenchApp();
  const std::string port = ServerPort();
  const std::vector<std::string> body = Body();
  const char *count = std::getenv("SMTP_MESSAGES");
  const int messages = count ? std::atoi(count) : static_cast<int>(state.range(0));
  int failures = 0, resumed = 0;
  for (auto _ : state) {
    BlockingSmtp client(body);
    TSmtpCli &smtp = client.Cli;
    client.ToLocalServer(port);
    SecureFromEnvironment(smtp);
    smtp.HdrFrom = "Sender <sender@example.org>";
    for (int i = 0; i < messages; ++i) {
      const std::string to = "reader" + std::to_string(i) + "@example.org";
      smtp.RcptName = {to};
      smtp.HdrTo = to;
      if (client.Run(&TSmtpCli::Open) != 0) {
        ++failures;
        if (failures == 1) std::fprintf(stderr, "first failure: %s\n", smtp.ErrorMessage().c_str());
        continue;
      }
      if (smtp.WSocket().SslSessionReused()) ++resumed;
      if (client.Run(&TSmtpCli::Mail) != 0) ++failures;
      client.Run(&TSmtpCli::Quit);
    }
  }
  state.counters["messages/s"] = benchmark::Counter(messages, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["failures"] = failures;
  state.counters["tls_resumed"] = resumed;
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
    SecureFromEnvironment(client.Cli);
    // A server silent in the handshake fails the Open in the end; the wait is what counts.
    if (client.Run(&TSmtpCli::Open) != 0 && client.Cli.Security == secNone) state.SkipWithError("Open failed");
  }
}
BENCHMARK(BM_WaitForSlowServer)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
