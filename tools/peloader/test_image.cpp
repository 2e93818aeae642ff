#include "tools/peloader/test_image.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace pe_test {

Bytes GoodImage() {
  std::ifstream in(PAGORA_WIN32_MODULE, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::uint32_t Get32(const Bytes& file, std::uint32_t offset) {
  std::uint32_t value = 0;
  std::memcpy(&value, file.data() + offset, 4);
  return value;
}

void Put16(Bytes* file, std::uint32_t offset, std::uint16_t value) {
  std::memcpy(file->data() + offset, &value, 2);
}

void Put32(Bytes* file, std::uint32_t offset, std::uint32_t value) {
  std::memcpy(file->data() + offset, &value, 4);
}

std::uint32_t FileOffset(const pe::Headers& headers, std::uint32_t rva) {
  for (const pe::Section& s : headers.sections) {
    if (rva >= s.virtual_address && rva < s.virtual_address + s.raw_size) {
      return rva - s.virtual_address + s.raw_offset;
    }
  }
  return 0;
}

Layout LayoutOf(const Bytes& file) {
  Layout layout;
  std::string error;
  pe::ParseHeaders(pe::ByteView(file.data(), file.size()), &layout.headers, &error);
  layout.coff = Get32(file, 0x3c) + 4;
  layout.optional = layout.coff + 20;
  std::uint16_t optional_size = 0;
  std::memcpy(&optional_size, file.data() + layout.coff + 16, 2);
  layout.sections = layout.optional + optional_size;
  const pe::Headers& h = layout.headers;
  layout.relocations = FileOffset(h, h.directories[pe::kRelocationDirectory].rva);
  layout.imports = FileOffset(h, h.directories[pe::kImportDirectory].rva);
  layout.tls = FileOffset(h, h.directories[pe::kTlsDirectory].rva);
  layout.entry = FileOffset(h, h.entry_point);
  return layout;
}

std::uint32_t ImportNameOffset(const Bytes& file, const Layout& layout, const char* name) {
  for (std::uint32_t d = layout.imports; Get32(file, d + 12) != 0; d += 20) {
    for (std::uint32_t at = FileOffset(layout.headers, Get32(file, d)); Get32(file, at) != 0; at += 4) {
      const std::uint32_t entry = FileOffset(layout.headers, Get32(file, at)) + 2;
      if (std::strcmp(reinterpret_cast<const char*>(file.data() + entry), name) == 0) return entry;
    }
  }
  return 0;
}

}  // namespace pe_test
