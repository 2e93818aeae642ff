// Bounds-checked little-endian reads from a block of bytes: the file as read
// from disk, or the mapped image addressed by relative virtual address. Every
// read of a field whose position comes from the module goes through here, so
// a module that points outside itself is refused instead of read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace pe {

class ByteView {
 public:
  ByteView() = default;
  ByteView(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}

  std::size_t size() const { return size_; }
  const unsigned char* data() const { return data_; }

  // True when [offset, offset + length) lies inside the view.
  bool Contains(std::uint64_t offset, std::uint64_t length) const {
    return offset <= size_ && length <= size_ - offset;
  }

  bool U16(std::uint64_t offset, std::uint16_t* value) const { return Read(offset, value); }
  bool U32(std::uint64_t offset, std::uint32_t* value) const { return Read(offset, value); }

  // The NUL-terminated string at `offset`, or nullptr when it does not end
  // inside the view.
  const char* String(std::uint64_t offset) const {
    if (offset >= size_) return nullptr;
    const void* end = std::memchr(data_ + offset, '\0', size_ - offset);
    return end == nullptr ? nullptr : reinterpret_cast<const char*>(data_ + offset);
  }

 private:
  template <typename T>
  bool Read(std::uint64_t offset, T* value) const {
    if (!Contains(offset, sizeof(T))) return false;
    T v = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) v |= static_cast<T>(T{data_[offset + i]} << (8 * i));
    *value = v;
    return true;
  }

  const unsigned char* data_ = nullptr;
  std::size_t size_ = 0;
};

// `value` as 0x-prefixed hexadecimal, for messages about the module.
inline std::string Hex(std::uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
  return text;
}

}  // namespace pe
