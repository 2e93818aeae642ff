// A whole host session through the exports, with every driver answer
// (block lengths, contents, failures) and every local file call's fate read
// from the fuzz input: listings, downloads, uploads and deletions in any
// order, with any names and flags.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "state/reader_state.h"
#include "fuzz/fuzz_script.h"
#include "plugin/fs_api.h"
#include "plugin/module.h"

using namespace pagora;

namespace {

int WFX_CALL Progress(int, char*, char*, int) { return FuzzByte() == 0 ? 1 : 0; }

// The host's message box: its texts must be terminated and its answer
// buffer writable.
BOOL WFX_CALL Request(int, int, char* title, char* text, char* answer, int room) {
  volatile std::size_t seen = std::strlen(title) + std::strlen(text);
  (void)seen;
  if (room > 0) answer[room - 1] = '\0';
  return kTrue;
}

std::string Name(const std::vector<std::string>& listed) {
  const std::uint8_t pick = FuzzByte();
  if (pick < 128 && !listed.empty()) return listed[pick % listed.size()];
  return FuzzBytes(FuzzByte() * 2u);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FuzzReader();
  FsInit(3, Progress, nullptr, Request);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzScript(data, size);
  FuzzReader().memory_files.clear();
  std::vector<std::string> listed;
  WIN32_FIND_DATAA fd{};
  HANDLE handle = nullptr;
  for (int step = 0; step < 12; ++step) {
    const std::uint8_t op = FuzzByte();
    if (op == 0xFF) break;  // input used up
    switch (op % 6) {
      case 0: {
        std::string root = op & 0x80 ? std::string("\\") : std::string(1, '/');
        if (op & 0x40) root += FuzzBytes(FuzzByte() % 8);
        handle = FsFindFirst(&root[0], &fd);
        listed.clear();
        for (int n = 0; handle != InvalidHandleValue() && n < 20000; ++n) {
          listed.push_back(std::string(1, '/') + fd.cFileName);
          listed.push_back(std::string(1, '\\') + fd.cFileName);
          if (!FsFindNext(handle, &fd)) break;
        }
        break;
      }
      case 1: {
        std::string remote = Name(listed);
        std::string local = "local.rb";
        FsGetFile(&remote[0], &local[0], FuzzByte() % 8, nullptr);
        break;
      }
      case 2: {
        std::string local = (op & 0x80) ? "book.RB" : FuzzBytes(FuzzByte() % 16);
        FuzzReader().memory_files[local] = FuzzBytes(FuzzByte() * 64u);
        std::string remote = Name(listed);
        FsPutFile(&local[0], &remote[0], FuzzByte() % 8);
        break;
      }
      case 3: {
        std::string remote = Name(listed);
        FsDeleteFile(&remote[0]);
        break;
      }
      case 4:
        FsFindNext(handle, &fd);
        break;
      default: {
        char buffer[301];
        FsGetDefRootName(buffer, static_cast<int>(FuzzByte()) - 1);
        std::string remote = Name(listed);
        FsExecuteFile(nullptr, &remote[0], &remote[0]);
        char verb[] = "properties";
        FsExecuteFile(nullptr, &remote[0], verb);
        FsContentGetValue(&remote[0], static_cast<int>(FuzzByte() % 10) - 1, 0, buffer,
                          static_cast<int>(FuzzByte()) - 1, 0);
        FsFindClose(handle);
        break;
      }
    }
  }
  Reset(Reader());
  return 0;
}
