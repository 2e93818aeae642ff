// Reader replies as large as the plugin reads them, built to an exact size:
// a "__DIR" listing of book files, a "__TITLES" reply naming those files and
// a "__STATUS" reply of key/value lines.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace pagora {

constexpr std::size_t kFullReply = 65536;

// How many bytes of padding each of `count` lines takes so that `base` bytes
// of unpadded text grow to exactly `bytes`: the same for every line, the
// remainder one byte each on the first lines. Empty when `base` is already
// larger or there are no lines.
std::vector<std::size_t> SpreadPadding(std::size_t base, std::size_t bytes, int count);

// Long names of `count` book files whose lines in BookDirReply make that
// reply exactly `bytes` long (shorter when a name would pass 127 characters).
std::vector<std::string> BookNames(int count, std::size_t bytes = kFullReply);

// A "__DIR" reply: the two header lines, the directory "book", then one '+'
// line per name, each a book file (extension RB).
std::string BookDirReply(const std::vector<std::string>& names);

// A "__TITLES" reply: a TITLECOUNT line, then one title line for each of the
// first `count` names, whose filename is "\book\" and the name. The titles
// are padded so the reply is exactly `bytes` long.
std::string TitlesReply(const std::vector<std::string>& names, int count,
                        std::size_t bytes = kFullReply);

// A "__STATUS" reply: the reader's own keys, then `count` further key lines
// with two quoted values, padded to exactly `bytes`.
std::string StatusReply(int count, std::size_t bytes = kFullReply);

}  // namespace pagora
