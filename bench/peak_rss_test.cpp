#include "bench/peak_rss.h"

#include <gtest/gtest.h>

#include <memory>

namespace pagora {
namespace {

bool Nothing() { return true; }

TEST(PeakRss, ReadsTheStatusFigures) {
  EXPECT_GT(ReadStatusKib("VmRSS"), 0);
  EXPECT_GE(ReadStatusKib("VmHWM"), ReadStatusKib("VmRSS") - 64);
  EXPECT_EQ(ReadStatusKib("NoSuchField"), -1);
}

TEST(PeakRss, TheChildsPeakFollowsWhatItTouches) {
  constexpr std::size_t kTouched = 32u << 20;
  const PeakRss touched = MeasureInChild(Nothing, [] {
    std::unique_ptr<char[]> block(new char[kTouched]);
    // Through a volatile pointer, so the block cannot be optimised away.
    char* volatile pages = block.get();
    for (std::size_t i = 0; i < kTouched; i += 4096) pages[i] = 1;
    return pages[kTouched - 4096] == 1;
  });
  ASSERT_TRUE(touched.ok);
  EXPECT_GE(touched.growth_kib(), static_cast<long>(kTouched / 1024) - 256);

  const PeakRss idle = MeasureInChild(Nothing, Nothing);
  ASSERT_TRUE(idle.ok);
  EXPECT_LT(idle.growth_kib(), 1024);
  EXPECT_GT(idle.start_kib, 0);
}

TEST(PeakRss, AFailingPartIsNoMeasure) {
  EXPECT_FALSE(MeasureInChild([] { return false; }, Nothing).ok) << "warm-up failed";
  EXPECT_FALSE(MeasureInChild(Nothing, [] { return false; }).ok) << "work failed";
}

}  // namespace
}  // namespace pagora
