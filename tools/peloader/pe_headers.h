// The headers of a PE32 image (a 32-bit x86 Windows DLL), read and checked
// from the file's bytes before anything is mapped.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/peloader/byte_view.h"

namespace pe {

// The data directories the loader reads.
enum Directory : std::uint32_t {
  kExportDirectory = 0,
  kImportDirectory = 1,
  kRelocationDirectory = 5,
  kTlsDirectory = 9,
};
constexpr std::uint32_t kDirectoryCount = 16;

struct DataDirectory {
  std::uint32_t rva = 0;
  std::uint32_t size = 0;
};

struct Section {
  std::string name;
  std::uint32_t virtual_address = 0;
  std::uint32_t virtual_size = 0;
  std::uint32_t raw_offset = 0;
  std::uint32_t raw_size = 0;
  std::uint32_t characteristics = 0;

  bool executable() const { return (characteristics & 0x20000020u) != 0; }  // code, or execute
  bool writable() const { return (characteristics & 0x80000000u) != 0; }
};

struct Headers {
  std::uint32_t image_base = 0;
  std::uint32_t section_alignment = 0;
  std::uint32_t image_size = 0;
  std::uint32_t headers_size = 0;
  std::uint32_t entry_point = 0;  // RVA; 0 when the module has none
  DataDirectory directories[kDirectoryCount];
  std::vector<Section> sections;
};

// Reads and checks the headers of `file`. Returns 0, or -1 with `error`
// naming the fault: not a PE image, not 32-bit x86, not a DLL, truncated, a
// section or directory outside the image, a section alignment that is no
// power of two, sections misaligned or overlapping, or an entry point
// outside executable code.
int ParseHeaders(const ByteView& file, Headers* headers, std::string* error);

// The section holding `size` bytes at `rva`, or none.
const Section* SectionHolding(const Headers& headers, std::uint64_t rva, std::uint64_t size);

}  // namespace pe
