// brevant-cli as a user runs it: `send` of the mailing-run benchmark's newsletter to 1,000
// subscribers, one message each (compare with bench_MailingRun's BM_MailingRunBatch/1000),
// and `import` of CSV files of growing size, in-process and through the executable.
//
// SMTP_PORT names a running server; without it the bench starts the tests' aiosmtpd server.
#include "compose/Document.h"
#include "compose/Scrooge.h"
#include "lists/AddressRecord.h"
#include "lists/CsvAddresses.h"
#include "lists/ListRecord.h"
#include "storage/TextFile.h"

#include <benchmark/benchmark.h>

#include "BenchSupport.h"

namespace {
std::string MakeList(const std::string &dataDir, const std::string &port) {
  TListRecord record;
  record.ToAddress = "list@example.org";
  record.FromAddress = "sender@example.org";
  record.SMTPServer = "127.0.0.1";
  record.SMTPPort = port;
  record.SMTPUsername = "bench.local";
  return CreateMailList(dataDir, "Bench list", record).Path;
}

std::string Csv(int rows) {
  std::string text = "Email,Name,Custom1\r\n";
  for (int i = 0; i < rows; ++i)
    text += "reader" + std::to_string(i) + "@example.org,Reader " + std::to_string(i) + ",gold\r\n";
  return text;
}

int RunCli(const QStringList &args) {
  QProcess process;
  process.setStandardOutputFile(QProcess::nullDevice());
  process.setStandardErrorFile(QProcess::nullDevice());
  process.start(BREVANT_CLI_PATH, args);
  process.waitForFinished(-1);
  return process.exitCode();
}

void BM_CliSend(benchmark::State &state) {
  BenchApp();
  const std::string port = ServerPort();
  const int count = static_cast<int>(state.range(0));
  QTemporaryDir dir;
  const std::string dataDir = dir.path().toStdString() + "/";
  const std::string listPath = MakeList(dataDir, port);
  std::string csv = Csv(count);
  WriteFileAtomic(dataDir + "people.csv", csv);
  ImportCsvAddresses(dataDir + "people.csv", listPath);
  TDocumentState doc;
  TNewsletterContent content;
  content.Subject = "Benchmark";
  for (const std::string &line : Body(false)) content.Body.Paragraphs.push_back({TRichAlign::raLeft, false, {TRichRun{line}}});
  TScrooge converter;
  WriteDocument(doc, dataDir + "issue.bvd", dfDocument, content, "Bench", converter, NowDateTime());
  int exit = -1;
  for (auto _ : state)
    exit = RunCli({"--data-dir", QString::fromStdString(dataDir), "send", "--list", "Bench list",
                   QString::fromStdString(dataDir + "issue.bvd")});
  state.counters["messages/s"] = benchmark::Counter(count, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["exit"] = exit;
}

// The import itself: rows per second should stay the same as the file grows.
void BM_CsvImport(benchmark::State &state) {
  const int rows = static_cast<int>(state.range(0));
  QTemporaryDir dir;
  const std::string folder = dir.path().toStdString() + "/";
  WriteFileAtomic(folder + "people.csv", Csv(rows));
  size_t imported = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::remove((folder + "Addresses.ini").c_str());
    state.ResumeTiming();
    imported = ImportCsvAddresses(folder + "people.csv", folder).Imported;
  }
  state.counters["rows/s"] = benchmark::Counter(rows, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["imported"] = static_cast<double>(imported);
}

// The same through the executable, start-up and list lookup included.
void BM_CliImport(benchmark::State &state) {
  BenchApp();
  const int rows = static_cast<int>(state.range(0));
  QTemporaryDir dir;
  const std::string dataDir = dir.path().toStdString() + "/";
  const std::string listPath = MakeList(dataDir, "25");
  WriteFileAtomic(dataDir + "people.csv", Csv(rows));
  for (auto _ : state) {
    state.PauseTiming();
    std::remove((listPath + "Addresses.ini").c_str());
    state.ResumeTiming();
    RunCli({"--data-dir", QString::fromStdString(dataDir), "import", "--list", "Bench list",
            QString::fromStdString(dataDir + "people.csv")});
  }
  state.counters["rows/s"] = benchmark::Counter(rows, benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(BM_CliSend)->Arg(1000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CsvImport)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CliImport)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();
}  // namespace

BENCHMARK_MAIN();
