// Decoding a 10 MB multipart message (a text part, an HTML part in quoted-printable and three
// base64 attachments of about 3 MB each) with every part written to a file through
// DestStream, as the mail folders do when a message is viewed.
//
//   bench_MimeDecode                         Google Benchmark run
//   bench_MimeDecode --write-message FILE    writes the generated message (for mime_compare.sh)
//   bench_MimeDecode --decode FILE DIR       decodes FILE once, writing its parts into DIR
#include "BenchMessage.h"
#include "net/MimeDec.h"

#include <QByteArray>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// Decodes the file, writing each part but the preamble into `dir`; returns the bytes written.
std::size_t DecodeToFiles(const std::string &file, const std::string &dir) {
  TMimeDecode mime;
  std::unique_ptr<std::ofstream> out;
  std::vector<char> fileBuffer(1 << 20);  // fewer, larger writes
  std::size_t written = 0;
  mime.OnPartBegin = [&](TMimeDecode *m) {
    if (m->PartNumber() == 0) return;
    std::string name = m->PartFileName();
    if (name.empty())
      name = "part" + std::to_string(m->PartNumber()) + (m->PartContentType() == "text/html" ? ".html" : ".txt");
    out = std::make_unique<std::ofstream>();
    out->rdbuf()->pubsetbuf(fileBuffer.data(), std::streamsize(fileBuffer.size()));
    out->open(dir + "/" + name, std::ios::binary | std::ios::trunc);
    if (!*out) throw std::runtime_error("Cannot create file " + dir + "/" + name);
    m->DestStream = out.get();
  };
  mime.OnPartEnd = [&](TMimeDecode *m) {
    m->DestStream = nullptr;
    if (!out) return;
    written += std::size_t(out->tellp());
    out.reset();
  };
  mime.DecodeFile(file);
  return written;
}

void BM_DecodeMultipart10MB(benchmark::State &state) {
  QTemporaryDir dir;
  const std::string path = dir.path().toStdString();
  const std::string message = GenerateMessage();
  std::ofstream(path + "/message.eml", std::ios::binary) << message;
  std::size_t written = 0;
  for (auto _ : state) {
    // Fresh files each time, as when a message is first viewed (see mime_compare.sh).
    state.PauseTiming();
    for (const char *name : {"part1.txt", "part2.html", "attachment1.bin", "attachment2.bin", "attachment3.bin"})
      std::remove((path + "/" + name).c_str());
    state.ResumeTiming();
    written = DecodeToFiles(path + "/message.eml", path);
  }
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(message.size()));
  state.counters["message_MB"] = double(message.size()) / 1e6;
  state.counters["written_MB"] = double(written) / 1e6;
}
BENCHMARK(BM_DecodeMultipart10MB)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char **argv) {
  if (argc == 3 && std::strcmp(argv[1], "--write-message") == 0) {
    std::ofstream out(argv[2], std::ios::binary);
    out << GenerateMessage();
    return out.flush() ? 0 : 1;
  }
  if (argc == 4 && std::strcmp(argv[1], "--decode") == 0) {
    DecodeToFiles(argv[2], argv[3]);
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
