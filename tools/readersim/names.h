// File names and paths as the reader knows them.
//
// A device path is what requests and uploads name: "\book\x.rb" for internal
// memory, "\SM\book\x.rb" for the card, "\x" for a top-level file. A reader
// path is the same without the leading backslash, as delete scripts name it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "reader_model.h"

namespace readersim {

// A long name the reader accepts: 1 to 127 bytes, no control characters,
// none of \ / : * ? " < > |, not starting with a dot or blank, not ending in
// a dot or blank. Leading dots are refused so that hidden files in an image
// folder (and the simulator's own temporary files) are never files of the
// reader.
bool IsValidName(std::string_view name);

std::optional<Location> ParseDevicePath(std::string_view path);
std::optional<Location> ParseReaderPath(std::string_view path);
std::string DevicePath(const Location& where);
std::string ReaderPath(const Location& where);

// Folder "book" and extension ".rb" (any case): the files that are titles.
bool IsTitleLocation(const Location& where);

// "Title [Author].rb" gives title and author; any other name gives the name
// without its extension as the title and no author.
TitleInfo TitleFromName(std::string_view name);

}  // namespace readersim
