// The one catalog, shared with a second thread: a host calls the content
// functions (the detail columns) from a worker thread while its main thread
// lists and transfers. The main thread's calls hold the catalog for their
// whole length; a content call reads it only while nobody else does, and
// otherwise answers at once without it, so it never reads a catalog being
// rebuilt and never makes the main thread wait behind it for longer than
// one lookup.
#pragma once

#include <atomic>

namespace pagora {

std::atomic<bool>& CatalogInUse();

// How many holds are open on the host's main thread, the only thread that
// takes one: an export the host calls from within a progress report finds
// the catalog held already and does not wait for itself. Content calls
// never touch it, so it needs no atomic and no per-thread storage.
int& CatalogHoldDepth();

// Held by every export that reads or changes the catalog on the host's
// main thread; waits only for a content call under way.
class CatalogHold {
 public:
  CatalogHold() {
    if (CatalogHoldDepth()++ > 0) return;
    while (CatalogInUse().exchange(true, std::memory_order_acquire)) {
      // A content call holds it for one lookup; the wait is that long.
    }
  }
  ~CatalogHold() {
    if (--CatalogHoldDepth() > 0) return;
    CatalogInUse().store(false, std::memory_order_release);
  }
  CatalogHold(const CatalogHold&) = delete;
  CatalogHold& operator=(const CatalogHold&) = delete;
};

// Taken by a content call when the catalog is free; `held()` tells.
class CatalogTry {
 public:
  CatalogTry() : held_(!CatalogInUse().exchange(true, std::memory_order_acquire)) {}
  ~CatalogTry() {
    if (held_) CatalogInUse().store(false, std::memory_order_release);
  }
  CatalogTry(const CatalogTry&) = delete;
  CatalogTry& operator=(const CatalogTry&) = delete;
  bool held() const { return held_; }

 private:
  bool held_;
};

}  // namespace pagora
