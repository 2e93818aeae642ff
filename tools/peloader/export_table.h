// Looks up a mapped image's exports by name and by ordinal.
#pragma once

#include <cstdint>
#include <string>

#include "tools/peloader/byte_view.h"
#include "tools/peloader/pe_headers.h"

namespace pe {

// The address of export `name`, or nullptr when the image has no such
// export, or only a forwarder to another DLL, or a table outside the image.
void* FindExport(unsigned char* base, const ByteView& image, const Headers& headers,
                 const char* name);

// Every exported function lies in executable code (forwarders aside).
// Returns 0, or -1 with `error` naming the export.
int CheckExports(const ByteView& image, const Headers& headers, std::string* error);

// The same by ordinal (the number the export table gives, base included).
void* FindExport(unsigned char* base, const ByteView& image, const Headers& headers,
                 std::uint32_t ordinal);

}  // namespace pe
