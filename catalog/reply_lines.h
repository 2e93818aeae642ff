// Splitting a reply into lines in place.
#pragma once

#include <cstring>

namespace pagora {

// Calls `on_line(line, ended_by_newline)` for each line of the
// NUL-terminated reply in `text`, writing a terminator over each "\n". A NUL
// ends the reply.
template <typename OnLine>
void ForEachLine(char* text, OnLine on_line) {
  char* line = text;
  while (*line != '\0') {
    char* next = std::strchr(line, '\n');
    const bool newline = next != nullptr;
    if (newline) {
      *next++ = '\0';
    } else {
      next = line + std::strlen(line);
    }
    on_line(line, newline);
    line = next;
  }
}

}  // namespace pagora
