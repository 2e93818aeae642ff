// The shipped DLL loaded whole: its exports by name and by ordinal, a second
// copy moved by its relocations, and the module calls that find it again.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tools/peloader/pe_module.h"
#include "tools/peloader/standins/standins.h"
#include "tools/peloader/test_image.h"

namespace pe_test {
namespace {

using RootName = void(PE_STDCALL*)(char*, int);
using GetModule = void*(PE_STDCALL*)(const char*);
using GetProc = void*(PE_STDCALL*)(void*, const char*);

template <typename Fn>
Fn As(void* address) {
  Fn function = nullptr;
  std::memcpy(&function, &address, sizeof address);
  return function;
}

class LoadedModule : public ::testing::Test {
 protected:
  void SetUp() override {
    file_ = GoodImage();
    ASSERT_FALSE(file_.empty()) << "build the win32 preset first: " << PAGORA_WIN32_MODULE;
    std::string error;
    ASSERT_EQ(module_.Load(file_, "pagora.wfx", pe::ResolveStandIn, &error), 0) << error;
  }

  std::string RootNameOf(const pe::PeModule& module) {
    char name[64] = {};
    pe::Call("FsGetDefRootName", As<RootName>(module.Export("FsGetDefRootName")), name,
             static_cast<int>(sizeof name));
    return name;
  }

  Bytes file_;
  pe::PeModule module_;
};

// The exports the module definition file gives the DLL: "Name = Name@N @ordinal".
std::vector<std::pair<std::string, std::uint32_t>> DefinedExports() {
  std::vector<std::pair<std::string, std::uint32_t>> exports;
  std::ifstream def(PAGORA_MODULE_DEF);
  for (std::string line; std::getline(def, line);) {
    std::istringstream words(line);
    std::string name, equals, symbol, ordinal;
    if (words >> name >> equals >> symbol >> ordinal && equals == "=" && ordinal[0] == '@') {
      exports.emplace_back(name, static_cast<std::uint32_t>(std::stoul(ordinal.substr(1))));
    }
  }
  return exports;
}

TEST_F(LoadedModule, ExportsByNameAndByOrdinal) {
  const auto exports = DefinedExports();
  ASSERT_GE(exports.size(), 9u) << PAGORA_MODULE_DEF;
  for (const auto& [name, ordinal] : exports) {
    void* by_name = module_.Export(name.c_str());
    EXPECT_NE(by_name, nullptr) << name;
    EXPECT_EQ(module_.Export(ordinal), by_name) << name << " is ordinal " << ordinal;
  }
  EXPECT_EQ(module_.Export(static_cast<std::uint32_t>(exports.size() + 1)), nullptr)
      << "no ordinal past the last";
  EXPECT_EQ(module_.Export(0u), nullptr) << "ordinals start at 1";
  EXPECT_EQ(module_.Export("FsInit@16"), nullptr) << "no decorated names";
  EXPECT_EQ(RootNameOf(module_), "Pagora eBook");
}

TEST_F(LoadedModule, ASecondCopyIsRelocatedAndWorks) {
  pe::PeModule second;
  std::string error;
  ASSERT_EQ(second.Load(file_, "second.wfx", pe::ResolveStandIn, &error), 0) << error;
  EXPECT_NE(second.base(), module_.base()) << "both copies are mapped at once";
  EXPECT_EQ(RootNameOf(second), "Pagora eBook");
  EXPECT_EQ(RootNameOf(module_), "Pagora eBook");
}

TEST_F(LoadedModule, ThreadsStartedAfterItWentStillCallIn) {
  // A thread's block copies the module's TLS data: once the module is gone,
  // nothing is copied from where it was.
  module_.Unload();
  const auto get_error = As<std::uint32_t(PE_STDCALL*)()>(pe::ResolveStandIn("KERNEL32.dll", "GetLastError"));
  std::uint32_t seen = 99;
  std::thread later([&] { seen = pe::Call("GetLastError", get_error); });
  later.join();
  EXPECT_EQ(seen, 0u);
}

TEST_F(LoadedModule, ModuleCallsFindItAndTheStandIns) {
  const auto get_module = As<GetModule>(pe::ResolveStandIn("KERNEL32.dll", "GetModuleHandleA"));
  const auto get_proc = As<GetProc>(pe::ResolveStandIn("KERNEL32.dll", "GetProcAddress"));
  void* self = pe::Call("GetModuleHandleA", get_module, "PAGORA.WFX");
  EXPECT_EQ(self, module_.base());
  EXPECT_EQ(pe::Call("GetProcAddress", get_proc, self, "FsInit"), module_.Export("FsInit"));
  EXPECT_EQ(pe::Call("GetProcAddress", get_proc, self, reinterpret_cast<const char*>(1)),
            module_.Export(1u))
      << "by ordinal";
  EXPECT_NE(module_.Export(1u), nullptr);
  void* kernel32 = pe::Call("GetModuleHandleA", get_module, "kernel32");
  ASSERT_NE(kernel32, nullptr);
  EXPECT_EQ(pe::Call("GetProcAddress", get_proc, kernel32, "Sleep"),
            pe::ResolveStandIn("kernel32.dll", "Sleep"));
  EXPECT_EQ(pe::Call("GetProcAddress", get_proc, kernel32, "CreateThread"), nullptr);
  EXPECT_EQ(pe::LastErrorCode(), pe::kErrorProcNotFound);
  EXPECT_EQ(pe::Call("GetModuleHandleA", get_module, "libgcc_s_dw2-1.dll"), nullptr);
  EXPECT_EQ(pe::LastErrorCode(), pe::kErrorModNotFound);
  // Its image is one committed region, as the runtime's relocation code asks.
  const auto query = As<std::uint32_t(PE_STDCALL*)(const void*, std::uint32_t*, std::uint32_t)>(
      pe::ResolveStandIn("KERNEL32.dll", "VirtualQuery"));
  std::uint32_t info[7] = {};
  EXPECT_EQ(pe::Call("VirtualQuery", query, module_.base() + 0x1234, info, 28u), 28u);
  EXPECT_EQ(info[0], pe::ToWord(module_.base() + 0x1000)) << "its page";
  EXPECT_EQ(info[1], pe::ToWord(module_.base())) << "the allocation is the image";
  EXPECT_EQ(info[4], 0x1000u) << "MEM_COMMIT";
}

}  // namespace
}  // namespace pe_test
