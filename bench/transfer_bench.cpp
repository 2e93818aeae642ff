// Downloads and uploads of 1 MiB and 16 MiB through the plugin's exchanges,
// each timed against the bare transfer (transfer_baseline.h) in the same
// run. The two alternate which goes first, so drift in the machine's speed
// falls on both alike. The benchmark's time is the plugin's; "baseline_us"
// is the bare transfer's and "ratio" the plugin's time over it.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include "testing/fake_driver.h"
#include "bench/local_files.h"
#include "bench/transfer_baseline.h"
#include "state/reader_state.h"
#include "devlink/device.h"
#include "devlink/exchange.h"
#include "testing/test_support.h"

namespace pagora {
namespace {

constexpr char kBookName[] = "\\book\\Big Book.rb";

using Clock = std::chrono::steady_clock;

template <typename Work>
double Seconds(Work work, bool* ok) {
  const Clock::time_point start = Clock::now();
  *ok = work() && *ok;
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Runs the plugin's transfer and the baseline alternately and reports both.
template <typename Plugin, typename Baseline>
void Compare(benchmark::State& state, Plugin plugin, Baseline baseline) {
  double plugin_total = 0;
  double baseline_total = 0;
  bool ok = true;
  bool plugin_first = true;
  for (auto _ : state) {
    double plugin_seconds = 0;
    if (plugin_first) {
      plugin_seconds = Seconds(plugin, &ok);
      baseline_total += Seconds(baseline, &ok);
    } else {
      baseline_total += Seconds(baseline, &ok);
      plugin_seconds = Seconds(plugin, &ok);
    }
    plugin_first = !plugin_first;
    plugin_total += plugin_seconds;
    state.SetIterationTime(plugin_seconds);
    if (!ok) {
      state.SkipWithError("a transfer failed");
      break;
    }
  }
  state.counters["baseline_us"] =
      benchmark::Counter(baseline_total * 1e6, benchmark::Counter::kAvgIterations);
  state.counters["ratio"] = baseline_total > 0 ? plugin_total / baseline_total : 0;
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

// A download through the plugin against `baseline`, which fetches the same
// reply into the same target its own way.
template <typename Baseline>
void DownloadAgainst(benchmark::State& state, Baseline baseline) {
  const auto size = static_cast<std::uint64_t>(state.range(0));
  FakeDriver driver;
  driver.record_calls = false;
  driver.SetGeneratedReply(kBookName, size);
  TempDir dir;
  const std::string target = dir.File("download.rb");
  StatePtr reader = MakeState();
  if (DevOpen(*reader) != 0) {
    state.SkipWithError("the reader did not open");
    return;
  }
  const auto expected = static_cast<std::int32_t>(size);
  Compare(
      state,
      [&] { return DevDownload(*reader, kBookName, target.c_str(), expected, nullptr, true) == 0; },
      [&] {
        return baseline(FakeDeviceHandle(), kBookName, target.c_str()) ==
               static_cast<long long>(size);
      });
  if (!HoldsPattern(target, size)) state.SkipWithError("the downloaded file is wrong");
}

void BM_Download(benchmark::State& state) { DownloadAgainst(state, BaselineDownload); }
BENCHMARK(BM_Download)
    ->Arg(1 << 20)
    ->Arg(16 << 20)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

// The plugin against a baseline that also writes beside the target and
// replaces it: what is left is the plugin's own cost.
void BM_DownloadReplacing(benchmark::State& state) {
  DownloadAgainst(state, BaselineDownloadReplacing);
}
BENCHMARK(BM_DownloadReplacing)
    ->Arg(1 << 20)
    ->Arg(16 << 20)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

void BM_Upload(benchmark::State& state) {
  const auto size = static_cast<std::uint64_t>(state.range(0));
  FakeDriver driver;
  driver.record_calls = false;
  TempDir dir;
  const std::string source = dir.File("upload.rb");
  if (!WritePatternFile(source, size)) {
    state.SkipWithError("the local file could not be written");
    return;
  }
  StatePtr reader = MakeState();
  if (DevOpen(*reader) != 0) {
    state.SkipWithError("the reader did not open");
    return;
  }
  // The start call carries the header and all the data, the continuation
  // calls the data from its 4096th byte on again.
  const std::uint64_t header = sizeof kBookName;
  const std::uint64_t per_upload = header + size + (size > 4096 ? size - 4096 : 0);
  Compare(
      state,
      [&] {
        driver.ClearUploads();
        return DevUploadFile(*reader, kBookName, source.c_str(), nullptr) == 0 &&
               driver.upload_bytes() == per_upload;
      },
      [&] {
        driver.ClearUploads();
        return BaselineUpload(FakeDeviceHandle(), kBookName, source.c_str()) ==
                   static_cast<long long>(size) &&
               driver.upload_bytes() == per_upload;
      });
}
BENCHMARK(BM_Upload)
    ->Arg(1 << 20)
    ->Arg(16 << 20)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace pagora
