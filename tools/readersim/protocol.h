// Numbers of the reader's socket protocol (docs/device-socket.md) and the
// Windows error codes the simulated reader answers with.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/windows_errors.h"

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

// The Windows error codes the driver answers with.
using namespace pagora::windows_errors;  // NOLINT(google-build-using-namespace)

// A short name for a control code, for logs.
const char* CodeName(std::uint32_t code);

}  // namespace readersim
