#include "device.h"

#include <algorithm>
#include <cstring>

#include "command_script.h"
#include "names.h"
#include "protocol.h"
#include "replies.h"

namespace readersim {

namespace {

constexpr char kScriptTarget[] = "__WHATYOUWANT";

Answer Fail(std::uint32_t error, std::string note) {
  Answer answer;
  answer.ok = false;
  answer.error = error;
  answer.note = std::move(note);
  return answer;
}

Answer Done(std::string note) {
  Answer answer;
  answer.note = std::move(note);
  return answer;
}

std::string_view UpToNul(std::string_view text) {
  return text.substr(0, std::min(text.find('\0'), text.size()));
}

}  // namespace

Device::Device(Reader reader, ImageWriter* writer) : reader_(std::move(reader)), writer_(writer) {}

Answer Device::Call(std::uint32_t code, std::string_view input, std::uint32_t room) {
  if (fail_count_ > 0) {
    --fail_count_;
    return Fail(fail_error_, "failure on request");
  }
  switch (code) {
    case kCodeProbe:
      return Probe(room);
    case kCodeQueryStart:
      return QueryStart(input, room);
    case kCodeQueryNext:
      return NextBlock(room);
    case kCodeUploadStart:
      return UploadStart(input);
    case kCodeUploadNext:
      return UploadNext(input);
    default:
      return Fail(kErrorInvalidFunction, "unknown control code");
  }
}

void Device::Disconnect() {
  reply_.reset();
  upload_.reset();
}

void Device::FailNext(std::uint32_t count, std::uint32_t error) {
  fail_count_ = count;
  fail_error_ = error;
}

Answer Device::Probe(std::uint32_t room) const {
  std::string id = "PAGORA EBOOK READER " + reader_.settings.version;
  id.resize(std::min<std::size_t>({id.size(), kProbeReplyMax, room}));
  Answer answer = Done("");
  answer.out = id;
  return answer;
}

Answer Device::QueryStart(std::string_view input, std::uint32_t room) {
  upload_.reset();
  std::string name(UpToNul(input));
  std::optional<std::string> reply = BuildReply(name);
  if (!reply) {
    reply_.reset();
    return Done("\"" + name + "\": nothing by that name, empty reply");
  }
  reply_ = PendingReply{std::move(*reply), 0};
  Answer answer = NextBlock(room);
  answer.note = "\"" + name + "\" " + answer.note;
  return answer;
}

Answer Device::NextBlock(std::uint32_t room) {
  if (!reply_) return Done("no reply pending, empty block");
  std::size_t left = reply_->bytes.size() - reply_->offset;
  std::size_t length = std::min<std::size_t>({room, kBlockSize, left});
  Answer answer = Done("");
  answer.out = reply_->bytes.substr(reply_->offset, length);
  reply_->offset += length;
  answer.note = "block " + std::to_string(reply_->offset - length) + "+" + std::to_string(length) +
                " of " + std::to_string(reply_->bytes.size());
  // Once all is sent the reply is over; if its last block was full, the
  // caller asks once more and gets the empty block that every query-next
  // without a pending reply gets.
  if (reply_->offset == reply_->bytes.size()) reply_.reset();
  return answer;
}

std::optional<std::string> Device::BuildReply(const std::string& name) const {
  if (name == "__STATUS") return StatusReply(reader_);
  if (name == "__TITLES") return TitlesReply(reader_);
  if (name == "__DIR") return ListingReply(reader_.internal, false);
  if (name == "__SMDIR") {
    if (!reader_.card_present) return std::nullopt;
    return ListingReply(reader_.card, true);
  }
  std::optional<Location> where = ParseDevicePath(name);
  if (!where || (where->card && !reader_.card_present)) return std::nullopt;
  const FileEntry* file = reader_.Find(*where);
  if (file == nullptr) return std::nullopt;
  return file->data;
}

Answer Device::UploadStart(std::string_view input) {
  reply_.reset();
  upload_.reset();
  std::size_t nul = input.find('\0');
  if (nul > kMaxTargetName)  // also when there is no NUL at all
    return Fail(kErrorInvalidName, "upload without a target name");
  PendingUpload upload{std::string(input.substr(0, nul)), std::string(input.substr(nul + 1)),
                       kBlockSize};
  Answer check = CheckTarget(upload.target, upload.data.size());
  if (!check.ok) return check;
  if (upload.data.size() <= kBlockSize) return Commit(std::move(upload));
  std::string note = "upload of " + std::to_string(upload.data.size()) + " bytes to \"" +
                     upload.target + "\" started";
  upload_ = std::move(upload);
  return Done(note);
}

Answer Device::UploadNext(std::string_view input) {
  if (!upload_) return Fail(kErrorInvalidParameter, "no upload under way");
  std::size_t left = upload_->data.size() - upload_->offset;
  if (input.empty() || input.size() > kBlockSize || input.size() > left) {
    upload_.reset();
    return Fail(kErrorInvalidParameter, "continuation of " + std::to_string(input.size()) +
                                            " bytes with " + std::to_string(left) +
                                            " left; upload dropped");
  }
  if (upload_->data.compare(upload_->offset, input.size(), input) != 0) {
    std::string note = "continuation at offset " + std::to_string(upload_->offset) +
                       " differs from the data; upload dropped";
    upload_.reset();
    return Fail(kErrorCrc, note);
  }
  upload_->offset += input.size();
  if (upload_->offset < upload_->data.size())
    return Done("continuation up to " + std::to_string(upload_->offset));
  PendingUpload done = std::move(*upload_);
  upload_.reset();
  return Commit(std::move(done));
}

Answer Device::CheckTarget(const std::string& target, std::size_t size) const {
  if (target == kScriptTarget) return Done("");
  std::optional<Location> where = ParseDevicePath(target);
  if (!where) return Fail(kErrorInvalidName, "\"" + target + "\" is no valid target");
  if (where->card && !reader_.card_present) return Fail(kErrorNotReady, "no card in the reader");
  if (size == 0) return Fail(kErrorInvalidData, "an empty file is refused");
  const Storage& storage = reader_.StorageOf(where->card);
  const FileEntry* old = reader_.Find(*where);
  std::uint64_t room = storage.Free() + (old ? old->data.size() : 0);
  if (size > kMaxUploadData || size > room)
    return Fail(kErrorDiskFull, std::to_string(size) + " bytes do not fit the " +
                                    std::to_string(room) + " bytes free");
  return Done("");
}

Answer Device::Commit(PendingUpload upload) {
  if (upload.target == kScriptTarget) return RunScript(upload.data);
  Answer check = CheckTarget(upload.target, upload.data.size());
  if (!check.ok) return check;
  return StoreBook(*ParseDevicePath(upload.target), std::move(upload.data));
}

Answer Device::StoreBook(const Location& where, std::string data) {
  std::string error;
  if (writer_ && !writer_->WriteFile(where, data, &error)) {
    Answer answer = Fail(kErrorWriteFault, "image not written");
    answer.warning = error;
    return answer;
  }
  std::size_t size = data.size();
  TitleInfo info = IsTitleLocation(where) ? TitleFromName(where.name) : TitleInfo{};
  reader_.Put(where, std::move(data), std::move(info));
  Answer answer = Done("stored \"" + DevicePath(where) + "\", " + std::to_string(size) + " bytes");
  // The file is on disk already; reader.ini only lags behind, and a book
  // file without its section loads with the same title made from its name.
  if (writer_ && !writer_->WriteMetadata(reader_, &error)) answer.warning = error;
  return answer;
}

Answer Device::RunScript(std::string_view text) {
  Script script = ParseScript(text);
  if (!script.has_header) return Done("script without CMD! header ignored");
  Answer answer = Done("script:");
  for (const ScriptCommand& command : script.commands) {
    if (command.word == "DELTITLE") {
      answer.note += " " + DeleteTitle(command.argument, &answer.warning) + ";";
    } else {
      answer.note += " unknown command \"" + command.word + "\" ignored;";
    }
  }
  return answer;
}

std::string Device::DeleteTitle(const std::string& reader_path, std::string* warning) {
  std::optional<Location> where = ParseReaderPath(reader_path);
  if (!where || !IsTitleLocation(*where) || (where->card && !reader_.card_present) ||
      reader_.Find(*where) == nullptr)
    return "DELTITLE \"" + reader_path + "\": no such title";
  std::optional<FileEntry> removed = reader_.Remove(*where);
  std::string error;
  // reader.ini first: a crash before the file goes leaves a book file that
  // loads again as a title, never a title section without its file.
  if (writer_ && !writer_->WriteMetadata(reader_, &error)) {
    reader_.Put(*where, std::move(removed->data), std::move(removed->info));
    *warning += error;
    return "DELTITLE \"" + reader_path + "\": image not written, title kept";
  }
  if (writer_ && !writer_->RemoveFile(*where, &error)) *warning += error;
  return "DELTITLE \"" + reader_path + "\": deleted";
}

}  // namespace readersim
