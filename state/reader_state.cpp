#include "state/reader_state.h"

namespace pagora {

void ConstructReaderState(ReaderState& state) {
  state.device_path_known = false;
  state.device = InvalidOsHandle();
  state.device_path[0] = '\0';
  state.title_count = 0;
  state.title_generation = 0;
  for (char& c : state.probe_reply) c = '\0';
  state.status_list = EntryList{nullptr, true};
  state.title_list = EntryList{nullptr, true};
  for (int i = kStorageNone; i < kStorageCount; ++i) {
    ConstructDirectoryEntry(&state.roots[i], &state, nullptr, "", "", "-D---", i);
  }
  Reset(state);
}

void DestroyReaderState(ReaderState& state) {
  ClearStatusList(state);
  ClearTitleList(state);
  for (DirectoryEntry& root : state.roots) ClearChildren(root);
}

void ClearTitleList(ReaderState& state) {
  ListClear(state.title_list);
  ++state.title_generation;
}

void ClearStatusList(ReaderState& state) {
  ListClear(state.status_list);
  state.extension_id = nullptr;
  state.battery = nullptr;
  state.user_id = nullptr;
  state.version = nullptr;
}

void CloseDevice(ReaderState& state) {
  if (state.device == InvalidOsHandle()) return;
  Os().close_handle(state.device);
  state.device = InvalidOsHandle();
}

void Reset(ReaderState& state) {
  state.device_path_known = false;
  CloseDevice(state);
  state.free_memory = 0;
  state.sm_free_memory = 0;
  state.flash_size = 0;
  state.card_flash_size = 0;
  state.card_present = false;
  state.date[0] = '\0';
  state.time[0] = '\0';
  ClearStatusList(state);
  ClearTitleList(state);
  for (DirectoryEntry& root : state.roots) ClearChildren(root);
}

}  // namespace pagora
