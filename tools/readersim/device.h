// The reader's side of the control calls: what it answers to each code, the
// reply that is being read block by block, and the upload under way.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "image_writer.h"
#include "reader_model.h"

namespace readersim {

struct Answer {
  bool ok = true;
  std::uint32_t error = 0;  // Windows error code of a failure
  std::string out;          // never longer than the caller's room
  std::string note;         // what happened, for the log
  std::string warning;      // a write-back problem the operator must see
};

class Device {
 public:
  // `writer` may be null: changes then stay in memory.
  explicit Device(Reader reader, ImageWriter* writer = nullptr);

  Answer Call(std::uint32_t code, std::string_view input, std::uint32_t room);
  // The connection ended: a reply being read and an unfinished upload go.
  void Disconnect();
  // The next `count` calls fail with `error` and do nothing else.
  void FailNext(std::uint32_t count, std::uint32_t error);

  const Reader& reader() const { return reader_; }

 private:
  struct PendingReply {
    std::string bytes;
    std::size_t offset = 0;
  };
  struct PendingUpload {
    std::string target;
    std::string data;
    std::size_t offset = 0;  // of the next continuation byte
  };

  Answer Probe(std::uint32_t room) const;
  Answer QueryStart(std::string_view input, std::uint32_t room);
  Answer NextBlock(std::uint32_t room);
  Answer UploadStart(std::string_view input);
  Answer UploadNext(std::string_view input);
  std::optional<std::string> BuildReply(const std::string& name) const;
  Answer CheckTarget(const std::string& target, std::size_t size) const;
  Answer Commit(PendingUpload upload);
  Answer StoreBook(const Location& where, std::string data);
  Answer RunScript(std::string_view text);
  std::string DeleteTitle(const std::string& reader_path, std::string* warning);

  Reader reader_;
  ImageWriter* writer_;
  std::optional<PendingReply> reply_;
  std::optional<PendingUpload> upload_;
  std::uint32_t fail_count_ = 0;
  std::uint32_t fail_error_ = 0;
};

}  // namespace readersim
