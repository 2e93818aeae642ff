#include "link_pacer.h"

#include <algorithm>

namespace readersim {

std::size_t LinkPacer::Chunk(std::size_t wanted) const {
  return paced() ? std::min(wanted, kChunk) : wanted;
}

void LinkPacer::Moved(std::size_t bytes, Clock::time_point now) {
  if (!paced()) return;
  const Clock::time_point start = now - free_at_ < kSlack ? free_at_ : now;
  const auto busy = std::chrono::duration<double>(static_cast<double>(bytes) / rate_);
  free_at_ = start + std::chrono::round<Clock::duration>(busy);
}

}  // namespace readersim
