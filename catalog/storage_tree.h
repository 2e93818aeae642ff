// The reader's "__DIR" and "__SMDIR" replies: fixed-column listings of a
// storage's directories and files, into the tree under its root.
#pragma once

namespace pagora {

struct ReaderState;

// Replaces the tree under storage root `storage` (1 internal memory, 2 the
// card) with a fresh listing. 0, or -1 when the query failed or an entry
// could not be allocated (the entries made so far stay).
int RefreshStorageTree(ReaderState& state, int storage);

}  // namespace pagora
