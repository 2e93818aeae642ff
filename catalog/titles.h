// The reader's "__TITLES" reply: one TitleRecord per title line.
#pragma once

#include <cstdint>

#include "state/records.h"

namespace pagora {

struct ReaderState;

// Fills `record` from a title line (NUL-terminated, no "\n"; written into).
// A malformed attribute ends the parse and keeps what came before it.
TitleRecord* ParseTitleLine(TitleRecord* record, char* line);

// Asks the reader for "__TITLES" and rebuilds the title list; key/value lines
// update the status values. 0, or -1 when the query failed.
int RefreshTitles(ReaderState& state);

}  // namespace pagora
