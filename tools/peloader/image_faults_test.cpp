// Faulty images, each made from the shipped DLL by one change, are refused
// with a message naming the fault, and nothing of them runs: every one has
// its entry point overwritten with an instruction that would stop the test
// process if it were ever executed.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tools/peloader/pe_module.h"
#include "tools/peloader/standins/standins.h"
#include "tools/peloader/test_image.h"

namespace pe_test {
namespace {

constexpr unsigned char kHalt = 0xf4;  // privileged: a user process that runs it is stopped

struct Fault {
  const char* label;
  std::function<void(Bytes*, const Layout&)> change;
  const char* message;
};

const Fault kFaults[] = {
    {"an empty file", [](Bytes* f, const Layout&) { f->clear(); },
     "not a PE image: no MZ signature"},
    {"a text file", [](Bytes* f, const Layout&) { *f = Bytes(200, 'x'); },
     "not a PE image: no MZ signature"},
    {"cut inside the DOS header", [](Bytes* f, const Layout&) { f->resize(0x30); },
     "truncated: the DOS header is incomplete"},
    {"a PE header beyond the end", [](Bytes* f, const Layout&) { Put32(f, 0x3c, 0x7ffffff0); },
     "truncated: the PE header at 0x7ffffff0 lies beyond the end of the file"},
    {"no PE signature", [](Bytes* f, const Layout& l) { (*f)[l.coff - 4] = 'X'; },
     "not a PE image: no PE signature"},
    {"a 64-bit image", [](Bytes* f, const Layout& l) { Put16(f, l.optional, 0x20b); },
     "not a PE32 image: it is PE32+ (64-bit)"},
    {"another machine", [](Bytes* f, const Layout& l) { Put16(f, l.coff, 0x8664); },
     "not a 32-bit x86 image: machine 0x8664"},
    {"a program, not a DLL", [](Bytes* f, const Layout& l) { (*f)[l.coff + 19] &= 0xdf; },
     "not a DLL"},
    {"cut in half", [](Bytes* f, const Layout&) { f->resize(f->size() / 2); }, "truncated: section"},
    {"a section outside the image",
     [](Bytes* f, const Layout& l) { Put32(f, l.sections + 12, l.headers.image_size); },
     "section .text lies outside the image"},
    {"the import directory outside the image",
     [](Bytes* f, const Layout& l) { Put32(f, l.optional + 96 + 8, l.headers.image_size - 8); },
     "data directory 1 lies outside the image"},
    {"a relocation outside the image",
     [](Bytes* f, const Layout& l) { Put32(f, l.relocations, 0x7fff0000); },
     "points outside the image"},
    {"a relocation block overrunning its directory",
     [](Bytes* f, const Layout& l) { Put32(f, l.relocations + 4, 0x7ffffff0); },
     "runs outside its directory"},
    {"a relocation type of another machine",
     [](Bytes* f, const Layout& l) { (*f)[l.relocations + 9] = static_cast<unsigned char>(0xa0 | ((*f)[l.relocations + 9] & 0x0f)); },
     "relocation type 10 is not one of a PE32 image"},
    {"an imported DLL's name outside the image",
     [](Bytes* f, const Layout& l) { Put32(f, l.imports + 12, 0x7fffffff); },
     "an imported DLL's name lies outside the image"},
    {"an import table outside the image",
     [](Bytes* f, const Layout& l) { Put32(f, l.imports, 0x7ffffff0); },
     "the import table of KERNEL32.dll runs outside the image"},
    {"an import by ordinal",
     [](Bytes* f, const Layout& l) { Put32(f, FileOffset(l.headers, Get32(*f, l.imports)), 0x80000005u); },
     "imports ordinal 5 from KERNEL32.dll: only imports by name can be bound"},
    {"an import with no stand-in",
     [](Bytes* f, const Layout& l) { (*f)[ImportNameOffset(*f, l, "Sleep") + 4] = 'q'; },
     "imports with no stand-in in this host: KERNEL32.dll!Sleeq"},
    {"two imports with no stand-in, both named",
     [](Bytes* f, const Layout& l) {
       (*f)[ImportNameOffset(*f, l, "Sleep") + 4] = 'q';
       (*f)[ImportNameOffset(*f, l, "MessageBoxA") + 10] = 'X';
     },
     "KERNEL32.dll!Sleeq, USER32.dll!MessageBoxX"},
    {"a section alignment of 0", [](Bytes* f, const Layout& l) { Put32(f, l.optional + 32, 0); },
     "section alignment 0x0 is not a power of two"},
    {"a section alignment of 3", [](Bytes* f, const Layout& l) { Put32(f, l.optional + 32, 3); },
     "section alignment 0x3 is not a power of two"},
    {"a misaligned section",
     [](Bytes* f, const Layout& l) { Put32(f, l.sections + 40 + 12, Get32(*f, l.sections + 40 + 12) + 8); },
     "is not aligned to 0x1000"},
    {"overlapping sections",
     [](Bytes* f, const Layout& l) { Put32(f, l.sections + 40 + 12, Get32(*f, l.sections + 12)); },
     "sections .text and .data overlap"},
    {"the entry point in data",
     [](Bytes* f, const Layout& l) { Put32(f, l.optional + 16, Get32(*f, l.sections + 40 + 12)); },
     "the entry point lies outside executable code"},
    {"an export in data",
     [](Bytes* f, const Layout& l) {
       const std::uint32_t exports = FileOffset(l.headers, l.headers.directories[0].rva);
       const std::uint32_t table = FileOffset(l.headers, Get32(*f, exports + 28));
       Put32(f, table, Get32(*f, l.sections + 40 + 12));
     },
     "lies outside executable code"},
    {"import thunks inside code",
     [](Bytes* f, const Layout& l) { Put32(f, l.imports + 16, Get32(*f, l.sections + 12)); },
     "lies outside writable data"},
    {"TLS callbacks outside the image",
     [](Bytes* f, const Layout& l) { Put32(f, l.tls + 12, Get32(*f, l.tls + 12) + 0x10000000u); },
     "the TLS callback list runs outside the image"},
};

TEST(ImageFaults, EachIsRefusedByNameBeforeAnythingRuns) {
  const Bytes good = GoodImage();
  ASSERT_FALSE(good.empty()) << "build the win32 preset first: " << PAGORA_WIN32_MODULE;
  const Layout layout = LayoutOf(good);
  ASSERT_NE(layout.entry, 0u);
  for (const Fault& fault : kFaults) {
    Bytes file = good;
    file[layout.entry] = kHalt;
    fault.change(&file, layout);
    pe::PeModule module;
    std::string error;
    EXPECT_EQ(module.Load(file, "faulty.wfx", pe::ResolveStandIn, &error), -1) << fault.label;
    EXPECT_NE(error.find(fault.message), std::string::npos) << fault.label << ": " << error;
    EXPECT_FALSE(module.loaded()) << fault.label;
    EXPECT_EQ(module.base(), nullptr) << fault.label << ": unmapped again";
  }
}

}  // namespace
}  // namespace pe_test
