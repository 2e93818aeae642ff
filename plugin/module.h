// The module's one reader state, made when the module is loaded and
// destroyed when it is unloaded.
#pragma once

namespace pagora {

struct ReaderState;

ReaderState& Reader();

}  // namespace pagora
