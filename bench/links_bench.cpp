// LinkTitles as the catalog grows: as many titles as book files, built from
// records, so only the linking is timed. Past the caches every record costs
// a trip to memory, so time per element grows even for a linear algorithm;
// FollowLinks measures that growth alone.
#include <benchmark/benchmark.h>

#include "bench/shelf.h"
#include "catalog/links.h"
#include "state/reader_state.h"
#include "testing/test_support.h"

namespace pagora {
namespace {

void BM_LinkTitles(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  StatePtr reader = MakeState();
  if (!FillShelf(*reader, count)) {
    state.SkipWithError("no memory for the catalog");
    return;
  }
  for (auto _ : state) {
    LinkTitles(*reader, kStorageInternal);
  }
  if (CountLinked(*reader) != count) state.SkipWithError("not every title was linked");
  state.SetComplexityN(count);
}
BENCHMARK(BM_LinkTitles)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMicrosecond)
    ->Complexity();

// The memory baseline: the same records touched in the same order, no
// lookup (shelf.h, FollowLinks).
void BM_FollowLinks(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  StatePtr reader = MakeState();
  if (!FillShelf(*reader, count)) {
    state.SkipWithError("no memory for the catalog");
    return;
  }
  LinkTitles(*reader, kStorageInternal);
  int matched = 0;
  for (auto _ : state) {
    matched = FollowLinks(*reader, kStorageInternal);
    benchmark::DoNotOptimize(matched);
  }
  if (matched != count) state.SkipWithError("not every file led to its title");
  state.SetComplexityN(count);
}
BENCHMARK(BM_FollowLinks)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMicrosecond)
    ->Complexity();

}  // namespace
}  // namespace pagora
