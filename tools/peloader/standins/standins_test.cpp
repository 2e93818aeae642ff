// The stand-ins called as the module calls them, through their stdcall (or,
// for msvcrt, cdecl) types: what the Windows documentation gives for each
// call, on the reader folder, local files and this process.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/platform.h"
#include "tools/peloader/standins/standins.h"
#include "tools/peloader/standins/test_standin.h"

namespace pe_test {
namespace {

namespace fs = std::filesystem;
using pagora::Guid;
using pagora::InterfaceData;

using Bool = std::int32_t;
using Dword = std::uint32_t;
const Guid kClass = {0x12345678, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}};

// A reader folder holding one socket that listens, as the simulator's.
class ReaderFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("pe-standins-" + std::to_string(getpid()));
    fs::create_directories(dir_);
    socket_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = (dir_ / "reader0").string();
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    ASSERT_EQ(::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(socket_, 1), 0);
    setenv("PAGORA_READER_DIR", dir_.c_str(), 1);
  }
  void TearDown() override {
    ::close(socket_);
    unsetenv("PAGORA_READER_DIR");
    fs::remove_all(dir_);
  }

  fs::path dir_;
  int socket_ = -1;
};

using GetClassDevs = void*(PE_STDCALL*)(const Guid*, const char*, void*, Dword);
using EnumInterfaces = Bool(PE_STDCALL*)(void*, void*, const Guid*, Dword, InterfaceData*);
using GetDetail = Bool(PE_STDCALL*)(void*, InterfaceData*, void*, Dword, Dword*, void*);
using DestroyList = Bool(PE_STDCALL*)(void*);

TEST_F(ReaderFolder, SetupApiEnumeratesTheReaderSockets) {
  const auto get_class_devs = StandIn<GetClassDevs>("SETUPAPI.dll", "SetupDiGetClassDevsA");
  const auto enumerate = StandIn<EnumInterfaces>("SETUPAPI.dll", "SetupDiEnumDeviceInterfaces");
  const auto destroy = StandIn<DestroyList>("SETUPAPI.dll", "SetupDiDestroyDeviceInfoList");
  void* set = pe::Call("SetupDiGetClassDevsA", get_class_devs, &kClass, nullptr, nullptr, 0x12u);
  ASSERT_NE(set, pagora::InvalidOsHandle());
  struct Case {
    const char* label;
    Dword cb_size;
    Dword index;
    Bool result;
    Dword error;
  };
  const Case cases[] = {
      {"the one reader", 28, 0, 1, 0},
      {"past the last interface", 28, 1, 0, 259},       // ERROR_NO_MORE_ITEMS
      {"a 64-bit process's record", 32, 0, 0, 1784},   // ERROR_INVALID_USER_BUFFER
  };
  for (const Case& c : cases) {
    InterfaceData data{};
    data.cb_size = c.cb_size;
    pe::SetLastErrorCode(0);
    EXPECT_EQ(pe::Call("SetupDiEnumDeviceInterfaces", enumerate, set, nullptr, &kClass, c.index, &data),
              c.result)
        << c.label;
    EXPECT_EQ(pe::LastErrorCode(), c.error) << c.label;
  }
  EXPECT_EQ(pe::Call("SetupDiDestroyDeviceInfoList", destroy, set), 1);
}

TEST_F(ReaderFolder, SetupApiDetailKeepsTheTwoCallSizeProtocol) {
  const auto get_class_devs = StandIn<GetClassDevs>("SETUPAPI.dll", "SetupDiGetClassDevsA");
  const auto enumerate = StandIn<EnumInterfaces>("SETUPAPI.dll", "SetupDiEnumDeviceInterfaces");
  const auto detail = StandIn<GetDetail>("SETUPAPI.dll", "SetupDiGetDeviceInterfaceDetailA");
  void* set = pe::Call("SetupDiGetClassDevsA", get_class_devs, &kClass, nullptr, nullptr, 0x12u);
  InterfaceData data{};
  data.cb_size = sizeof data;
  ASSERT_EQ(pe::Call("SetupDiEnumDeviceInterfaces", enumerate, set, nullptr, &kClass, 0u, &data), 1);
  const std::string path = (dir_ / "reader0").string();
  const Dword needed = static_cast<Dword>(4 + path.size() + 1);
  struct Case {
    const char* label;
    Dword size;      // the buffer size given; 0 with no buffer
    Dword cb_size;
    Bool result;
    Dword error;
  };
  const Case cases[] = {
      {"the size query", 0, 5, 0, 122},                       // ERROR_INSUFFICIENT_BUFFER
      {"one byte short", needed - 1, 5, 0, 122},
      {"cbSize of a 64-bit process", needed, 8, 0, 1784},     // ERROR_INVALID_USER_BUFFER
      {"cbSize of the whole record", needed, needed, 0, 1784},
      {"the size it asked for", needed, 5, 1, 0},
  };
  for (const Case& c : cases) {
    std::string buffer(needed + 8, '\0');
    std::memcpy(buffer.data(), &c.cb_size, 4);
    Dword required = 0;
    pe::SetLastErrorCode(0);
    const Bool result = pe::Call("SetupDiGetDeviceInterfaceDetailA", detail, set, &data,
                                 c.size == 0 ? nullptr : buffer.data(), c.size, &required, nullptr);
    EXPECT_EQ(result, c.result) << c.label;
    EXPECT_EQ(pe::LastErrorCode(), c.error) << c.label;
    EXPECT_EQ(required, needed) << c.label;
    if (result != 0) {
      EXPECT_EQ(std::string(buffer.data() + 4), path) << c.label;
    }
  }
}

TEST(StandIns, TheLastErrorBelongsToEachThread) {
  const auto set_error = StandIn<void(PE_STDCALL*)(Dword)>("KERNEL32.dll", "SetLastError");
  const auto get_error = StandIn<Dword(PE_STDCALL*)()>("KERNEL32.dll", "GetLastError");
  pe::Call("SetLastError", set_error, 5u);
  Dword seen_by_other = 99;
  std::thread other([&] {
    seen_by_other = pe::Call("GetLastError", get_error);
    pe::Call("SetLastError", set_error, 7u);
  });
  other.join();
  EXPECT_EQ(seen_by_other, 0u) << "a new thread starts with no error";
  EXPECT_EQ(pe::Call("GetLastError", get_error), 5u) << "the other thread's error stays its own";
}

TEST(StandIns, MessageBoxWritesToStandardErrorAndAnswersOk) {
  const auto box = StandIn<std::int32_t(PE_STDCALL*)(void*, const char*, const char*, Dword)>(
      "USER32.dll", "MessageBoxA");
  ::testing::internal::CaptureStderr();
  const std::int32_t answer = pe::Call("MessageBoxA", box, nullptr, "Insufficiently memory!", "Error!", 0x10u);
  const std::string shown = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(answer, 1) << "IDOK";
  EXPECT_NE(shown.find("Error!: Insufficiently memory!"), std::string::npos) << shown;
}

TEST(StandIns, FilesGoToPosix) {
  using Create = void*(PE_STDCALL*)(const char*, Dword, Dword, void*, Dword, Dword, void*);
  using Write = Bool(PE_STDCALL*)(void*, const void*, Dword, Dword*, void*);
  using Move = Bool(PE_STDCALL*)(const char*, const char*, Dword);
  const auto create = StandIn<Create>("KERNEL32.dll", "CreateFileA");
  const auto write = StandIn<Write>("KERNEL32.dll", "WriteFile");
  const auto size = StandIn<Dword(PE_STDCALL*)(void*, Dword*)>("KERNEL32.dll", "GetFileSize");
  const auto close = StandIn<Bool(PE_STDCALL*)(void*)>("KERNEL32.dll", "CloseHandle");
  const auto move = StandIn<Move>("KERNEL32.dll", "MoveFileExA");
  const auto remove = StandIn<Bool(PE_STDCALL*)(const char*)>("KERNEL32.dll", "DeleteFileA");
  const fs::path dir = fs::temp_directory_path() / ("pe-files-" + std::to_string(getpid()));
  fs::create_directories(dir);
  const std::string a = (dir / "a.rb").string(), b = (dir / "b.rb").string();
  for (const std::string& path : {a, b}) {
    void* file = pe::Call("CreateFileA", create, path.c_str(), 0x40000000u, 0u, nullptr, 2u, 0x80u, nullptr);
    ASSERT_NE(file, pagora::InvalidOsHandle()) << path;
    Dword written = 0, high = 9;
    EXPECT_EQ(pe::Call("WriteFile", write, file, path.c_str(), 5u, &written, nullptr), 1);
    EXPECT_EQ(written, 5u);
    EXPECT_EQ(pe::Call("GetFileSize", size, file, &high), 5u);
    EXPECT_EQ(high, 0u);
    EXPECT_EQ(pe::Call("CloseHandle", close, file), 1);
  }
  struct Case {
    const char* label;
    Dword flags;
    Bool result;
    Dword error;
  };
  const Case cases[] = {
      {"onto an existing file without MOVEFILE_REPLACE_EXISTING", 0, 0, 183},
      {"onto an existing file with it", 1, 1, 0},
      {"from a file that is gone", 1, 0, 2},
  };
  for (const Case& c : cases) {
    pe::SetLastErrorCode(0);
    EXPECT_EQ(pe::Call("MoveFileExA", move, a.c_str(), b.c_str(), c.flags), c.result) << c.label;
    EXPECT_EQ(pe::LastErrorCode(), c.error) << c.label;
  }
  EXPECT_EQ(pe::Call("DeleteFileA", remove, b.c_str()), 1);
  EXPECT_EQ(pe::Call("DeleteFileA", remove, b.c_str()), 0);
  EXPECT_EQ(pe::LastErrorCode(), 2u) << "ERROR_FILE_NOT_FOUND";
  fs::remove_all(dir);
}

TEST(StandIns, TlsGetValueFindsNoSlotAllocated) {
  const auto get = StandIn<void*(PE_STDCALL*)(Dword)>("KERNEL32.dll", "TlsGetValue");
  for (const Dword slot : {0u, 63u, 64u}) {
    pe::SetLastErrorCode(0);
    EXPECT_EQ(pe::Call("TlsGetValue", get, slot), nullptr) << "slot " << slot;
    EXPECT_EQ(pe::LastErrorCode(), 87u) << "slot " << slot << " was never allocated";
  }
}

TEST(StandIns, TextConversionsGiveSizesFirst) {
  using ToWide = std::int32_t(PE_STDCALL*)(Dword, Dword, const char*, std::int32_t, std::uint16_t*, std::int32_t);
  const auto to_wide = StandIn<ToWide>("KERNEL32.dll", "MultiByteToWideChar");
  struct Case {
    const char* label;
    Dword code_page;
    const char* text;
    std::int32_t units;  // with the terminator; 0 when refused
    Dword flags = 0x8;   // MB_ERR_INVALID_CHARS
  };
  const Case cases[] = {
      {"ASCII", 0, "book", 5},
      {"UTF-8 of two bytes", 65001, "caf\xc3\xa9", 5},
      {"UTF-8 beyond the basic plane", 65001, "\xf0\x9f\x93\x96", 3},
      {"UTF-8 in the ANSI code page", 0, "caf\xc3\xa9", 5},
      {"Latin-1 bytes in another code page", 1252, "caf\xe9", 5},
      {"Latin-1 bytes are no UTF-8", 0, "caf\xe9", 0},
      {"broken UTF-8", 65001, "caf\xc3", 0},
      {"broken UTF-8 unchecked: U+FFFD", 65001, "caf\xc3", 5, 0},
      {"an overlong form", 65001, "\xc0\xaf", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(pe::Call("MultiByteToWideChar", to_wide, c.code_page, c.flags, c.text, -1, nullptr, 0),
              c.units)
        << c.label;
    if (c.units == 0) continue;
    std::uint16_t wide[8] = {};
    EXPECT_EQ(pe::Call("MultiByteToWideChar", to_wide, c.code_page, c.flags, c.text, -1, wide, c.units),
              c.units)
        << c.label;
    EXPECT_EQ(pe::Call("MultiByteToWideChar", to_wide, c.code_page, c.flags, c.text, -1, wide,
                       c.units - 1),
              0)
        << c.label << ": a buffer one unit short";
    EXPECT_EQ(pe::LastErrorCode(), 122u) << c.label;
  }
}

using VFPrintF = int (*)(void*, const char*, va_list);

// Hands its arguments on as the module's own variadic functions do.
int PrintTo(VFPrintF print, void* stream, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int written = print(stream, format, args);
  va_end(args);
  return written;
}

TEST(StandIns, MsvcrtStreamsAreThisProcesssOwn) {
  auto* iob = static_cast<unsigned char*>(pe::ResolveStandIn("msvcrt.dll", "_iob"));
  const auto fputc_ = StandIn<int (*)(int, void*)>("msvcrt.dll", "fputc");
  const auto fwrite_ = StandIn<std::size_t (*)(const void*, std::size_t, std::size_t, void*)>(
      "msvcrt.dll", "fwrite");
  const auto vfprintf_ = StandIn<VFPrintF>("msvcrt.dll", "vfprintf");
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(fwrite_("to stderr", 3, 3, iob + 64), 3u) << "_iob[2] is stderr";
  EXPECT_EQ(fputc_('\n', iob + 64), '\n');
  EXPECT_EQ(PrintTo(vfprintf_, iob + 64, "%I64u %s %Iu %I32d\n", 0x100000000ull, "wide", std::size_t{7}, -3),
            21)
      << "msvcrt's size prefixes";
  EXPECT_EQ(fputc_('x', iob + 96), EOF) << "not one of the three streams";
  EXPECT_EQ(fwrite_("nowhere", 1, 7, iob + 96), 0u);
  EXPECT_EQ(PrintTo(vfprintf_, iob + 96, "%s\n", "nowhere"), -1);
  const std::string written = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(written, "to stderr\n4294967296 wide 7 -3\n");
}

TEST(StandIns, MsvcrtStringsTakeTheModulesTypes) {
  const auto wcslen_ = StandIn<std::size_t (*)(const std::uint16_t*)>("msvcrt.dll", "wcslen");
  const auto strrchr_ = StandIn<char* (*)(const char*, int)>("msvcrt.dll", "strrchr");
  const auto strcspn_ = StandIn<std::size_t (*)(const char*, const char*)>("msvcrt.dll", "strcspn");
  const std::uint16_t wide[] = {'b', 0xe9, 0xd83d, 0xdcd6, 0};
  EXPECT_EQ(wcslen_(wide), 4u) << "16-bit units, a surrogate pair counting two";
  const char* path = "\\Reader\\Books\\a.rb";
  EXPECT_EQ(strrchr_(path, '\\'), path + 13) << "the last separator";
  EXPECT_EQ(strcspn_("title=Marigold", "=;"), 5u);
  EXPECT_EQ(strcspn_("no separator", "=;"), 12u) << "the whole text when none occurs";
}

}  // namespace
}  // namespace pe_test
