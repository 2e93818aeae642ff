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
#include "fuzz/fuzz_driver.h"
#include "plugin/module.h"

using namespace pagora;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FuzzInstall();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 65536) return -1;
  ReaderState& state = Reader();
#if defined(FUZZ_STATUS)
  FuzzServeReply("__STATUS", data, size);
  RefreshStatus(state);
#elif defined(FUZZ_TITLES)
  static const std::string dir =
      "h\nh\nBOOK         -D---         0 book\n+  SEA      RB  -----     412 The Sea Road.rb\n";
  FuzzServeReply("__DIR", reinterpret_cast<const std::uint8_t*>(dir.data()), dir.size());
  FuzzServeReply("__TITLES", data, size);
  RefreshStorageTree(state, 1);
  RefreshTitles(state);
  LinkTitles(state, 1);
#else
  static const std::string titles =
      "T1=title=\"a\" filename=\"\\book\\The Sea Road.rb\" x=\"\"\nT2=title=\"b\" filename=\"SM\\b\\c\" x=\"\"\n";
  FuzzServeReply("__TITLES", reinterpret_cast<const std::uint8_t*>(titles.data()), titles.size());
  FuzzServeReply("__DIR", data, size);
  FuzzServeReply("__SMDIR", data, size);
  RefreshStorageTree(state, 1);
  RefreshStorageTree(state, 2);
  RefreshTitles(state);
  LinkTitles(state, 1);
  LinkTitles(state, 2);
#endif
  Reset(state);
  return 0;
}
