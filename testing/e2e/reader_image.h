// What the tests read from a simulator's reader image on disk: the figures
// that decide where an upload goes, and the books' bytes.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace pagora_e2e {

// The capacity of a storage ("internal" or "card") as reader.ini gives it, in bytes.
std::uint64_t CapacityBytes(const std::string& image_dir, const std::string& storage);

// The bytes the files of a storage take: its capacity minus this is the free
// memory the reader reports.
std::uint64_t UsedBytes(const std::string& image_dir, const std::string& storage);

// The path of the file `name` in a storage's "book" folder ("" when absent).
std::string BookPath(const std::string& image_dir, const std::string& storage,
                     const std::string& name);

// Every file of the image, reader.ini included: its path inside the image
// and its bytes. Two calls give the same map when nothing was changed.
std::map<std::string, std::string> ImageFiles(const std::string& image_dir);

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);

// `size` bytes of text that differ from book to book.
std::string MakeBook(std::size_t size, char seed);

}  // namespace pagora_e2e
