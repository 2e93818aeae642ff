// The reader's "__STATUS" reply: key/value lines into StatusRecords and the
// status values of the reader state.
#pragma once

#include "state/records.h"

namespace pagora {

struct ReaderState;

// Splits `line` (NUL-terminated, no "\n"; written into) into a key and up to
// four quoted values. Gives `record`.
StatusRecord* ParseStatusLine(StatusRecord* record, char* line);

// Stores the value of `record` into the status field its key names. With
// `keep` clear the record is about to be freed, so no text reference into it
// is taken (and "TITLECOUNT", which only the title reply carries, is stored).
void StoreStatusValue(ReaderState& state, StatusRecord* record, bool keep);

// Asks the reader for "__STATUS" and rebuilds the status list and values.
// 0, or -1 when the query failed.
int RefreshStatus(ReaderState& state);

}  // namespace pagora
