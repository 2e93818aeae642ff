// A PE32 image laid out in memory as the system would: headers and sections
// at their relative addresses, the rest zero, in one private mapping.
#pragma once

#include <cstdint>
#include <string>

#include "tools/peloader/byte_view.h"
#include "tools/peloader/pe_headers.h"

namespace pe {

class MappedImage {
 public:
  MappedImage() = default;
  ~MappedImage();
  MappedImage(const MappedImage&) = delete;
  MappedImage& operator=(const MappedImage&) = delete;

  // Maps the image, at its preferred base when that is free. The whole
  // image is readable, writable and executable: the module's runtime
  // changes protections itself where it needs to. Returns 0 or -1.
  int Map(const ByteView& file, const Headers& headers, std::string* error);
  void Unmap();

  unsigned char* base() const { return base_; }
  std::uint32_t size() const { return size_; }
  std::uint32_t address() const { return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(base_)); }
  ByteView view() const { return ByteView(base_, size_); }

  // Writes a 32-bit word at `rva`; false when it does not fit in the image.
  bool Put32(std::uint64_t rva, std::uint32_t value);

 private:
  unsigned char* base_ = nullptr;
  std::uint32_t size_ = 0;
};

// Adds the difference between the mapped and the preferred base to every
// address the base relocations name. Returns 0, or -1 naming a block or an
// entry outside the image or a relocation type a PE32 image does not use.
int ApplyRelocations(MappedImage* image, const Headers& headers, std::string* error);

}  // namespace pe
