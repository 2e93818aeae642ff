// Numbers of the reader's socket protocol (docs/device-socket.md) and the
// Windows error codes the simulated reader answers with.
#pragma once

#include <cstddef>
#include <cstdint>

namespace readersim {

constexpr std::uint32_t kCodeProbe = 0x222014;
constexpr std::uint32_t kCodeQueryStart = 0x222018;
constexpr std::uint32_t kCodeQueryNext = 0x22201C;
constexpr std::uint32_t kCodeUploadStart = 0x222020;
constexpr std::uint32_t kCodeUploadNext = 0x222024;

constexpr std::size_t kBlockSize = 4096;
constexpr std::size_t kProbeReplyMax = 50;

// The largest file the reader takes in one upload, and the longest target
// name in front of it. A frame whose input exceeds both together is refused
// before anything is allocated for it.
constexpr std::size_t kMaxUploadData = 64u * 1024u * 1024u;
constexpr std::size_t kMaxTargetName = 1024;
constexpr std::size_t kMaxFrameInput = kMaxUploadData + kMaxTargetName + 1;

// Every path the reader hands out must fit the 127 characters the plugin
// keeps for a title's filename and a long name.
constexpr std::size_t kMaxPathLength = 127;

constexpr std::uint32_t kErrorInvalidFunction = 1;
constexpr std::uint32_t kErrorInvalidData = 13;
constexpr std::uint32_t kErrorNotReady = 21;
constexpr std::uint32_t kErrorCrc = 23;
constexpr std::uint32_t kErrorWriteFault = 29;
constexpr std::uint32_t kErrorGenFailure = 31;
constexpr std::uint32_t kErrorInvalidParameter = 87;
constexpr std::uint32_t kErrorDiskFull = 112;
constexpr std::uint32_t kErrorInvalidName = 123;

// A short name for a control code, for logs.
const char* CodeName(std::uint32_t code);

}  // namespace readersim
