// The reader served when no image is named: a few books in internal memory,
// one on the card, a settings file and a note, with generated text of fixed
// sizes so that every run sees the same bytes.
#pragma once

#include <cstddef>
#include <string>

#include "reader_model.h"

namespace readersim {

Reader DemoReader();

// Readable filler text of exactly `size` bytes, the same for the same seed.
std::string GeneratedText(const std::string& heading, std::size_t size, unsigned seed);

}  // namespace readersim
