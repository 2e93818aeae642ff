// What the plugin asks this host to show: message boxes through the request
// callback, and any text from the plugin made safe for a terminal.
#pragma once

#include <cstdio>
#include <string>

#include "plugin/fs_api.h"

namespace pagora_cli {

// `text` with each control character (C0, DEL and, in UTF-8, C1) shown as
// '?', so a reply cannot steer the terminal; line feeds stay when
// `keep_lines`.
std::string Printable(const std::string& text, bool keep_lines = false);

// Makes HostRequest's message boxes go to `out` (nullptr: standard error).
void SetMessageStream(std::FILE* out);

// The request callback handed to FsInit. A message box (RT_MsgOK) becomes
// the line "title: text" on the message stream and answers TRUE, as its OK
// button would; other requests are not offered and answer FALSE.
BOOL WFX_CALL HostRequest(int plugin_nr, int request_type, char* custom_title, char* custom_text,
                          char* returned_text, int maxlen);

}  // namespace pagora_cli
