#include "tools/peloader/mapped_image.h"

#include <sys/mman.h>

#include <cstring>

namespace pe {

MappedImage::~MappedImage() { Unmap(); }

void MappedImage::Unmap() {
  if (base_ != nullptr) munmap(base_, size_);
  base_ = nullptr;
  size_ = 0;
}

int MappedImage::Map(const ByteView& file, const Headers& headers, std::string* error) {
  Unmap();
  // The preferred base is only a hint: anywhere else, the relocations move it.
  void* hint = reinterpret_cast<void*>(static_cast<std::uintptr_t>(headers.image_base));
  void* memory = mmap(hint, headers.image_size, PROT_READ | PROT_WRITE | PROT_EXEC,
                      MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) {
    *error = "cannot map " + std::to_string(headers.image_size) + " bytes for the image";
    return -1;
  }
  base_ = static_cast<unsigned char*>(memory);
  size_ = headers.image_size;
  std::memcpy(base_, file.data(), headers.headers_size);
  for (const Section& section : headers.sections) {
    std::uint32_t length = section.raw_size;
    if (section.virtual_size > 0 && section.virtual_size < length) length = section.virtual_size;
    // ParseHeaders checked both ends: the raw data is in the file and the
    // virtual extent (the larger of the two sizes) in the image.
    std::memcpy(base_ + section.virtual_address, file.data() + section.raw_offset, length);
  }
  return 0;
}

bool MappedImage::Put32(std::uint64_t rva, std::uint32_t value) {
  if (!view().Contains(rva, 4)) return false;
  std::memcpy(base_ + rva, &value, 4);
  return true;
}

int ApplyRelocations(MappedImage* image, const Headers& headers, std::string* error) {
  constexpr std::uint16_t kAbsolute = 0;  // padding
  constexpr std::uint16_t kHighLow = 3;   // a 32-bit address
  const DataDirectory& dir = headers.directories[kRelocationDirectory];
  const std::uint32_t delta = image->address() - headers.image_base;
  const ByteView view = image->view();
  std::uint64_t at = dir.rva;
  const std::uint64_t end = std::uint64_t{dir.rva} + dir.size;
  while (at + 8 <= end) {
    std::uint32_t page = 0, block_size = 0;
    view.U32(at, &page);
    view.U32(at + 4, &block_size);
    if (block_size < 8 || at + block_size > end) {
      *error = "relocation block at RVA " + Hex(at) + " runs outside its directory";
      return -1;
    }
    for (std::uint64_t entry = at + 8; entry + 2 <= at + block_size; entry += 2) {
      std::uint16_t word = 0;
      view.U16(entry, &word);
      const std::uint16_t type = word >> 12;
      const std::uint64_t target = std::uint64_t{page} + (word & 0xfff);
      if (type == kAbsolute) continue;
      if (type != kHighLow) {
        *error = "relocation type " + std::to_string(type) + " is not one of a PE32 image";
        return -1;
      }
      std::uint32_t value = 0;
      if (!view.U32(target, &value) || !image->Put32(target, value + delta)) {
        *error = "relocation at RVA " + Hex(target) + " points outside the image";
        return -1;
      }
    }
    at += block_size;
  }
  return 0;
}

}  // namespace pe
