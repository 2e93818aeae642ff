// Listening Unix-domain sockets for the reader and its control channel.
#pragma once

#include <string>

namespace readersim {

// Binds and listens on `path`, non-blocking. A socket file left behind by a
// process that is gone is replaced; a live one, or any other file at the
// path, is a fault. Gives the descriptor, or -1 and an error text.
int ListenUnix(const std::string& path, std::string* error);

// Makes `dir` and its parents (new folders private to the user).
bool MakeFolder(const std::string& dir, std::string* error);

// True when `path` names an entry directly inside folder `dir`.
bool IsInsideFolder(const std::string& path, const std::string& dir);

}  // namespace readersim
