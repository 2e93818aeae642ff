// The plugin's one picture of the attached reader: the link to its driver,
// the reply buffer, the catalog built from the replies and the status values.
#pragma once

#include <cstdint>

#include "state/entry_list.h"
#include "state/records.h"
#include "platform/platform.h"

namespace pagora {

constexpr std::int32_t kReplyLimit = 65536;
// Storage indexes: a root that is never listed, internal memory, the card.
constexpr int kStorageNone = 0;
constexpr int kStorageInternal = 1;
constexpr int kStorageCard = 2;
constexpr int kStorageCount = 3;

struct ReaderState {
  EntryList status_list;          // StatusRecords of the last "__STATUS" reply
  DirectoryEntry roots[kStorageCount];  // storage roots by storage index
  EntryList title_list;           // TitleRecords of the last "__TITLES" reply
  std::uint32_t title_generation; // counts clears of the title list, so a
                                  // listing position can tell it went stale
  char device_path[256];
  char reply[kReplyLimit + 1];    // every reply, NUL-terminated at its length
  bool device_path_known;
  OsHandle device;
  std::int32_t free_memory;       // "FLASHFREE"
  std::int32_t sm_free_memory;    // "SM_FLASHFREE"
  std::uint32_t flash_size;       // "FLASHID" MiB in bytes, saturating
  std::uint32_t card_flash_size;  // "OFLASHID01" MiB in bytes, saturating
  const char* battery;            // texts point into status_list records
  bool card_present;
  const char* extension_id;
  std::int32_t title_count;
  const char* version;
  const char* user_id;
  char probe_reply[50];
  char date[50];
  char time[50];
};

// Builds the state in place: closed link, empty lists, three empty roots,
// then a reset.
void ConstructReaderState(ReaderState& state);

// Frees everything the state owns. An open device handle is left to the
// operating system, as at unload.
void DestroyReaderState(ReaderState& state);

// Closes the device handle if it is open (DevRelease with force).
void CloseDevice(ReaderState& state);

// Forgets the reader: closes the link, zeroes the status values, empties the
// lists and the trees. The title count and the probe reply stay.
void Reset(ReaderState& state);

// Empties the status list and drops the text references into it.
void ClearStatusList(ReaderState& state);

// Empties the title list, freeing its records.
void ClearTitleList(ReaderState& state);

}  // namespace pagora
