// The platform table on POSIX systems: the socket substitute for the
// reader's driver, local files, and the rest of the table here (the last
// error, the UTF-8 code page, messages on standard error, the listing time).
#include <time.h>

#include <cstdio>
#include <string>

#include "platform/platform.h"
#include "platform/posix_parts.h"
#include "platform/utf8_code_page.h"

namespace pagora {

void* HeapAllocate(std::size_t size);
void HeapRelease(void* block);

namespace posix {
namespace {

std::uint32_t LastError() { return t_last_error; }

void SetError(std::uint32_t code) { t_last_error = code; }

std::uint32_t AnsiCodePage() { return kCodePageUtf8; }

int Message(const char* text, const char* caption, std::uint32_t) {
  std::fprintf(stderr, "%s: %s\n", caption, text);
  return 1;  // IDOK
}

// A message's UTF-16 as UTF-8 for standard error; a lone surrogate shows
// as U+FFFD.
std::string Utf8Text(const char16_t* text) {
  std::string out;
  Utf8Path(text, &out, 0);
  return out;
}

int MessageW(const char16_t* text, const char16_t* caption, std::uint32_t type) {
  return Message(Utf8Text(text).c_str(), Utf8Text(caption).c_str(), type);
}

// 100-ns intervals since 1601-01-01, the FILETIME epoch, 11644473600 s
// before the Unix one.
int ListingTime(std::uint32_t* low, std::uint32_t* high) {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  const auto ticks = static_cast<std::uint64_t>(now.tv_sec + 11644473600ll) * 10000000u +
                     static_cast<std::uint64_t>(now.tv_nsec / 100);
  *low = static_cast<std::uint32_t>(ticks);
  *high = static_cast<std::uint32_t>(ticks >> 32);
  return 1;
}

const Platform kPosix = {GetClassDevs, EnumDeviceInterfaces, GetInterfaceDetail,
                         DestroyDeviceInfoList, Create, IoControl, Close, Read, Write,
                         FileSize, Delete, CreateW, DeleteW, RenameW, AttributesW, Rename,
                         Attributes, LastError, SetError, AnsiCodePage,
                         Utf8MultiByteToWideChar, Utf8WideCharToMultiByte, Message, MessageW,
                         HeapAllocate, HeapRelease, ListingTime};

}  // namespace
}  // namespace posix

const Platform& NativePlatform() { return posix::kPosix; }

}  // namespace pagora
