// Per-recipient assembly cost: a 50 KB newsletter holding ten field codes, merged for one
// recipient. Reports assemblies per second.
#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include "compose/AssembleMessage.h"
#include "compose/RtfWriter.h"
#include "compose/Scrooge.h"
#include "compose/SendAssembly.h"
#include "mail/MessageForm.h"

namespace {
// The text as the editor's rich text, one paragraph per line.
std::string RtfOf(const std::vector<std::string> &lines) {
  TRichDocument doc;
  for (const auto &line : lines) {
    TRichParagraph p;
    p.Runs.push_back(TRichRun{line});
    doc.Paragraphs.push_back(p);
  }
  return WriteRtf(doc);
}

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
  in.BodyRtf = RtfOf(in.BodyLines);
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

// The same messages as a mailing run makes them: converted once, merged per recipient.
static void BM_AssembleHtmlPrepared(benchmark::State &state) {
  QTemporaryDir dir;
  TAssemblyInput in = Newsletter();
  in.SendHtml = true;
  in.DataDir = dir.path().toStdString() + "/";
  TScrooge scrooge;
  scrooge.ConfigureForMainWindow();
  TScroogeConverter converter(scrooge);
  TSendAssembly assembly;
  for (auto _ : state) {
    TDigest d = assembly.Assemble(in, true, &converter);
    benchmark::DoNotOptimize(d);
  }
  state.counters["assemblies/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_AssembleHtmlPrepared);

// The wire form of one HTML message: multipart/alternative, both parts quoted-printable.
static void BM_MessageFormHtml(benchmark::State &state) {
  QTemporaryDir dir;
  TAssemblyInput in = Newsletter();
  in.SendHtml = true;
  in.DataDir = dir.path().toStdString() + "/";
  // Curly quotes make both parts 8-bit.
  in.BodyLines[0] += " \x93quoted\x94";
  in.BodyRtf = RtfOf(in.BodyLines);
  TScrooge scrooge;
  scrooge.ConfigureForMainWindow();
  TScroogeConverter converter(scrooge);
  const TDigest digest = AssembleMessage(in, true, true, &converter);
  for (auto _ : state) {
    TMessageForm form = BuildMessageForm(digest);
    benchmark::DoNotOptimize(form);
  }
  state.counters["forms/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_MessageFormHtml);

BENCHMARK_MAIN();
