// The Mail page's folder work without widgets:
//  - listing a folder of N records against reading and splitting its index file;
//  - viewing the 10 MB message (decode, attachment and HTML files, the text as shown)
//    against TMimeDecode alone on the same file;
//  - deleting 1,000 selected rows and purging a folder, for folders of two sizes.
#include "BenchMessage.h"
#include "mail/MailFolders.h"
#include "mail/MessageView.h"
#include "net/MimeDec.h"
#include "storage/Ansi.h"
#include "storage/TextFile.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <fstream>
#include <memory>

namespace {

std::string TempPath(const QTemporaryDir &dir) { return dir.path().toStdString() + "/"; }

// An Inbox index of n records as the retrieval writes them, and (optionally) their files.
void MakeInbox(const std::string &list, int n, bool withFiles) {
  ForceDirectories(MailFolderDir(list, TMailFolder::mfInbox));
  std::string index;
  for (int i = 0; i < n; ++i) {
    const std::string name = "uid" + std::to_string(1000000 + i);
    const std::string file = MailFolderDir(list, TMailFolder::mfInbox) + name + ".txt";
    index += "[" + name + "]\r\nFrom=Reader " + std::to_string(i) + " <reader" + std::to_string(i) +
             "@example.org>\r\nSubject=Subscription request number " + std::to_string(i) +
             "\r\nDate=Sun, 6 Dec 2026 12:00:00 +0000\r\nAttachment=0\r\nMsgNum=" + std::to_string(i + 1) +
             "\r\nReceived=1\r\nViewed=" + (i % 3 == 0 ? "1" : "0") + "\r\nFileName=" + file + "\r\n\r\n";
    if (withFiles) std::ofstream(file, std::ios::binary) << "Subject: x\r\n\r\nbody\r\n";
  }
  WriteFileAtomic(FolderIndexFile(list, TMailFolder::mfInbox), index);
}

void BM_ReadAndSplitIndex(benchmark::State &state) {
  QTemporaryDir dir;
  const std::string list = TempPath(dir);
  MakeInbox(list, int(state.range(0)), false);
  for (auto _ : state) benchmark::DoNotOptimize(SplitLines(ReadFileBytes(FolderIndexFile(list, TMailFolder::mfInbox))));
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ReadAndSplitIndex)->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond);

void BM_ListFolder(benchmark::State &state) {
  QTemporaryDir dir;
  const std::string list = TempPath(dir);
  MakeInbox(list, int(state.range(0)), false);
  for (auto _ : state) benchmark::DoNotOptimize(MessageGridRows(list, TMailFolder::mfInbox));
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ListFolder)->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond);

void BM_MimeDecodeAlone(benchmark::State &state) {
  QTemporaryDir dir;
  const std::string file = TempPath(dir) + "message.txt";
  WriteFileAtomic(file, GenerateMessage());
  for (auto _ : state) {
    TMimeDecode mime;
    mime.DecodeFile(file);
  }
}
BENCHMARK(BM_MimeDecodeAlone)->Unit(benchmark::kMillisecond);

// TMimeDecode writing the same parts into files, as any viewer of the message must.
void BM_MimeDecodeWritingParts(benchmark::State &state) {
  QTemporaryDir dir;
  const std::string path = TempPath(dir);
  WriteFileAtomic(path + "message.txt", GenerateMessage());
  for (auto _ : state) {
    TMimeDecode mime;
    std::unique_ptr<std::ofstream> out;
    mime.OnPartBegin = [&](TMimeDecode *m) {
      if (m->PartNumber() == 0) return;
      out = std::make_unique<std::ofstream>(path + "part" + std::to_string(m->PartNumber()), std::ios::binary);
      m->DestStream = out.get();
    };
    mime.OnPartEnd = [&](TMimeDecode *m) {
      m->DestStream = nullptr;
      out.reset();
    };
    mime.DecodeFile(path + "message.txt");
  }
}
BENCHMARK(BM_MimeDecodeWritingParts)->Unit(benchmark::kMillisecond);

void BM_ViewMessage(benchmark::State &state) {
  QTemporaryDir dir;
  const std::string folder = TempPath(dir) + "Inbox/";
  ForceDirectories(folder);
  const std::string file = folder + "uid1.txt";
  WriteFileAtomic(file, GenerateMessage());
  std::vector<std::string> own;
  qsizetype shownChars = 0;
  for (auto _ : state) {
    const TViewedMessage v = ViewMessageFile(file, folder, THeaderForm::hfNormal, own);
    own = v.PartFiles;  // viewed again: the message overwrites its own files
    // The text as the view shows it.
    for (const TViewSpan &span : v.Spans) shownChars = CharsetToQString(span.Text, span.Charset).size();
  }
  benchmark::DoNotOptimize(shownChars);
  state.counters["attachments"] = double(own.size());
}
BENCHMARK(BM_ViewMessage)->Unit(benchmark::kMillisecond);

// Deleting 1,000 selected rows of a folder of N messages (files move to the Trash).
void BM_Delete1000Rows(benchmark::State &state) {
  std::vector<std::unique_ptr<QTemporaryDir>> dirs;  // removed after the timing
  for (auto _ : state) {
    state.PauseTiming();
    dirs.push_back(std::make_unique<QTemporaryDir>());
    const std::string list = TempPath(*dirs.back());
    MakeInbox(list, int(state.range(0)), true);
    std::vector<TMessageRow> rows = MessageGridRows(list, TMailFolder::mfInbox);
    rows.resize(1000);
    state.ResumeTiming();
    MoveToTrash(list, TMailFolder::mfInbox, rows);
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_Delete1000Rows)->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond)->Iterations(3);

// Deleting N selected rows: doubling the rows at most doubles the time.
void BM_DeleteAllRows(benchmark::State &state) {
  std::vector<std::unique_ptr<QTemporaryDir>> dirs;  // removed after the timing
  for (auto _ : state) {
    state.PauseTiming();
    dirs.push_back(std::make_unique<QTemporaryDir>());
    const std::string list = TempPath(*dirs.back());
    MakeInbox(list, int(state.range(0)), true);
    const std::vector<TMessageRow> rows = MessageGridRows(list, TMailFolder::mfInbox);
    state.ResumeTiming();
    MoveToTrash(list, TMailFolder::mfInbox, rows);
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_DeleteAllRows)->Arg(1000)->Arg(2000)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_PurgeFolder(benchmark::State &state) {
  std::vector<std::unique_ptr<QTemporaryDir>> dirs;  // removed after the timing
  for (auto _ : state) {
    state.PauseTiming();
    dirs.push_back(std::make_unique<QTemporaryDir>());
    const std::string list = TempPath(*dirs.back());
    MakeInbox(list, int(state.range(0)), true);
    state.ResumeTiming();
    benchmark::DoNotOptimize(PurgeFolder(list, TMailFolder::mfInbox));
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_PurgeFolder)->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
