// Fetching mail with TPop3Cli from a local Dovecot: one session, UIDL and RETR of every
// message, in lock-step or as the retrieval run does (listing, pipelined RETRs). bench/pop3_compare.sh starts the server, fills its
// maildir and runs this side by side with Python's poplib and fetchmail.
//
// BREVANT_POP3_SECURITY ("stls" or "tls") and BREVANT_POP3_CA (the CA that signed Dovecot's
// certificate) fetch over TLS; bench/pop3_tls_compare.sh does that.
//
// BM_Pop3WaitForSlowServer shows that waiting for a server costs no CPU: its CPU time
// stays near zero while the real time is the server's 300 ms delay.
#include "net/Pop3Prot.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

void EnsureApp() {
  static int argc = 1;
  static char name[] = "bench_Pop3Fetch";
  static char *argv[] = {name, nullptr};
  if (!QCoreApplication::instance())
    new QCoreApplication(argc, argv);
}

// Starts Op and blocks in the event loop until its completion arrives.
uint16_t Run(TPop3Cli &cli, int &doneCount, uint16_t &lastError, void (TPop3Cli::*op)()) {
  const int before = doneCount;
  (cli.*op)();
  QEventLoop loop;
  while (doneCount == before)
    loop.processEvents(QEventLoop::WaitForMoreEvents);
  return lastError;
}

std::string Env(const char *name) {
  const char *v = std::getenv(name);
  return v ? v : "";
}

void BM_Pop3UidlRetrAll(benchmark::State &state) {
  EnsureApp();
  const std::string port = Env("BREVANT_POP3_PORT");
  if (port.empty()) {
    state.SkipWithError("BREVANT_POP3_PORT not set: run bench/pop3_compare.sh");
    return;
  }
  long long bytes = 0;
  int messages = 0;
  for (auto _ : state) {
    TPop3Cli cli;
    cli.Host = "127.0.0.1";
    cli.Port = port;
    cli.UserName = Env("BREVANT_POP3_USER");
    cli.PassWord = Env("BREVANT_POP3_PASS");
    const std::string security = Env("BREVANT_POP3_SECURITY");
    cli.Security = security == "stls" ? secStartTls : security == "tls" ? secSslTls : secNone;
    cli.WSocket().SslCAFile = Env("BREVANT_POP3_CA");
    int done = 0;
    uint16_t error = 0;
    cli.OnRequestDone = [&](TComponent *, TPop3Request, uint16_t e) {
      ++done;
      error = e;
    };
    std::string uidl;
    cli.OnMessageLine = [&](TComponent *) { bytes += long(cli.LastResponse().size()) + 2; };
    if (Run(cli, done, error, &TPop3Cli::Open) != 0 ||
        Run(cli, done, error, &TPop3Cli::Stat) != 0) {
      state.SkipWithError(("login failed: " + cli.ErrorMessage()).c_str());
      return;
    }
    messages = cli.MsgCount();
    if (state.range(0) == 1) {
      // As Get New fetches: one UIDL listing, then the RETRs pipelined when offered.
      cli.MsgNum = 0;
      if (Run(cli, done, error, &TPop3Cli::Uidl) != 0 || Run(cli, done, error, &TPop3Cli::Capa) != 0 ||
          !cli.HasCapability("PIPELINING")) {
        state.SkipWithError("no UIDL listing or no PIPELINING");
        return;
      }
      for (int n = 1; n <= messages; ++n) cli.PipeRetr(n);
      if (Run(cli, done, error, &TPop3Cli::Pipeline) != 0) state.SkipWithError("RETR failed");
      Run(cli, done, error, &TPop3Cli::Quit);
      continue;
    }
    for (int n = 1; n <= messages; ++n) {
      cli.MsgNum = n;
      if (Run(cli, done, error, &TPop3Cli::Uidl) != 0)
        state.SkipWithError("UIDL failed");
      uidl = cli.MsgUidl();
      cli.MsgNum = n;
      if (Run(cli, done, error, &TPop3Cli::Retr) != 0)
        state.SkipWithError("RETR failed");
    }
    Run(cli, done, error, &TPop3Cli::Quit);
    benchmark::DoNotOptimize(uidl);
  }
  state.counters["messages"] = messages;
  state.SetBytesProcessed(bytes);
}
// Argument 0: UIDL and RETR of each message in lock-step; 1: one listing, RETRs pipelined.
BENCHMARK(BM_Pop3UidlRetrAll)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
// One fetch per process, for timing side by side with other programs.
BENCHMARK(BM_Pop3UidlRetrAll)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// A server that answers its greeting only after this delay.
constexpr int kGreetingDelayMs = 300;

void BM_Pop3WaitForSlowServer(benchmark::State &state) {
  EnsureApp();
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  if (::bind(listener, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 ||
      ::listen(listener, 5) != 0 ||
      ::getsockname(listener, reinterpret_cast<sockaddr *>(&a), &len) != 0) {
    ::close(listener);
    state.SkipWithError("no listening socket");
    return;
  }
  const std::string port = std::to_string(ntohs(a.sin_port));
  for (auto _ : state) {
    std::thread server([listener]() {
      const int peer = ::accept(listener, nullptr, nullptr);
      std::this_thread::sleep_for(std::chrono::milliseconds(kGreetingDelayMs));
      const char greeting[] = "+OK slow server\r\n";
      if (peer >= 0) {
        (void)!::write(peer, greeting, sizeof greeting - 1);
        ::close(peer);
      }
    });
    TPop3Cli cli;
    cli.Host = "127.0.0.1";
    cli.Port = port;
    int done = 0;
    uint16_t error = 0;
    cli.OnRequestDone = [&](TComponent *, TPop3Request, uint16_t e) {
      ++done;
      error = e;
    };
    Run(cli, done, error, &TPop3Cli::Connect);
    server.join();
    if (error != 0)
      state.SkipWithError("no greeting");
  }
  ::close(listener);
}
BENCHMARK(BM_Pop3WaitForSlowServer)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

BENCHMARK_MAIN();
