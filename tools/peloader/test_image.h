// The shipped 32-bit DLL as bytes, for tests that load it or craft faulty
// images from it, and where its structures sit in the file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/peloader/pe_headers.h"

namespace pe_test {

using Bytes = std::vector<unsigned char>;

// The DLL named by PAGORA_WIN32_MODULE; empty when it cannot be read.
Bytes GoodImage();

// Where the headers and tables of `file` sit, as file offsets.
struct Layout {
  pe::Headers headers;
  std::uint32_t coff = 0;          // the file header, after "PE\0\0"
  std::uint32_t optional = 0;      // the optional header
  std::uint32_t sections = 0;      // the section table
  std::uint32_t relocations = 0;   // the first relocation block
  std::uint32_t imports = 0;       // the first import descriptor
  std::uint32_t tls = 0;           // the TLS directory
  std::uint32_t entry = 0;         // the entry point's code
};
Layout LayoutOf(const Bytes& file);

// The file offset of relative address `rva` (0 when no section holds it).
std::uint32_t FileOffset(const pe::Headers& headers, std::uint32_t rva);

// The file offset of the name of import `name` (after its hint).
std::uint32_t ImportNameOffset(const Bytes& file, const Layout& layout, const char* name);

std::uint32_t Get32(const Bytes& file, std::uint32_t offset);
void Put16(Bytes* file, std::uint32_t offset, std::uint16_t value);
void Put32(Bytes* file, std::uint32_t offset, std::uint32_t value);

}  // namespace pe_test
