// Bulk work on address books: loading, deleting many, extracting and importing.
// Run: bench_AddressBook --benchmark_repetitions=8 --benchmark_enable_random_interleaving=true
//        --benchmark_report_aggregates_only=true   (in a Release build with -DBREVANT_BENCH=ON)
#include "lists/AddressRecord.h"
#include "lists/ImportExport.h"
#include "storage/TextFile.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A fresh folder per benchmark, removed at the end.
class Scratch {
public:
  Scratch() {
    path_ = fs::temp_directory_path() / ("brevant-bench-" + std::to_string(::getpid()) + "-" + std::to_string(++count_));
    fs::create_directories(path_);
  }
  ~Scratch() { fs::remove_all(path_); }
  std::string Dir() const { return path_.string() + "/"; }

private:
  fs::path path_;
  static inline int count_ = 0;
};

std::string Email(const char *user, int64_t i) { return std::string(user) + std::to_string(i) + "@example.com"; }

// A book as the program writes it: every record with name, street, city, e-mail and phone.
std::string BookText(int64_t records) {
  std::string text;
  for (int64_t i = 0; i < records; ++i) {
    const std::string email = Email("member", i);
    text += "\r\n[<" + email + ">]\r\nName=Member " + std::to_string(i) + "\r\nAddress 1=" + std::to_string(i) +
            " Main Street\r\nAddress 2=Springfield\r\nEmail=" + email + "\r\nPhone=555-" + std::to_string(i) + "\r\n";
  }
  return text;
}

// A text with one new address per line among other lines.
std::string MailText(int64_t addresses) {
  std::string text;
  for (int64_t i = 0; i < addresses; ++i)
    text += "From: Reader " + std::to_string(i) + " <" + Email("reader", i) + ">\r\nSome words of a message.\r\n\r\n";
  return text;
}

std::string LegacyBytes(int64_t addresses) {
  auto put = [](std::string &rec, size_t offset, const std::string &text) {
    rec[offset] = static_cast<char>(text.size());
    rec.replace(offset + 1, text.size(), text);
  };
  std::string settings(kLegacyRecordSize, '\0');
  put(settings, 0, "Bench");
  put(settings, 1275, "158");
  std::string bytes = settings;
  for (int64_t i = 0; i < addresses; ++i) {
    std::string rec(kLegacyRecordSize, '\0');
    put(rec, 0, "Member " + std::to_string(i));
    put(rec, 101, Email("member", i));
    put(rec, 303, "Springfield");
    put(rec, 410, "555-" + std::to_string(i));
    put(rec, 431, std::to_string(i) + " Main Street");
    bytes += rec;
  }
  return bytes;
}

void BM_ReadAndSplitLines(benchmark::State &state) {
  Scratch scratch;
  WriteFileAtomic(AddressBookFile(scratch.Dir()), BookText(state.range(0)));
  for (auto _ : state) {
    auto lines = SplitLines(ReadFileBytes(AddressBookFile(scratch.Dir())));
    benchmark::DoNotOptimize(lines.data());
  }
}

void BM_LoadAddresses(benchmark::State &state) {
  Scratch scratch;
  WriteFileAtomic(AddressBookFile(scratch.Dir()), BookText(state.range(0)));
  for (auto _ : state) {
    std::vector<std::string> entries;
    LoadAddresses(scratch.Dir(), [&](std::string &&e) { entries.push_back(std::move(e)); });
    benchmark::DoNotOptimize(entries.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_LoadAddressesSorted(benchmark::State &state) {
  Scratch scratch;
  WriteFileAtomic(AddressBookFile(scratch.Dir()), BookText(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(LoadAddressEntries(scratch.Dir()).data());
}

// Deletes every second address of a book of range(0) records.
void BM_DeleteHalf(benchmark::State &state) {
  Scratch scratch;
  const std::string book = BookText(state.range(0));
  std::vector<std::string> selected;
  for (int64_t i = 0; i < state.range(0); i += 2)
    selected.push_back("Member " + std::to_string(i) + " <" + Email("member", i) + ">");
  for (auto _ : state) {
    state.PauseTiming();
    WriteFileAtomic(AddressBookFile(scratch.Dir()), book);
    state.ResumeTiming();
    DeleteAddresses(scratch.Dir(), selected);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(selected.size()));
}

// Extracts range(0) new addresses into a book of range(1) records whose entries are shown.
void BM_Extract(benchmark::State &state) {
  Scratch scratch;
  const std::string book = BookText(state.range(1));
  WriteFileAtomic(scratch.Dir() + "mail.txt", MailText(state.range(0)));
  WriteFileAtomic(AddressBookFile(scratch.Dir()), book);
  const std::vector<std::string> entries = LoadAddressEntries(scratch.Dir());
  for (auto _ : state) {
    state.PauseTiming();
    WriteFileAtomic(AddressBookFile(scratch.Dir()), book);
    state.ResumeTiming();
    benchmark::DoNotOptimize(ExtractAddresses(scratch.Dir() + "mail.txt", scratch.Dir(), entries));
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// Each round imports into a fresh data folder; the last round's folder is removed outside
// the timing, so that dirty pages of earlier rounds do not pile up.
// What the file rules cost a command that adds to a book of range(0) records: reading it
// and replacing it atomically with a few hundred kilobytes more.
void BM_RewriteBook(benchmark::State &state) {
  Scratch scratch;
  const std::string book = BookText(state.range(0));
  const std::string added = MailText(10000).substr(0, 400000);
  for (auto _ : state) {
    state.PauseTiming();
    WriteFileAtomic(AddressBookFile(scratch.Dir()), book);
    state.ResumeTiming();
    WriteFileAtomic(AddressBookFile(scratch.Dir()), ReadFileBytes(AddressBookFile(scratch.Dir())) + added);
  }
}

// The known-address check alone: range(0) new addresses against range(1) entries.
void BM_AddressesKnown(benchmark::State &state) {
  std::vector<std::string> entries, addresses;
  for (int64_t i = 0; i < state.range(1); ++i)
    entries.push_back("Member " + std::to_string(i) + " <" + Email("member", i) + ">");
  for (int64_t i = 0; i < state.range(0); ++i) addresses.push_back(Email("reader", i));
  const std::vector<std::string_view> asked(addresses.begin(), addresses.end());
  for (auto _ : state) benchmark::DoNotOptimize(AddressesKnown(entries, asked));
}

void BM_ImportLegacy(benchmark::State &state) {
  Scratch scratch;
  WriteFileAtomic(scratch.Dir() + "old.bvl", LegacyBytes(state.range(0)));
  const std::string data = scratch.Dir() + "data/";
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove_all(data);
    fs::create_directories(data);
    state.ResumeTiming();
    benchmark::DoNotOptimize(ImportLegacyList(data, scratch.Dir() + "old.bvl").Count);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

}  // namespace

BENCHMARK(BM_ReadAndSplitLines)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadAddresses)->Arg(5000)->Arg(10000)->Arg(20000)->Arg(40000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadAddressesSorted)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeleteHalf)->Arg(10000)->Arg(20000)->Arg(40000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Extract)
    ->Args({10000, 0})
    ->Args({20000, 0})
    ->Args({40000, 0})
    ->Args({10000, 100000})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RewriteBook)->Arg(0)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AddressesKnown)->Args({10000, 0})->Args({10000, 100000})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportLegacy)->Arg(10000)->Arg(20000)->Arg(40000)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
