// Listening Unix-domain sockets for the reader and its control channel.
#pragma once

#include <cstdint>
#include <string>

namespace readersim {

// Binds and listens on `path`, non-blocking. A socket file left behind by a
// process that is gone is replaced; a live one, or any other file at the
// path, is a fault. Gives the descriptor, or -1 and an error text.
int ListenUnix(const std::string& path, std::string* error);

// Binds and listens on 127.0.0.1:`port`, non-blocking, the address reusable
// at once (a replug listens again where an unplug stopped). Gives the
// descriptor, or -1 and an error text.
int ListenLoopback(std::uint16_t port, std::string* error);

// Makes `dir` and its parents (new folders private to the user).
bool MakeFolder(const std::string& dir, std::string* error);

// True when `path` names an entry directly inside folder `dir`.
bool IsInsideFolder(const std::string& path, const std::string& dir);

}  // namespace readersim
