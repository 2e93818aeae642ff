#include "testing/fake_driver.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/control_codes.h"
#include "plugin/reader_text.h"
#include "testing/reply_pattern.h"

namespace pagora {
namespace {

char g_device_token;
char g_set_token;

constexpr std::uint64_t kBlock = DEV_BLOCK_SIZE;

std::string Utf8Of(const char16_t* text) {
  char out[8192];
  Utf16ToUtf8(text, out, sizeof out);
  return out;
}

}  // namespace

OsHandle FakeDeviceHandle() { return &g_device_token; }
OsHandle FakeInfoSetHandle() { return &g_set_token; }

FakeDriver* FakeDriver::current_ = nullptr;

const Platform FakeDriver::kTable = {
    GetClassDevs, EnumDeviceInterfaces, GetInterfaceDetail, DestroyDeviceInfoList,
    CreateFileNarrow,   DeviceIoControl,      CloseHandle,        ReadFile,
    WriteFile,    GetFileSize,          DeleteFileNarrow,         CreateFileWide,
    DeleteFileWide, MoveFileWide,       GetFileAttributesWide, MoveFileTo,
    GetFileAttributesOf, GetLastError,  SetLastError,       AnsiCodePage,
    ToWide,       FromWide,             MessageBoxNarrow,         MessageBoxWide,
    Allocate,     Release,              ListingTime};

FakeDriver::FakeDriver() {
  current_ = this;
  SetPlatform(&kTable);
}

// Blocks still live stay allocated: a state that outlives the fake may
// still own them, and the leak checks read live_allocations() beforehand.
FakeDriver::~FakeDriver() {
  SetPlatform(nullptr);
  current_ = nullptr;
}

void FakeDriver::SetReply(const std::string& name, const std::string& bytes) {
  Reply reply;
  reply.bytes = bytes;
  replies_[name] = std::move(reply);
}

void FakeDriver::SetBlocks(const std::string& name, const std::vector<std::string>& blocks) {
  Reply reply;
  reply.blocks = blocks;
  reply.explicit_blocks = true;
  replies_[name] = std::move(reply);
}

void FakeDriver::SetGeneratedReply(const std::string& name, std::uint64_t size) {
  Reply reply;
  reply.generated = size;
  reply.is_generated = true;
  replies_[name] = std::move(reply);
}

void FakeDriver::AnswerBy(std::function<std::uint32_t(char*, std::uint32_t)> answer) {
  answer_ = std::move(answer);
}

void FakeDriver::FailCall(std::size_t index, std::uint32_t error) { fail_at_[index] = error; }

void FakeDriver::FailWhen(std::function<bool(const FakeCall&)> match, std::uint32_t error) {
  FailBy([match = std::move(match), error](const FakeCall& call) {
    return match(call) ? error : 0u;
  });
}

void FakeDriver::FailBy(std::function<std::uint32_t(const FakeCall&)> fate) {
  fail_by_.push_back(std::move(fate));
}

void FakeDriver::FailAllocation(std::size_t index) { fail_allocation_at_.insert(index); }

void FakeDriver::ClearFailures() {
  fail_at_.clear();
  fail_by_.clear();
  fail_allocation_at_.clear();
}

std::vector<FakeCall> FakeDriver::ControlCalls() const {
  std::vector<FakeCall> out;
  for (const FakeCall& c : calls_) {
    if (c.op == "device_io_control") out.push_back(c);
  }
  return out;
}

std::vector<FakeCall> FakeDriver::ControlCalls(std::uint32_t code) const {
  std::vector<FakeCall> out;
  for (const FakeCall& c : calls_) {
    if (c.op == "device_io_control" && c.control_code == code) out.push_back(c);
  }
  return out;
}

std::size_t FakeDriver::CountOf(std::string_view op) const {
  return static_cast<std::size_t>(
      std::count_if(calls_.begin(), calls_.end(), [&](const FakeCall& c) { return c.op == op; }));
}

std::uint32_t FakeDriver::Record(FakeCall call) {
  ++call_count_;
  std::uint32_t error = 0;
  auto it = fail_at_.find(call_count_);
  if (it != fail_at_.end()) error = it->second;
  for (const auto& fate : fail_by_) {
    if (error == 0) error = fate(call);
  }
  call.failed = error != 0;
  if (record_calls) calls_.push_back(std::move(call));
  if (error != 0) NativePlatform().set_last_error(error);
  return error;
}

std::string FakeDriver::Keep(const void* bytes, std::size_t n) const {
  if (bytes == nullptr || (!record_calls && fail_by_.empty())) return std::string();
  return std::string(static_cast<const char*>(bytes), n);
}

OsHandle FakeDriver::GetClassDevs(const Guid*, std::uint32_t flags) {
  FakeCall call{"get_class_devs"};
  call.flags = flags;
  if (current_->Record(call) != 0) return InvalidOsHandle();
  ++current_->open_sets_;
  return FakeInfoSetHandle();
}

int FakeDriver::EnumDeviceInterfaces(OsHandle set, const Guid* cls, std::uint32_t index,
                                     InterfaceData* data) {
  FakeCall call{"enum_device_interfaces"};
  call.index = index;
  call.record_size = data->cb_size;
  if (current_->Record(call) != 0) return 0;
  if (set != FakeInfoSetHandle() || !current_->present || index != 0) {
    NativePlatform().set_last_error(kErrorNoMoreItems);
    return 0;
  }
  data->class_guid = *cls;
  return 1;
}

int FakeDriver::GetInterfaceDetail(OsHandle, InterfaceData*, void* detail, std::uint32_t size,
                                   std::uint32_t* required) {
  std::string cb;
  if (detail != nullptr) cb.assign(static_cast<const char*>(detail), 4);
  FakeCall call{"get_interface_detail", cb};
  call.record_size = size;
  if (current_->Record(call) != 0) return 0;
  const std::string& path = current_->device_path;
  const auto needed = static_cast<std::uint32_t>(kDetailPathOffset + path.size() + 1);
  if (required != nullptr) *required = needed;
  if (detail == nullptr || size < needed) {
    NativePlatform().set_last_error(kErrorInsufficientBuffer);
    return 0;
  }
  std::uint32_t cb_size = 0;
  std::memcpy(&cb_size, detail, sizeof cb_size);
  if (cb_size != kDetailCbSize) {
    NativePlatform().set_last_error(1784);
    return 0;
  }
  std::memcpy(static_cast<char*>(detail) + kDetailPathOffset, path.c_str(), path.size() + 1);
  return 1;
}

int FakeDriver::DestroyDeviceInfoList(OsHandle set) {
  if (set == FakeInfoSetHandle()) --current_->open_sets_;
  if (current_->Record({"destroy_device_info_list"}) != 0) return 0;
  return 1;
}

OsHandle FakeDriver::CreateFileNarrow(const char* path, std::uint32_t access, std::uint32_t share,
                                std::uint32_t disposition, std::uint32_t attributes) {
  FakeCall call{"create_file", path};
  call.disposition = disposition;
  call.access = access;
  if (current_->Record(call) != 0) {
    return InvalidOsHandle();
  }
  if (path == current_->device_path) {
    if (!current_->present) {
      NativePlatform().set_last_error(kErrorFileNotFound);
      return InvalidOsHandle();
    }
    ++current_->open_devices_;
    current_->pending_ = nullptr;
    return FakeDeviceHandle();
  }
  if (current_->files_in_memory) return current_->OpenMemoryFile(path, disposition);
  return NativePlatform().create_file(path, access, share, disposition, attributes);
}

OsHandle FakeDriver::OpenMemoryFile(const char* path, std::uint32_t disposition) {
  const bool exists = memory_files.count(path) != 0;
  if (disposition == kCreateNew && exists) {
    NativePlatform().set_last_error(kErrorFileExists);
    return InvalidOsHandle();
  }
  if (disposition == kOpenExisting && !exists) {
    NativePlatform().set_last_error(kErrorFileNotFound);
    return InvalidOsHandle();
  }
  if (disposition != kOpenExisting) memory_files[path].clear();
  return new MemoryFile{path, 0};
}

int FakeDriver::MoveMemoryFile(const char* from, const char* to, bool replace) {
  auto it = memory_files.find(from);
  if (it == memory_files.end()) {
    NativePlatform().set_last_error(kErrorFileNotFound);
    return 0;
  }
  if (to != nullptr && !replace && memory_files.count(to) != 0) {
    NativePlatform().set_last_error(kErrorAlreadyExists);
    return 0;
  }
  std::string bytes = std::move(it->second);
  memory_files.erase(it);
  if (to != nullptr) memory_files[to] = std::move(bytes);
  return 1;
}

int FakeDriver::Answer(void* out, std::uint32_t room, std::uint32_t* returned) {
  *returned = 0;
  if (answer_) {
    if (out != nullptr && room > 0) *returned = answer_(static_cast<char*>(out), room);
    return 1;
  }
  if (pending_ == nullptr) return 1;
  if (pending_->explicit_blocks) {
    if (pending_offset_ >= pending_->blocks.size()) return 1;
    const std::string& block = pending_->blocks[pending_offset_++];
    std::memcpy(out, block.data(), std::min<std::size_t>(block.size(), room));
    *returned = static_cast<std::uint32_t>(block.size());
    return 1;
  }
  const std::uint64_t size = pending_->is_generated ? pending_->generated : pending_->bytes.size();
  const auto n = static_cast<std::size_t>(
      std::min<std::uint64_t>({size - pending_offset_, room, kBlock}));
  if (pending_->is_generated) {
    FillPattern(static_cast<char*>(out), pending_offset_, n);
  } else {
    std::memcpy(out, pending_->bytes.data() + pending_offset_, n);
  }
  pending_offset_ += n;
  *returned = static_cast<std::uint32_t>(n);
  return 1;
}

int FakeDriver::DeviceIoControl(OsHandle handle, std::uint32_t code, const void* in,
                                std::uint32_t in_len, void* out, std::uint32_t out_len,
                                std::uint32_t* returned) {
  *returned = 0;
  FakeCall call{"device_io_control", current_->Keep(in, in_len)};
  call.control_code = code;
  call.output_room = out_len;
  if (current_->Record(call) != 0) return 0;
  if (handle != FakeDeviceHandle() || !current_->present) {
    NativePlatform().set_last_error(kErrorDeviceNotConnected);
    return 0;
  }
  switch (code) {
    case IOCTL_DEV_PROBE: {
      if (current_->answer_) return current_->Answer(out, out_len, returned);
      const char probe[] = "PAGORA";
      std::memcpy(out, probe, std::min<std::size_t>(sizeof probe, out_len));
      *returned = std::min<std::uint32_t>(sizeof probe, out_len);
      return 1;
    }
    case IOCTL_DEV_QUERY_START: {
      // The request name ends at its NUL or at the input's end.
      const char* name = static_cast<const char*>(in);
      const std::size_t n = in == nullptr ? 0 : std::find(name, name + in_len, '\0') - name;
      auto it = current_->replies_.find(std::string(name == nullptr ? "" : name, n));
      current_->pending_ = it != current_->replies_.end() ? &it->second : nullptr;
      current_->pending_offset_ = 0;
      return current_->Answer(out, out_len, returned);
    }
    case IOCTL_DEV_QUERY_NEXT: return current_->Answer(out, out_len, returned);
    case IOCTL_DEV_UPLOAD_START:
    case IOCTL_DEV_UPLOAD_NEXT:
      current_->upload_bytes_ += in_len;
      ++current_->upload_calls_;
      return 1;
    default: return 1;
  }
}

int FakeDriver::CloseHandle(OsHandle handle) {
  if (handle == FakeDeviceHandle()) {
    --current_->open_devices_;
    return current_->Record({"close_handle", "device"}) == 0 ? 1 : 0;
  }
  const bool proceeds = current_->Record({"close_handle", "file"}) == 0;
  // The fake fails the call, not the system: the file is closed either way.
  if (current_->files_in_memory) {
    delete static_cast<MemoryFile*>(handle);
    return proceeds ? 1 : 0;
  }
  const int closed = NativePlatform().close_handle(handle);
  return proceeds ? closed : 0;
}

int FakeDriver::ReadFile(OsHandle file, void* buf, std::uint32_t len, std::uint32_t* read) {
  FakeCall call{"read_file"};
  call.length = len;
  if (current_->Record(call) != 0) return 0;
  if (!current_->files_in_memory) return NativePlatform().read_file(file, buf, len, read);
  auto* f = static_cast<MemoryFile*>(file);
  const std::string& bytes = current_->memory_files[f->path];
  const std::size_t n = std::min<std::size_t>(len, bytes.size() - std::min(f->position, bytes.size()));
  std::memcpy(buf, bytes.data() + f->position, n);
  f->position += n;
  *read = static_cast<std::uint32_t>(n);
  return 1;
}

int FakeDriver::WriteFile(OsHandle file, const void* buf, std::uint32_t len,
                          std::uint32_t* written) {
  FakeCall call{"write_file", current_->Keep(buf, len)};
  call.length = len;
  if (current_->Record(call) != 0) {
    return 0;
  }
  // A full disk: the call succeeds with fewer bytes written than asked.
  if (current_->short_writes && len > 0) --len;
  if (!current_->files_in_memory) return NativePlatform().write_file(file, buf, len, written);
  auto* f = static_cast<MemoryFile*>(file);
  current_->memory_files[f->path].append(static_cast<const char*>(buf), len);
  *written = len;
  return 1;
}

std::uint32_t FakeDriver::GetFileSize(OsHandle file, std::uint32_t* high) {
  if (current_->Record({"get_file_size"}) != 0) {
    *high = 0;
    return 0xFFFFFFFFu;
  }
  if (!current_->files_in_memory) return NativePlatform().get_file_size(file, high);
  const std::uint64_t size = current_->memory_files[static_cast<MemoryFile*>(file)->path].size();
  *high = static_cast<std::uint32_t>(size >> 32);
  return static_cast<std::uint32_t>(size);
}

int FakeDriver::DeleteFileNarrow(const char* path) {
  if (current_->Record({"delete_file", path}) != 0) return 0;
  if (current_->files_in_memory) return current_->MoveMemoryFile(path, nullptr, true);
  return NativePlatform().delete_file(path);
}

// The wide calls are recorded as the 8-bit ones, marked wide, their paths
// in UTF-8; files on disk go through the build's own wide calls, files in
// memory are kept by their UTF-8 path.
OsHandle FakeDriver::CreateFileWide(const char16_t* path, std::uint32_t access, std::uint32_t share,
                                    std::uint32_t disposition, std::uint32_t attributes) {
  const std::string utf8 = Utf8Of(path);
  FakeCall call{"create_file", utf8};
  call.disposition = disposition;
  call.access = access;
  call.wide = true;
  if (current_->Record(call) != 0) return InvalidOsHandle();
  if (current_->files_in_memory) return current_->OpenMemoryFile(utf8.c_str(), disposition);
  return NativePlatform().create_file_w(path, access, share, disposition, attributes);
}

int FakeDriver::DeleteFileWide(const char16_t* path) {
  FakeCall call{"delete_file", Utf8Of(path)};
  call.wide = true;
  if (current_->Record(call) != 0) return 0;
  if (current_->files_in_memory) return current_->MoveMemoryFile(Utf8Of(path).c_str(), nullptr, true);
  return NativePlatform().delete_file_w(path);
}

int FakeDriver::MoveFileWide(const char16_t* from, const char16_t* to, std::uint32_t flags) {
  FakeCall call{"move_file", Utf8Of(from) + " -> " + Utf8Of(to)};
  call.move_flags = flags;
  call.wide = true;
  if (current_->Record(call) != 0) return 0;
  if (current_->files_in_memory) {
    return current_->MoveMemoryFile(Utf8Of(from).c_str(), Utf8Of(to).c_str(),
                                    (flags & kMoveFileReplaceExisting) != 0);
  }
  return NativePlatform().move_file_w(from, to, flags);
}

std::uint32_t FakeDriver::GetFileAttributesWide(const char16_t* path) {
  FakeCall call{"get_file_attributes", Utf8Of(path)};
  call.wide = true;
  if (current_->Record(call) != 0) return kInvalidFileAttributes;
  if (!current_->files_in_memory) return NativePlatform().get_file_attributes_w(path);
  if (current_->memory_files.count(Utf8Of(path)) != 0) return kFileAttributeNormal;
  NativePlatform().set_last_error(kErrorFileNotFound);
  return kInvalidFileAttributes;
}

int FakeDriver::MoveFileTo(const char* from, const char* to, std::uint32_t flags) {
  FakeCall call{"move_file", std::string(from) + " -> " + to};
  call.move_flags = flags;
  if (current_->Record(call) != 0) return 0;
  if (current_->files_in_memory) {
    return current_->MoveMemoryFile(from, to, (flags & kMoveFileReplaceExisting) != 0);
  }
  return NativePlatform().move_file(from, to, flags);
}

std::uint32_t FakeDriver::GetFileAttributesOf(const char* path) {
  if (current_->Record({"get_file_attributes", path}) != 0) return kInvalidFileAttributes;
  if (!current_->files_in_memory) return NativePlatform().get_file_attributes(path);
  if (current_->memory_files.count(path) != 0) return kFileAttributeNormal;
  NativePlatform().set_last_error(kErrorFileNotFound);
  return kInvalidFileAttributes;
}

std::uint32_t FakeDriver::GetLastError() { return NativePlatform().get_last_error(); }

void FakeDriver::SetLastError(std::uint32_t code) { NativePlatform().set_last_error(code); }

int FakeDriver::ListingTime(std::uint32_t* low, std::uint32_t* high) {
  return NativePlatform().listing_time(low, high);
}

std::uint32_t FakeDriver::AnsiCodePage() {
  return current_->code_page != 0 ? current_->code_page : NativePlatform().ansi_code_page();
}

// Windows-1252 is the reader's own set, so its conversions are the plugin's
// exact ones; the plugin always converts whole terminated texts.
int FakeDriver::ToWide(std::uint32_t code_page, std::uint32_t flags, const char* text, int length,
                       char16_t* out, int room) {
  const std::uint32_t system = current_->code_page;
  if (system == 0 || code_page != kCodePageAnsi) {
    return NativePlatform().multi_byte_to_wide_char(code_page, flags, text, length, out, room);
  }
  if (system == kCodePageUtf8) {
    return NativePlatform().multi_byte_to_wide_char(kCodePageUtf8, flags, text, length, out, room);
  }
  const int n = length == -1 && room > 0 ? ReaderToUtf16(text, out, static_cast<std::size_t>(room)) : -1;
  if (n < 0) NativePlatform().set_last_error(kErrorInsufficientBuffer);
  return n < 0 ? 0 : n + 1;
}

int FakeDriver::FromWide(std::uint32_t code_page, std::uint32_t flags, const char16_t* text,
                         int length, char* out, int room, const char* default_char,
                         int* used_default) {
  const std::uint32_t system = current_->code_page;
  if (system == 0 || code_page != kCodePageAnsi) {
    return NativePlatform().wide_char_to_multi_byte(code_page, flags, text, length, out, room,
                                                    default_char, used_default);
  }
  if (system == kCodePageUtf8) {
    return NativePlatform().wide_char_to_multi_byte(kCodePageUtf8, flags, text, length, out, room,
                                                    default_char, used_default);
  }
  if (length != -1 || room <= 0) {
    NativePlatform().set_last_error(kErrorInvalidParameter);
    return 0;
  }
  if (used_default != nullptr) *used_default = 0;
  int n = 0;
  for (; *text != 0; ++text) {
    const char16_t one[2] = {*text, 0};
    char byte[2];
    if (Utf16ToReader(one, byte, sizeof byte) < 0) {
      byte[0] = default_char != nullptr ? *default_char : '?';
      if (used_default != nullptr) *used_default = 1;
    }
    if (n + 1 >= room) {
      NativePlatform().set_last_error(kErrorInsufficientBuffer);
      return 0;
    }
    out[n++] = byte[0];
  }
  out[n] = '\0';
  return n + 1;
}

int FakeDriver::MessageBoxNarrow(const char* text, const char* caption, std::uint32_t type) {
  FakeCall call{"message_box", text};
  call.box_type = type;
  if (current_->Record(call) != 0) return 0;
  if (current_->record_calls) {
    current_->messages.emplace_back(caption, text);
    current_->wide_messages.push_back(false);
  }
  return 1;
}

int FakeDriver::MessageBoxWide(const char16_t* text, const char16_t* caption, std::uint32_t type) {
  const std::string text8 = Utf8Of(text);
  FakeCall call{"message_box_w", text8};
  call.box_type = type;
  if (current_->Record(call) != 0) return 0;
  if (current_->record_calls) {
    current_->messages.emplace_back(Utf8Of(caption), text8);
    current_->wide_messages.push_back(true);
  }
  return 1;
}

void* FakeDriver::Allocate(std::size_t size) {
  const std::size_t n = ++current_->allocation_count_;
  if (current_->fail_allocation_at_.count(n) != 0) return nullptr;
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block != nullptr && current_->record_calls) current_->live_.insert(block);
  return block;
}

void FakeDriver::Release(void* block) {
  if (block == nullptr) return;
  if (!current_->live_.empty()) current_->live_.erase(block);
  std::free(block);
}

}  // namespace pagora
