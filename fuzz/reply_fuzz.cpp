// The three reply parsers on any bytes of up to 65,536: the reader's replies
// are untrusted input. Which parser runs is fixed at build time.
#include <cstddef>
#include <cstdint>
#include <string>

#include "catalog/links.h"
#include "state/reader_state.h"
#include "catalog/status.h"
#include "catalog/storage_tree.h"
#include "catalog/titles.h"
#include "fuzz/fuzz_script.h"
#include "plugin/module.h"

using namespace pagora;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FuzzReader();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 65536) return -1;
  ReaderState& state = Reader();
  FakeDriver& reader = FuzzReader();
  const std::string bytes(reinterpret_cast<const char*>(data), size);
#if defined(FUZZ_STATUS)
  reader.SetReply("__STATUS", bytes);
  RefreshStatus(state);
#elif defined(FUZZ_TITLES)
  static const std::string dir =
      "h\nh\nBOOK         -D---         0 book\n+  SEA      RB  -----     412 The Sea Road.rb\n";
  reader.SetReply("__DIR", dir);
  reader.SetReply("__TITLES", bytes);
  RefreshStorageTree(state, 1);
  RefreshTitles(state);
  LinkTitles(state, 1);
#else
  static const std::string titles =
      "T1=title=\"a\" filename=\"\\book\\The Sea Road.rb\" x=\"\"\nT2=title=\"b\" filename=\"SM\\b\\c\" x=\"\"\n";
  reader.SetReply("__TITLES", titles);
  reader.SetReply("__DIR", bytes);
  reader.SetReply("__SMDIR", bytes);
  RefreshStorageTree(state, 1);
  RefreshStorageTree(state, 2);
  RefreshTitles(state);
  LinkTitles(state, 1);
  LinkTitles(state, 2);
#endif
  Reset(state);
  return 0;
}
