// The one list of the Windows error codes this tree names: what the plugin
// sets and tells apart, what the POSIX substitutes and the tests' fake
// report in their place, what the simulated driver answers, and what the PE
// loader's stand-ins set. Each value is Windows' own.
#pragma once

#include <cstdint>

namespace pagora::windows_errors {

constexpr std::uint32_t kErrorInvalidFunction = 1;
constexpr std::uint32_t kErrorFileNotFound = 2;
constexpr std::uint32_t kErrorPathNotFound = 3;
constexpr std::uint32_t kErrorTooManyOpenFiles = 4;
constexpr std::uint32_t kErrorAccessDenied = 5;
constexpr std::uint32_t kErrorInvalidHandle = 6;
constexpr std::uint32_t kErrorNotEnoughMemory = 8;
constexpr std::uint32_t kErrorInvalidData = 13;
constexpr std::uint32_t kErrorWriteProtect = 19;  // a read-only medium
constexpr std::uint32_t kErrorNotReady = 21;
constexpr std::uint32_t kErrorCrc = 23;
constexpr std::uint32_t kErrorWriteFault = 29;
constexpr std::uint32_t kErrorGenFailure = 31;
constexpr std::uint32_t kErrorHandleEof = 38;  // the reader or a file gave no (more) data
constexpr std::uint32_t kErrorHandleDiskFull = 39;
constexpr std::uint32_t kErrorNotSupported = 50;
constexpr std::uint32_t kErrorFileExists = 80;
constexpr std::uint32_t kErrorInvalidParameter = 87;
constexpr std::uint32_t kErrorDiskFull = 112;
constexpr std::uint32_t kErrorCallNotImplemented = 120;
constexpr std::uint32_t kErrorInsufficientBuffer = 122;
constexpr std::uint32_t kErrorInvalidName = 123;
constexpr std::uint32_t kErrorModNotFound = 126;
constexpr std::uint32_t kErrorProcNotFound = 127;
constexpr std::uint32_t kErrorAlreadyExists = 183;  // a move without replace found its target
constexpr std::uint32_t kErrorFileTooLarge = 223;
constexpr std::uint32_t kErrorNoMoreItems = 259;
constexpr std::uint32_t kErrorInvalidFlags = 1004;
constexpr std::uint32_t kErrorNoUnicodeTranslation = 1113;
constexpr std::uint32_t kErrorIoDevice = 1117;
constexpr std::uint32_t kErrorDeviceNotConnected = 1167;
constexpr std::uint32_t kErrorCancelled = 1223;  // the user cancelled the operation
constexpr std::uint32_t kErrorInvalidUserBuffer = 1784;

}  // namespace pagora::windows_errors

namespace pagora {
using namespace windows_errors;  // NOLINT(google-build-using-namespace): the codes read as Windows'
}  // namespace pagora
