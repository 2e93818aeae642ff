// The host's content functions: the title details as columns.
#pragma once

namespace pagora {

struct ReaderState;

// How texts are written into the host's value buffer: as 8-bit text (the
// ANSI export) or as UTF-16 (the Unicode one).
enum class TextForm { kEightBit, kUtf16 };

// The field `index`: its name into `name` and "" into `units`, each cut to
// `maxlen` bytes with its NUL, and its field type; ft_nomorefields past the
// last field, ft_nosuchfield below the first or without room for a name.
int SupportedField(int index, char* name, char* units, int maxlen);

// The value of field `index` of the title `reader_name` stands for (reader
// text), from the last listing's catalog, written into `value` of `maxlen`
// bytes; gives its field type. ft_nosuchfield for an unknown field or a
// buffer that cannot hold the value, ft_fileerror for a name that finds no
// title, ft_fieldempty for a text the reader left empty. A text too long
// for the buffer is cut, with its NUL, at the buffer's end.
int ContentValue(ReaderState& state, const char* reader_name, int index, void* value,
                 int maxlen, TextForm form);

}  // namespace pagora
