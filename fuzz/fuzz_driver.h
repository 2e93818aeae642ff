// A lean platform table for the fuzz targets: the reader's answers, and the
// fate of every platform call, come from the fuzz input; local files live in
// memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace pagora {

// Serves `reply` to every query, in blocks of min(room, 4096); every other
// call succeeds. For the parser targets.
void FuzzServeReply(const std::string& name, const std::uint8_t* data, std::size_t size);

// From here on every platform call takes its fate from the input: one byte
// below 16 makes it fail, and each control call's answer (length and bytes,
// which may claim more than the room) is read from the input. Once the
// input is used up every call succeeds with an empty answer.
void FuzzScript(const std::uint8_t* data, std::size_t size);

// Reads script bytes for the target's own choices.
std::uint8_t FuzzByte();
std::string FuzzBytes(std::size_t n);

// Installs the table; local files start empty but for `name` holding `bytes`.
void FuzzInstall();
void FuzzPutLocalFile(const std::string& name, const std::string& bytes);
void FuzzClearLocalFiles();

}  // namespace pagora
