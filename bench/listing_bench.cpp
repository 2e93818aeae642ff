// A whole listing as the host runs it: FsFindFirst on the root, FsFindNext
// until the end, on full replies of 600 titles and 1,000 book files.
#include <benchmark/benchmark.h>

#include "testing/fake_driver.h"
#include "bench/full_reader.h"
#include "bench/shelf.h"
#include "state/reader_state.h"
#include "plugin/fs_api.h"
#include "plugin/host_context.h"
#include "plugin/module.h"

namespace pagora {
namespace {

void BM_WholeListing(benchmark::State& state) {
  FakeDriver driver;
  driver.record_calls = false;
  ServeFullReader(driver);
  Reset(Reader());
  FsInit(1, nullptr, nullptr, nullptr);
  char root[2] = {kHostSeparator, '\0'};
  int entries = 0;
  for (auto _ : state) {
    WIN32_FIND_DATAA find_data{};
    HANDLE handle = FsFindFirst(root, &find_data);
    if (handle == InvalidHandleValue()) {
      state.SkipWithError("FsFindFirst found nothing");
      break;
    }
    entries = 1;
    while (FsFindNext(handle, &find_data) != kFalse) ++entries;
    FsFindClose(handle);
  }
  if (entries != kFullTitles || CountLinked(Reader()) != kFullTitles) {
    state.SkipWithError("the listing did not give every title, linked");
  }
  Reset(Reader());
}
BENCHMARK(BM_WholeListing)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace pagora
