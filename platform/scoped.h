// What the platform table hands out, given back on every path, and the last
// error kept across the giving back: a failure's error is the one the host
// sees, whatever the clean-up after it does.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

namespace pagora {

// Restores the calling thread's last error, as it is at construction, when
// the scope ends.
class KeepLastError {
 public:
  KeepLastError() : error_(Os().get_last_error()) {}
  ~KeepLastError() { Os().set_last_error(error_); }
  KeepLastError(const KeepLastError&) = delete;
  KeepLastError& operator=(const KeepLastError&) = delete;

 private:
  std::uint32_t error_;
};

// Ends an operation that failed without a platform error of its own:
// `error` becomes the last error. Gives -1.
inline int Fail(std::uint32_t error) {
  Os().set_last_error(error);
  return -1;
}

// An open file handle, closed when the scope ends.
class ScopedHandle {
 public:
  explicit ScopedHandle(OsHandle handle) : handle_(handle) {}
  ~ScopedHandle() { Close(); }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;

  bool ok() const { return handle_ != InvalidOsHandle(); }
  OsHandle get() const { return handle_; }
  void Close() {
    if (!ok()) return;
    KeepLastError keep;
    Os().close_handle(handle_);
    handle_ = InvalidOsHandle();
  }

 private:
  OsHandle handle_;
};

// A block of memory from the table, released when the scope ends.
class ScopedBlock {
 public:
  explicit ScopedBlock(std::size_t size) : block_(static_cast<char*>(Os().allocate(size))) {}
  ~ScopedBlock() {
    if (block_ != nullptr) Os().release(block_);
  }
  ScopedBlock(const ScopedBlock&) = delete;
  ScopedBlock& operator=(const ScopedBlock&) = delete;

  char* get() const { return block_; }

 private:
  char* block_;
};

}  // namespace pagora
