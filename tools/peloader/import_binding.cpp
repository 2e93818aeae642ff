#include "tools/peloader/import_binding.h"

namespace pe {

namespace {

constexpr std::uint32_t kDescriptorSize = 20;
constexpr std::uint32_t kByOrdinal = 0x80000000u;

struct Descriptor {
  std::uint32_t lookup_table = 0;   // names, left as they are
  std::uint32_t name = 0;
  std::uint32_t address_table = 0;  // overwritten with the addresses
};

// Binds one DLL's names; unknown ones are added to `missing`.
int BindDll(MappedImage* image, const Headers& headers, const Descriptor& d, const char* dll,
            ImportResolver resolve, std::string* missing, std::string* error) {
  const ByteView view = image->view();
  const std::uint32_t names = d.lookup_table != 0 ? d.lookup_table : d.address_table;
  for (std::uint64_t i = 0;; ++i) {
    std::uint32_t entry = 0;
    if (!view.U32(names + 4 * i, &entry)) {
      *error = std::string("the import table of ") + dll + " runs outside the image";
      return -1;
    }
    // The addresses are written over the table: it must be data that is
    // meant to be written, never code.
    const Section* table = SectionHolding(headers, d.address_table + 4 * i, 4);
    if (table == nullptr || !table->writable() || table->executable()) {
      *error = std::string("the import address table of ") + dll + " lies outside writable data";
      return -1;
    }
    if (entry == 0) return 0;
    if ((entry & kByOrdinal) != 0) {
      *error = std::string("imports ordinal ") + std::to_string(entry & 0xffff) + " from " + dll +
               ": only imports by name can be bound";
      return -1;
    }
    const char* name = view.String(std::uint64_t{entry} + 2);  // after the hint
    if (name == nullptr) {
      *error = std::string("an import name of ") + dll + " lies outside the image";
      return -1;
    }
    void* address = resolve(dll, name);
    if (address == nullptr) {
      *missing += std::string(missing->empty() ? "" : ", ") + dll + "!" + name;
      continue;
    }
    const auto value = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(address));
    if (!image->Put32(d.address_table + 4 * i, value)) {
      *error = std::string("the import address table of ") + dll + " lies outside the image";
      return -1;
    }
  }
}

}  // namespace

int BindImports(MappedImage* image, const Headers& headers, ImportResolver resolve,
                std::string* error) {
  const DataDirectory& dir = headers.directories[kImportDirectory];
  if (dir.size == 0) return 0;
  const ByteView view = image->view();
  std::string missing;
  for (std::uint64_t at = dir.rva;; at += kDescriptorSize) {
    Descriptor d;
    if (!view.U32(at, &d.lookup_table) || !view.U32(at + 12, &d.name) ||
        !view.U32(at + 16, &d.address_table)) {
      *error = "the import directory runs outside the image";
      return -1;
    }
    if (d.name == 0 && d.address_table == 0) break;
    const char* dll = view.String(d.name);
    if (dll == nullptr) {
      *error = "an imported DLL's name lies outside the image";
      return -1;
    }
    if (BindDll(image, headers, d, dll, resolve, &missing, error) != 0) return -1;
  }
  if (!missing.empty()) {
    *error = "imports with no stand-in in this host: " + missing;
    return -1;
  }
  return 0;
}

}  // namespace pe
