// The titles of the simulator's built-in demo reader, as every host that
// runs a session against it sees them.
#pragma once

#include <cstdint>

namespace pagora_e2e {

// One title of the demo image: its listed name, its storage and file.
struct DemoTitle {
  const char* entry;
  const char* storage;
  const char* file;
  std::uint64_t size;
};

// The demo reader's titles in listing order (the reverse of the reader's).
inline constexpr DemoTitle kDemoTitles[5] = {
    {"Voyage of the Marigold [Silas Penhallow].rb", "card", "Voyage of the Marigold.rb", 41250},
    {"The Salt Road [Amos Kettleby].rb", "internal", "The Salt Road.rb", 97213},
    {"The Clockmaker's Apprentice [Eleanor Thistlewood].rb", "internal",
     "The Clockmaker's Apprentice.rb", 23417},
    {"Letters from the Fen [Josiah Brandwell].rb", "internal", "Letters from the Fen.rb", 4096},
    {"A Winter in Vellmark [Harriet Quillon].rb", "internal", "A Winter in Vellmark.rb", 65536},
};

}  // namespace pagora_e2e
