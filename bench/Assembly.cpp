// Per-recipient assembly cost: a 50 KB newsletter holding ten field codes, merged for one
// recipient. Reports assemblies per second.
#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include "compose/AssembleMessage.h"
#include "compose/RtfWriter.h"
#include "compose/Scrooge.h"

namespace {
TAssemblyInput Newsletter() {
  TAssemblyInput in;
  in.Subject = "Monthly news";
  in.ListChosen = true;
  in.ListTexts = {true, "Welcome to the %List Name% list", true, "Regards,\r\n%PI Name%", true,
                  "To leave, write to %Remove: To Field%"};
  in.Recipient = {"Ann Smith", "1 Long Road", "Springfield", "555-0100", "gold", "", "", "ann@example.org", ""};
  in.List.ListName = "News";
  in.List.RemoveToAddress = "leave@example.org";
  in.Personal.Name = "Bob Editor";
  const char *codes[] = {"%Name%", "%E-mail%", "%Address 1%", "%Address 2%", "%Phone%",
                         "%Custom 1%", "%List Name%", "%PI Name%", "%Comments%", "%Remove: To Field%"};
  const std::string filler = "The quick brown fox jumps over the lazy dog near the river bank ";
  size_t size = 0;
  for (int i = 0; size < 50 * 1024; ++i) {
    std::string line = filler;
    if (i % 80 == 0 && i / 80 < 10) line += codes[i / 80];  // ten codes spread over the text
    size += line.size() + 2;
    in.BodyLines.push_back(line);
  }
  // The same text as the editor's rich text, one paragraph per line.
  TRichDocument doc;
  for (const auto &line : in.BodyLines) {
    TRichParagraph p;
    p.Runs.push_back(TRichRun{line});
    doc.Paragraphs.push_back(p);
  }
  in.BodyRtf = WriteRtf(doc);
  return in;
}
}  // namespace

static void BM_AssemblePlainText(benchmark::State &state) {
  const TAssemblyInput in = Newsletter();
  for (auto _ : state) {
    TDigest d = AssembleMessage(in, true, true, nullptr);
    benchmark::DoNotOptimize(d);
  }
  state.counters["assemblies/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_AssemblePlainText);

// HTML send: conversion, merge by the converter, and the work file "temp.dat".
static void BM_AssembleHtml(benchmark::State &state) {
  QTemporaryDir dir;
  TAssemblyInput in = Newsletter();
  in.SendHtml = true;
  in.DataDir = dir.path().toStdString() + "/";
  TScrooge scrooge;
  scrooge.ConfigureForMainWindow();
  TScroogeConverter converter(scrooge);
  for (auto _ : state) {
    TDigest d = AssembleMessage(in, true, true, &converter);
    benchmark::DoNotOptimize(d);
  }
  state.counters["assemblies/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_AssembleHtml);

BENCHMARK_MAIN();
