// The fuzz targets' reader: the tests' fake driver, quiet and with local
// files in memory, whose answers and failures a target can take from its
// input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "testing/fake_driver.h"

namespace pagora {

// The fake, installed as the platform table on first use.
FakeDriver& FuzzReader();

// From here on every platform call takes its fate from the input: one byte
// below 16 makes it fail, and each control call's answer (length and bytes,
// which may claim more than the room) is read from the input. Once the
// input is used up every call succeeds with an empty answer.
void FuzzScript(const std::uint8_t* data, std::size_t size);

// Reads script bytes for the target's own choices; 0xFF once used up.
std::uint8_t FuzzByte();
std::string FuzzBytes(std::size_t n);

}  // namespace pagora
