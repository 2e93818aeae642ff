// The image's texts on disk and the reader's own texts.
//
// An image is edited on the host, so its file and folder names and
// reader.ini are UTF-8. The reader stores and sends Windows-1252, and so
// does the simulator's model of it (reader_model.h): names and texts cross
// between the two only here, when the image is loaded or written, through
// the plugin's one conversion (plugin/reader_text.h).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace readersim {

// UTF-8 to reader text; nothing when the text is no UTF-8 or holds a
// character Windows-1252 lacks. NUL bytes are kept as they are.
std::optional<std::string> DiskToReader(std::string_view disk);

// Reader text to UTF-8: every reader byte has a character, so this always
// succeeds.
std::string ReaderToDisk(std::string_view reader);

// A text of lines (reader.ini) to reader text: the number of the first line
// that cannot be converted, or 0 when `reader` holds the whole text.
int DiskLinesToReader(std::string_view disk, std::string* reader);

}  // namespace readersim
