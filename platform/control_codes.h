// The reader driver's device interface and its five control codes (device
// type 0x22, METHOD_BUFFERED, FILE_ANY_ACCESS), and the block size of every
// reply and upload block: what crosses the platform seam to the driver.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace pagora {

// The reader driver's device interface class.
constexpr Guid kReaderInterfaceClass = {
    0x3BB1DF43, 0xB2D4, 0x11D3, {0xBF, 0x85, 0x00, 0x10, 0x5A, 0x0A, 0x47, 0xB3}};

constexpr std::uint32_t IOCTL_DEV_PROBE = 0x222014;
constexpr std::uint32_t IOCTL_DEV_QUERY_START = 0x222018;
constexpr std::uint32_t IOCTL_DEV_QUERY_NEXT = 0x22201C;
constexpr std::uint32_t IOCTL_DEV_UPLOAD_START = 0x222020;
constexpr std::uint32_t IOCTL_DEV_UPLOAD_NEXT = 0x222024;

constexpr std::int32_t DEV_BLOCK_SIZE = 4096;

}  // namespace pagora
