// Peak resident size of a download and of an upload of 1 MiB and 64 MiB,
// each in a child process of its own (peak_rss.h). A download goes block by
// block, so its peak should not grow with the file; an upload holds the file
// once. Counters, in KiB: "peak_kib" the child's peak, "start_kib" its size
// before the transfer, "growth_kib" the difference. This binary runs nothing
// else, so every child starts from the same small parent.
#include <benchmark/benchmark.h>

#include <string>

#include "testing/fake_driver.h"
#include "bench/local_files.h"
#include "bench/peak_rss.h"
#include "state/reader_state.h"
#include "devlink/exchange.h"
#include "testing/test_support.h"

namespace pagora {
namespace {

constexpr char kBookName[] = "\\book\\Big Book.rb";
constexpr char kWarmName[] = "\\book\\Warm.rb";
constexpr std::uint64_t kWarmSize = 64 * 1024;

void Report(benchmark::State& state, const PeakRss& peak) {
  if (!peak.ok) {
    state.SkipWithError("the child did not measure");
    return;
  }
  state.counters["peak_kib"] = static_cast<double>(peak.peak_kib);
  state.counters["start_kib"] = static_cast<double>(peak.start_kib);
  state.counters["growth_kib"] = static_cast<double>(peak.growth_kib());
}

void BM_DownloadPeak(benchmark::State& state) {
  const auto size = static_cast<std::uint64_t>(state.range(0));
  FakeDriver driver;
  driver.record_calls = false;
  driver.SetGeneratedReply(kBookName, size);
  driver.SetGeneratedReply(kWarmName, kWarmSize);
  TempDir dir;
  const std::string warm = dir.File("warm.rb");
  const std::string target = dir.File("download.rb");
  StatePtr reader = MakeState();
  for (auto _ : state) {
    const PeakRss peak = MeasureInChild(
        [&] { return DevDownload(*reader, kWarmName, warm.c_str(), 0, nullptr, true) == 0; },
        [&] { return DevDownload(*reader, kBookName, target.c_str(), 0, nullptr, true) == 0; });
    Report(state, peak);
    // Checked here, outside the child's measure: the file outlives it.
    if (!HoldsPattern(target, size)) state.SkipWithError("the downloaded file is wrong");
  }
}
BENCHMARK(BM_DownloadPeak)->Arg(1 << 20)->Arg(64 << 20)->Iterations(1)->Repetitions(1);

void BM_UploadPeak(benchmark::State& state) {
  const auto size = static_cast<std::uint64_t>(state.range(0));
  FakeDriver driver;
  driver.record_calls = false;
  TempDir dir;
  const std::string warm = dir.File("warm.rb");
  const std::string source = dir.File("upload.rb");
  if (!WritePatternFile(warm, kWarmSize) || !WritePatternFile(source, size)) {
    state.SkipWithError("the local files could not be written");
    return;
  }
  StatePtr reader = MakeState();
  for (auto _ : state) {
    const PeakRss peak = MeasureInChild(
        [&] { return DevUploadFile(*reader, kWarmName, warm.c_str(), nullptr) == 0; },
        [&] { return DevUploadFile(*reader, kBookName, source.c_str(), nullptr) == 0; });
    Report(state, peak);
  }
}
BENCHMARK(BM_UploadPeak)->Arg(1 << 20)->Arg(64 << 20)->Iterations(1)->Repetitions(1);

}  // namespace
}  // namespace pagora
