#include "tools/peloader/export_table.h"

#include <cstring>

namespace pe {

namespace {

struct ExportDirectory {
  std::uint32_t ordinal_base = 0;
  std::uint32_t function_count = 0;
  std::uint32_t name_count = 0;
  std::uint32_t functions = 0;
  std::uint32_t names = 0;
  std::uint32_t name_ordinals = 0;
};

bool ReadDirectory(const ByteView& image, const DataDirectory& dir, ExportDirectory* d) {
  return dir.size != 0 && image.U32(dir.rva + 16, &d->ordinal_base) &&
         image.U32(dir.rva + 20, &d->function_count) && image.U32(dir.rva + 24, &d->name_count) &&
         image.U32(dir.rva + 28, &d->functions) && image.U32(dir.rva + 32, &d->names) &&
         image.U32(dir.rva + 36, &d->name_ordinals);
}

// The address of function `index` of the table; forwarders (addresses
// inside the export directory, naming another DLL's export) are not code.
void* FunctionAt(unsigned char* base, const ByteView& image, const DataDirectory& dir,
                 const ExportDirectory& d, std::uint32_t index) {
  std::uint32_t rva = 0;
  if (index >= d.function_count || !image.U32(d.functions + 4ull * index, &rva)) return nullptr;
  if (rva == 0 || rva >= image.size()) return nullptr;
  if (rva >= dir.rva && rva < std::uint64_t{dir.rva} + dir.size) return nullptr;
  return base + rva;
}

}  // namespace

void* FindExport(unsigned char* base, const ByteView& image, const Headers& headers,
                 const char* name) {
  const DataDirectory& dir = headers.directories[kExportDirectory];
  ExportDirectory d;
  if (!ReadDirectory(image, dir, &d)) return nullptr;
  for (std::uint32_t i = 0; i < d.name_count; ++i) {
    std::uint32_t name_rva = 0;
    std::uint16_t index = 0;
    if (!image.U32(d.names + 4ull * i, &name_rva) || !image.U16(d.name_ordinals + 2ull * i, &index)) {
      return nullptr;
    }
    const char* candidate = image.String(name_rva);
    if (candidate != nullptr && std::strcmp(candidate, name) == 0) {
      return FunctionAt(base, image, dir, d, index);
    }
  }
  return nullptr;
}

void* FindExport(unsigned char* base, const ByteView& image, const Headers& headers,
                 std::uint32_t ordinal) {
  const DataDirectory& dir = headers.directories[kExportDirectory];
  ExportDirectory d;
  if (!ReadDirectory(image, dir, &d) || ordinal < d.ordinal_base) return nullptr;
  return FunctionAt(base, image, dir, d, ordinal - d.ordinal_base);
}

int CheckExports(const ByteView& image, const Headers& headers, std::string* error) {
  const DataDirectory& dir = headers.directories[kExportDirectory];
  ExportDirectory d;
  if (!ReadDirectory(image, dir, &d)) return 0;
  for (std::uint32_t i = 0; i < d.function_count; ++i) {
    std::uint32_t rva = 0;
    if (!image.U32(d.functions + 4ull * i, &rva)) {
      *error = "the export address table runs outside the image";
      return -1;
    }
    const bool forwarder = rva >= dir.rva && rva < std::uint64_t{dir.rva} + dir.size;
    if (rva == 0 || forwarder) continue;
    const Section* code = SectionHolding(headers, rva, 1);
    if (code == nullptr || !code->executable()) {
      *error = "export ordinal " + std::to_string(d.ordinal_base + i) +
               " lies outside executable code";
      return -1;
    }
  }
  return 0;
}

}  // namespace pe
