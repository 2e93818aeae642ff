// The three reply parsers on full 65,536-byte replies, and on replies of
// 1 MiB (the /16 rows: sixteen times the bytes and the lines), whose rate
// must hold. Each iteration asks the reader again, so the query benchmark
// (the same exchange without the parse) is the baseline the parse cost is
// told apart from.
#include <benchmark/benchmark.h>

#include "testing/fake_driver.h"
#include "bench/full_reader.h"
#include "state/reader_state.h"
#include "catalog/status.h"
#include "catalog/storage_tree.h"
#include "catalog/titles.h"
#include "devlink/exchange.h"
#include "testing/test_support.h"

namespace pagora {
namespace {

int Count(const EntryList& list) {
  int n = 0;
  for (EntryNode* node = list.head; node != nullptr; node = node->next) ++n;
  return n;
}

const DirectoryEntry* FirstDirectory(const ReaderState& reader, int storage) {
  EntryNode* node = reader.roots[storage].children.head;
  return node != nullptr ? static_cast<const DirectoryEntry*>(node->item) : nullptr;
}

void BM_Query(benchmark::State& state, const char* name) {
  FakeDriver driver;
  driver.record_calls = false;
  ServeFullReader(driver);
  StatePtr reader = MakeState();
  for (auto _ : state) {
    std::int32_t length = kReplyLimit;
    if (DevQuery(*reader, name, reader->reply, &length) != 0 || length != kReplyLimit) {
      state.SkipWithError("the query did not give a full reply");
      break;
    }
    benchmark::DoNotOptimize(reader->reply);
  }
  state.SetBytesProcessed(state.iterations() * kReplyLimit);
}
BENCHMARK_CAPTURE(BM_Query, titles, "__TITLES");
BENCHMARK_CAPTURE(BM_Query, dir, "__DIR");
BENCHMARK_CAPTURE(BM_Query, status, "__STATUS");

void BM_RefreshTitles(benchmark::State& state) {
  const int scale = state.range(0);
  FakeDriver driver;
  driver.record_calls = false;
  ServeFullReader(driver, scale);
  StatePtr reader = MakeState();
  for (auto _ : state) {
    if (RefreshTitles(*reader) != 0) {
      state.SkipWithError("RefreshTitles failed");
      break;
    }
  }
  if (Count(reader->title_list) != kFullTitles * scale ||
      reader->title_count != kFullTitles * scale) {
    state.SkipWithError("the reply did not give every title");
  }
  state.SetBytesProcessed(state.iterations() * kReplyLimit * scale);
}
BENCHMARK(BM_RefreshTitles)->Arg(1)->Arg(16);

void BM_RefreshStorageTree(benchmark::State& state) {
  const int scale = state.range(0);
  FakeDriver driver;
  driver.record_calls = false;
  ServeFullReader(driver, scale);
  StatePtr reader = MakeState();
  for (auto _ : state) {
    if (RefreshStorageTree(*reader, kStorageInternal) != 0) {
      state.SkipWithError("RefreshStorageTree failed");
      break;
    }
  }
  const DirectoryEntry* book = FirstDirectory(*reader, kStorageInternal);
  if (book == nullptr || Count(book->children) != kFullFiles * scale) {
    state.SkipWithError("the reply did not give every file");
  }
  state.SetBytesProcessed(state.iterations() * kReplyLimit * scale);
}
BENCHMARK(BM_RefreshStorageTree)->Arg(1)->Arg(16);

void BM_RefreshStatus(benchmark::State& state) {
  const int scale = state.range(0);
  FakeDriver driver;
  driver.record_calls = false;
  ServeFullReader(driver, scale);
  StatePtr reader = MakeState();
  for (auto _ : state) {
    if (RefreshStatus(*reader) != 0) {
      state.SkipWithError("RefreshStatus failed");
      break;
    }
  }
  if (Count(reader->status_list) != kFullStatusLines * scale + kReaderStatusKeys ||
      reader->free_memory != 2818048) {
    state.SkipWithError("the reply did not give every status line");
  }
  state.SetBytesProcessed(state.iterations() * kReplyLimit * scale);
}
BENCHMARK(BM_RefreshStatus)->Arg(1)->Arg(16);

}  // namespace
}  // namespace pagora
