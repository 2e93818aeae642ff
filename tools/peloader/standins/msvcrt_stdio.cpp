// msvcrt's standard streams: `_iob`, the array of its three FILE records
// (32 bytes each on 32-bit Windows), is data the module takes addresses in;
// the output functions map those addresses to this process's streams and
// msvcrt's size prefixes (I64, I32, I) to the C library's.
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/peloader/standins/standins.h"

namespace pe {

namespace {

constexpr std::size_t kFileRecordSize = 32;
unsigned char g_iob[3 * kFileRecordSize];

std::FILE* HostStream(void* stream) {
  const auto* record = static_cast<unsigned char*>(stream);
  if (record == g_iob) return stdin;
  if (record == g_iob + kFileRecordSize) return stdout;
  if (record == g_iob + 2 * kFileRecordSize) return stderr;
  errno = EBADF;
  return nullptr;
}

std::string HostFormat(const char* format) {
  std::string out;
  for (const char* p = format; *p != '\0';) {
    if (*p != '%') {
      out.push_back(*p++);
      continue;
    }
    out.push_back(*p++);
    while (*p != '\0' && std::strchr("-+ #0123456789.*", *p) != nullptr) out.push_back(*p++);
    if (std::strncmp(p, "I64", 3) == 0) {
      out += "ll";
      p += 3;
    } else if (std::strncmp(p, "I32", 3) == 0) {
      p += 3;
    } else if (*p == 'I') {
      out.push_back('z');
      ++p;
    }
    if (*p != '\0') out.push_back(*p++);
  }
  return out;
}

int PE_CDECL VFPrintF(void* stream, const char* format, va_list args) {
  std::FILE* host = HostStream(stream);
  return host != nullptr ? std::vfprintf(host, HostFormat(format).c_str(), args) : -1;
}

int PE_CDECL FPutC(int c, void* stream) {
  std::FILE* host = HostStream(stream);
  return host != nullptr ? std::fputc(c, host) : EOF;
}

std::size_t PE_CDECL FWrite(const void* data, std::size_t size, std::size_t count, void* stream) {
  std::FILE* host = HostStream(stream);
  return host != nullptr ? std::fwrite(data, size, count, host) : 0;
}

const StandIn kEntries[] = {
    {"_iob", g_iob},
    {"vfprintf", Entry(&VFPrintF)},
    {"fputc", Entry(&FPutC)},
    {"fwrite", Entry(&FWrite)},
};

}  // namespace

extern const StandInList kMsvcrtStdio = ListOf(kEntries);

}  // namespace pe
