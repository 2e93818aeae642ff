#include "tools/peloader/pe_headers.h"

namespace pe {

namespace {

constexpr std::uint16_t kMachineI386 = 0x14c;
constexpr std::uint16_t kMagicPe32 = 0x10b;
constexpr std::uint16_t kMagicPe32Plus = 0x20b;
constexpr std::uint16_t kCharacteristicDll = 0x2000;
constexpr std::uint32_t kCoffHeaderSize = 20;
constexpr std::uint32_t kSectionHeaderSize = 40;
constexpr std::uint32_t kDirectoriesOffset = 96;  // in the PE32 optional header
constexpr std::uint32_t kSecurityDirectory = 4;
// Larger images than this are refused rather than mapped.
constexpr std::uint32_t kMaxImageSize = 256u << 20;

int Fault(std::string* error, const std::string& message) {
  *error = message;
  return -1;
}

int ReadSections(const ByteView& file, std::uint32_t table, std::uint16_t count, Headers* headers,
                 std::string* error) {
  if (!file.Contains(table, std::uint64_t{count} * kSectionHeaderSize)) {
    return Fault(error, "truncated: the section table ends beyond the end of the file");
  }
  for (std::uint16_t i = 0; i < count; ++i) {
    const std::uint32_t at = table + i * kSectionHeaderSize;
    Section section;
    const char* name = reinterpret_cast<const char*>(file.data() + at);
    std::size_t length = 0;
    while (length < 8 && name[length] != '\0') ++length;
    section.name.assign(name, length);
    file.U32(at + 8, &section.virtual_size);
    file.U32(at + 12, &section.virtual_address);
    file.U32(at + 16, &section.raw_size);
    file.U32(at + 20, &section.raw_offset);
    file.U32(at + 36, &section.characteristics);
    if (section.raw_size > 0 && !file.Contains(section.raw_offset, section.raw_size)) {
      return Fault(error, "truncated: section " + section.name + " ends at " +
                              Hex(std::uint64_t{section.raw_offset} + section.raw_size) +
                              ", beyond the end of the file (" + Hex(file.size()) + ")");
    }
    const std::uint32_t extent = section.virtual_size > 0 ? section.virtual_size : section.raw_size;
    if (std::uint64_t{section.virtual_address} + extent > headers->image_size ||
        section.virtual_address < headers->headers_size) {
      return Fault(error, "section " + section.name + " lies outside the image");
    }
    if (section.virtual_address % headers->section_alignment != 0) {
      return Fault(error, "section " + section.name + " at RVA " + Hex(section.virtual_address) +
                              " is not aligned to " + Hex(headers->section_alignment));
    }
    // Sections follow one another in the table; one that starts inside the
    // one before would map two contents to the same addresses.
    if (!headers->sections.empty()) {
      const Section& before = headers->sections.back();
      const std::uint32_t before_extent =
          before.virtual_size > 0 ? before.virtual_size : before.raw_size;
      if (section.virtual_address < std::uint64_t{before.virtual_address} + before_extent) {
        return Fault(error, "sections " + before.name + " and " + section.name + " overlap");
      }
    }
    headers->sections.push_back(section);
  }
  return 0;
}

}  // namespace

int ParseHeaders(const ByteView& file, Headers* headers, std::string* error) {
  std::uint16_t mz = 0;
  std::uint32_t pe_offset = 0;
  if (!file.U16(0, &mz) || mz != 0x5a4d) return Fault(error, "not a PE image: no MZ signature");
  if (!file.U32(0x3c, &pe_offset)) return Fault(error, "truncated: the DOS header is incomplete");
  std::uint32_t signature = 0;
  if (!file.U32(pe_offset, &signature)) {
    return Fault(error, "truncated: the PE header at " + Hex(pe_offset) +
                            " lies beyond the end of the file");
  }
  if (signature != 0x00004550) return Fault(error, "not a PE image: no PE signature");
  const std::uint32_t coff = pe_offset + 4;
  std::uint16_t machine = 0, section_count = 0, optional_size = 0, characteristics = 0;
  if (!file.U16(coff, &machine) || !file.U16(coff + 2, &section_count) ||
      !file.U16(coff + 16, &optional_size) || !file.U16(coff + 18, &characteristics)) {
    return Fault(error, "truncated: the file header is incomplete");
  }
  const std::uint32_t optional = coff + kCoffHeaderSize;
  std::uint16_t magic = 0;
  if (!file.U16(optional, &magic)) return Fault(error, "truncated: no optional header");
  if (magic == kMagicPe32Plus) return Fault(error, "not a PE32 image: it is PE32+ (64-bit)");
  if (magic != kMagicPe32) return Fault(error, "not a PE32 image: optional header magic " + Hex(magic));
  if (machine != kMachineI386) return Fault(error, "not a 32-bit x86 image: machine " + Hex(machine));
  if ((characteristics & kCharacteristicDll) == 0) return Fault(error, "not a DLL");

  std::uint32_t directory_count = 0;
  if (optional_size < kDirectoriesOffset || !file.Contains(optional, optional_size) ||
      !file.U32(optional + 16, &headers->entry_point) ||
      !file.U32(optional + 28, &headers->image_base) ||
      !file.U32(optional + 32, &headers->section_alignment) ||
      !file.U32(optional + 56, &headers->image_size) ||
      !file.U32(optional + 60, &headers->headers_size) ||
      !file.U32(optional + 92, &directory_count)) {
    return Fault(error, "truncated: the optional header is incomplete");
  }
  if (headers->image_size == 0 || headers->image_size > kMaxImageSize) {
    return Fault(error, "image size " + Hex(headers->image_size) + " is not a loadable size");
  }
  if (headers->headers_size > headers->image_size || !file.Contains(0, headers->headers_size)) {
    return Fault(error, "truncated: the headers' size " + Hex(headers->headers_size) +
                            " exceeds the file or the image");
  }
  if (std::uint64_t{directory_count} * 8 > optional_size - kDirectoriesOffset) {
    return Fault(error, "truncated: the data directories exceed the optional header");
  }
  for (std::uint32_t i = 0; i < directory_count && i < kDirectoryCount; ++i) {
    DataDirectory& dir = headers->directories[i];
    file.U32(optional + kDirectoriesOffset + 8 * i, &dir.rva);
    file.U32(optional + kDirectoriesOffset + 8 * i + 4, &dir.size);
    // The security directory alone holds a file offset, not an address.
    if (i != kSecurityDirectory && std::uint64_t{dir.rva} + dir.size > headers->image_size) {
      return Fault(error, "data directory " + std::to_string(i) + " lies outside the image");
    }
  }
  if (headers->entry_point >= headers->image_size) {
    return Fault(error, "the entry point lies outside the image");
  }
  const std::uint32_t alignment = headers->section_alignment;
  if (alignment == 0 || (alignment & (alignment - 1)) != 0) {
    return Fault(error, "section alignment " + Hex(alignment) + " is not a power of two");
  }
  if (ReadSections(file, optional + optional_size, section_count, headers, error) != 0) return -1;
  if (headers->entry_point != 0) {
    const Section* code = SectionHolding(*headers, headers->entry_point, 1);
    if (code == nullptr || !code->executable()) {
      return Fault(error, "the entry point lies outside executable code");
    }
  }
  return 0;
}

const Section* SectionHolding(const Headers& headers, std::uint64_t rva, std::uint64_t size) {
  for (const Section& section : headers.sections) {
    const std::uint32_t extent = section.virtual_size > 0 ? section.virtual_size : section.raw_size;
    if (rva >= section.virtual_address && rva + size <= std::uint64_t{section.virtual_address} + extent) {
      return &section;
    }
  }
  return nullptr;
}

}  // namespace pe
