// Conversion of a 1 MB newsletter body to HTML, against unrtf on the same file, and the RTF
// writer and reader on the same document.
#include "compose/RtfReader.h"
#include "compose/RtfWriter.h"
#include "compose/Scrooge.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

// Many paragraphs with face, size, colour, bold and italic changes, about 1 MB as RTF.
TRichDocument MakeDocument() {
  static const char *const kWords[] = {"newsletter", "subscribers", "caf\xE9", "list", "update", "the",
                                       "and",        "price",       "<b>",     "week", "R&D",    "news"};
  static const char *const kFaces[] = {"Arial", "Times New Roman", "Courier New"};
  static const TRgb kColors[] = {0x000000, 0xFF0000, 0x008000, 0x000080};
  TRichDocument d;
  unsigned seed = 12345;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7FFF; };
  size_t bytes = 0;
  while (bytes < 1024 * 1024) {
    TRichParagraph p;
    p.Align = next() % 8 == 0 ? TRichAlign::raCenter : TRichAlign::raLeft;
    p.Bullet = next() % 10 == 0;
    for (int r = 0; r < 8; ++r) {
      TRichRun run;
      run.Face = kFaces[next() % 3];
      run.SizeHalfPoints = 20 + 4 * static_cast<int>(next() % 3);
      run.Color = kColors[next() % 4];
      run.Bold = next() % 3 == 0;
      run.Italic = next() % 4 == 0;
      for (int w = 0; w < 7; ++w) run.Text += std::string(kWords[next() % 12]) + " ";
      bytes += run.Text.size() + 16;
      p.Runs.push_back(std::move(run));
    }
    d.Paragraphs.push_back(std::move(p));
  }
  return d;
}

const TRichDocument &Document() {
  static const TRichDocument d = MakeDocument();
  return d;
}

const std::string &RtfText() {
  static const std::string rtf = WriteRtf(Document());
  return rtf;
}

void BM_ScroogeConvert(benchmark::State &state) {
  TScrooge s;
  s.ConfigureForMainWindow();
  s.BodyOptions = {"BGCOLOR=#FFFFFF"};
  std::string html;
  for (auto _ : state) {
    s.ConvertRTF(RtfText(), html);
    benchmark::DoNotOptimize(html.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * RtfText().size()));
  state.counters["rtf_bytes"] = static_cast<double>(RtfText().size());
}

void BM_UnrtfHtml(benchmark::State &state) {
  char path[] = "/tmp/brevant_bench_XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) {
    state.SkipWithError("no temporary file");
    return;
  }
  close(fd);
  std::ofstream(path, std::ios::binary) << RtfText();
  const std::string cmd = std::string("unrtf --html ") + path + " > /dev/null 2>&1";
  for (auto _ : state) {
    if (std::system(cmd.c_str()) != 0) {
      state.SkipWithError("unrtf failed (is the unrtf package installed?)");
      break;
    }
  }
  std::remove(path);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * RtfText().size()));
}

void BM_WriteRtf(benchmark::State &state) {
  for (auto _ : state) {
    std::string rtf = WriteRtf(Document());
    benchmark::DoNotOptimize(rtf.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * RtfText().size()));
}

void BM_ReadRtf(benchmark::State &state) {
  for (auto _ : state) {
    TRichDocument d = ReadRtf(RtfText());
    benchmark::DoNotOptimize(d.Paragraphs.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * RtfText().size()));
}

}  // namespace

BENCHMARK(BM_ScroogeConvert)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UnrtfHtml)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WriteRtf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadRtf)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
