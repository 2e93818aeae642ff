// Paces a link at a fixed byte rate, as the reader's USB connection does:
// bytes move in small chunks, and after each chunk the link stays busy for
// the time those bytes take at the rate. A long request is therefore taken
// in gradually and a response sent out gradually; the link never waits out
// a whole transfer's time in one silent stretch before it answers.
#pragma once

#include <chrono>
#include <cstddef>

namespace readersim {

class LinkPacer {
 public:
  using Clock = std::chrono::steady_clock;

  // The most bytes moved at once while pacing: one reader block.
  static constexpr std::size_t kChunk = 4096;
  // A wakeup that comes this much late still counts from when the link got
  // free, so the lateness does not add up over a long transfer.
  static constexpr std::chrono::milliseconds kSlack{20};

  // `bytes_per_second` 0: no pacing, every chunk may move at once.
  explicit LinkPacer(double bytes_per_second) : rate_(bytes_per_second) {}

  bool paced() const { return rate_ > 0; }
  // How many of `wanted` bytes to move now.
  std::size_t Chunk(std::size_t wanted) const;
  // When the next chunk may move; the link is free when this is not after now.
  Clock::time_point FreeAt() const { return free_at_; }
  // Records `bytes` moved at `now`: the link is busy until they have passed.
  void Moved(std::size_t bytes, Clock::time_point now);

 private:
  double rate_;
  Clock::time_point free_at_;
};

}  // namespace readersim
