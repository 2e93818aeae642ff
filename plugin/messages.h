// Messages to the user, in the form the host's export set takes.
#pragma once

#include <cstdint>

namespace pagora {

// Shows `text` (reader text) with `caption` (ASCII) as a message box of
// `type` and waits until it is closed. A host that came through FsInitW gets
// UTF-16, others their code page. Where the system has no message boxes of
// its own, the host's request callback shows it; without one it goes to the
// platform's fallback (standard error).
void ShowMessage(const char* text, const char* caption, std::uint32_t type);

}  // namespace pagora
