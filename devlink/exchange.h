// The block-wise exchanges with the reader: queries, downloads to a local
// file, uploads and command scripts. Every exchange opens the link first,
// and every failed control call resets the reader state.
#pragma once

#include <cstdint>

#include "platform/control_codes.h"
#include "platform/local_path.h"

namespace pagora {

struct ReaderState;

// Receives the percentage done after each block and answers non-zero to
// cancel; may be null. Only downloads honour the answer.
using ProgressFn = int (*)(std::int32_t percent);

// Reads the reply to `name` into `buffer`. `*length` holds the buffer's
// capacity on entry and, on success, the bytes received. 0 or -1.
int DevQuery(ReaderState& state, const char* name, char* buffer, std::int32_t* length);

// The largest reply read whole; past it a reply is cut at its last whole
// line, so no cut line is ever taken for a record.
constexpr std::int32_t kMaxWholeReply = 16 << 20;

// A reply read whole, NUL-terminated at its length: in the state's reply
// buffer while it fits, else in a block of its own, released with it.
class Reply {
 public:
  Reply() = default;
  ~Reply();
  Reply(const Reply&) = delete;
  Reply& operator=(const Reply&) = delete;

  char* text() const { return text_; }
  std::int32_t length() const { return length_; }
  bool cut() const { return cut_; }  // the reply went on past kMaxWholeReply

 private:
  friend int DevQueryWhole(ReaderState& state, const char* name, Reply* reply);
  char* text_ = nullptr;
  std::int32_t length_ = 0;
  bool owned_ = false;
  bool cut_ = false;
};

// Reads the whole reply to `name` into `reply`, growing its buffer in
// whole blocks as they arrive. A reply shorter than 65,536 bytes is asked
// for with the same calls as DevQuery's. 0 or -1.
int DevQueryWhole(ReaderState& state, const char* name, Reply* reply);

// Downloads the reply to `name` into `local_path`. The data goes to a
// temporary file beside it, which takes the target's place only when the
// whole reply arrived, and only if no file stands there unless `replace`
// (else the error is kErrorAlreadyExists); on failure the target is as it
// was. `expected` only scales the percentages. A cancel answered to a
// report asks for no further block, resets the link as a failed call does
// and fails with kErrorCancelled. 0 or -1; on failure `*local` (when
// given) says whether a local file call failed rather than the reader.
int DevDownload(ReaderState& state, const char* name, const LocalPath& local_path,
                std::int32_t expected, ProgressFn progress, bool replace,
                bool* local = nullptr);

// Sends `buffer` (a header of `header_len` bytes, the target name and its
// NUL, then `data_len` data bytes). 0 or -1.
int DevUpload(ReaderState& state, const char* buffer, std::int32_t data_len,
              std::int32_t header_len, ProgressFn progress);

// Sends `text` (not terminated) under the request name `name`. 0 or -1.
int DevSendCommand(ReaderState& state, const char* name, const char* text, std::int32_t length);

// Uploads the local file whole under the reader path `target`. 0 or -1.
int DevUploadFile(ReaderState& state, const char* target, const LocalPath& local_path,
                  ProgressFn progress);

// (done * 100) / total truncated towards zero, without overflow: equal to the
// 32-bit result whenever that fits, saturated to the 32-bit range otherwise.
std::int32_t Percent(std::int64_t done, std::int64_t total);

}  // namespace pagora
