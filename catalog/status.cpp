#include "catalog/status.h"

#include <cstdio>
#include <cstring>

#include "state/reader_state.h"
#include "catalog/reply_lines.h"
#include "state/text.h"
#include "devlink/exchange.h"

namespace pagora {
namespace {

bool IsDelimiter(char c, const char* delimiters) {
  for (; *delimiters != '\0'; ++delimiters) {
    if (c == *delimiters) return true;
  }
  return false;
}

// Cuts the next token from `*pos` as strtok does: delimiters in front are
// passed over, the delimiter after the token becomes a terminator, and a
// token that reached the end of the text leaves nothing to continue with.
// Delimiters in front are rare, so they are passed over a byte at a time;
// the token's end is found with the C library's scans.
char* CutToken(char** pos, const char* delimiters) {
  if (*pos == nullptr) return nullptr;
  char* start = *pos;
  while (*start != '\0' && IsDelimiter(*start, delimiters)) ++start;
  if (*start == '\0') {
    *pos = nullptr;
    return nullptr;
  }
  char* end;
  if (delimiters[1] == '\0') {
    end = std::strchr(start + 1, delimiters[0]);
    if (end == nullptr) end = start + 1 + std::strlen(start + 1);
  } else {
    end = start + 1 + std::strcspn(start + 1, delimiters);
  }
  if (*end != '\0') {
    *end = '\0';
    *pos = end + 1;
  } else {
    *pos = nullptr;
  }
  return start;
}

// A MiB figure in bytes, kept in 32 bits: figures of 4096 MiB or more
// saturate, negative ones give 0.
std::uint32_t MebibytesToBytes(const char* text) {
  const std::int32_t mib = ReadDecimal(text);
  if (mib <= 0) return 0;
  if (mib >= 4096) return 0xFFFFFFFFu;
  return static_cast<std::uint32_t>(mib) << 20;
}

void StoreTime(ReaderState& state, const char* text) {
  int parts[3] = {0, 0, 0};
  const char* p = text;
  for (int& part : parts) {
    const char* end = p;
    const std::int32_t value = ReadDecimal(p, &end);
    if (end == p) break;  // not a number: the rest stays 0
    part = value;
    p = end;
  }
  std::snprintf(state.time, sizeof state.time, "%02d:%02d:%02d", parts[0], parts[1], parts[2]);
}

void StoreDate(ReaderState& state, const char* text) {
  std::size_t i = 0;
  for (; i + 1 < sizeof state.date && text[i] != '\0'; ++i) {
    state.date[i] = text[i] == ' ' ? '/' : text[i];
  }
  state.date[i] = '\0';
}

}  // namespace

StatusRecord* ParseStatusLine(StatusRecord* record, char* line) {
  record->value_count = 0;
  char* pos = line;
  if (CutToken(&pos, "=") != nullptr) {
    char* value_text = CutToken(&pos, "\r\n");
    if (value_text != nullptr) {
      // The value text was cut at the first "\r", so the later cuts' "\r"
      // can never match: a quote alone delimits every value.
      char* vpos = value_text;
      for (;;) {
        char* token = CutToken(&vpos, "\"");
        if (token == nullptr) break;
        if (std::strcmp(token, " ") != 0) {
          CopyBounded(record->values[record->value_count], kStatusTextWidth, token);
          ++record->value_count;
        }
        if (record->value_count == kStatusValueCount) break;
      }
    }
    CopyBounded(record->key, sizeof record->key, line);
  } else {
    record->key[0] = '\0';
  }
  for (int i = record->value_count; i < kStatusValueCount; ++i) {
    record->values[i][0] = '\0';
  }
  return record;
}

void StoreStatusValue(ReaderState& state, StatusRecord* record, bool keep) {
  const char* key = record->key;
  const char* v1 = record->values[0];
  auto is = [key](const char* name) { return std::strcmp(key, name) == 0; };
  // Keys are told apart by their first letter before any full compare: a
  // reply holds mostly keys that name no status value.
  switch (key[0]) {
    case 'S':
      if (is("SM_PRESENT")) {
        state.card_present = std::strcmp(v1, "Yes") == 0;
      } else if (is("SM_FLASHFREE")) {
        state.sm_free_memory = ReadDecimal(v1);
      }
      break;
    case 'F':
      if (is("FLASHFREE")) {
        state.free_memory = ReadDecimal(v1);
      } else if (is("FLASHID")) {
        state.flash_size = MebibytesToBytes(record->values[1]);
      }
      break;
    case 'O':
      if (is("OFLASHID01")) state.card_flash_size = MebibytesToBytes(record->values[1]);
      break;
    case 'E':
      if (keep && is("EXTID")) state.extension_id = v1;
      break;
    case 'B':
      if (keep && is("BATTERY")) state.battery = v1;
      break;
    case 'U':
      if (keep && is("USERID")) state.user_id = v1;
      break;
    case 'T':
      if (is("TIME")) {
        StoreTime(state, v1);
      } else if (!keep && is("TITLECOUNT")) {
        state.title_count = ReadDecimal(v1);
      }
      break;
    case 'D':
      if (is("DATE")) StoreDate(state, v1);
      break;
    case 'V':
      if (keep && is("VERSION")) state.version = v1;
      break;
    default:
      break;
  }
}

int RefreshStatus(ReaderState& state) {
  ClearStatusList(state);
  Reply reply;
  if (DevQueryWhole(state, "__STATUS", &reply) != 0) return -1;
  ForEachLine(reply.text(), [&state](char* line, bool) {
    if (std::strchr(line, '=') == nullptr) return;
    auto* record = static_cast<StatusRecord*>(Os().allocate(sizeof(StatusRecord)));
    if (record == nullptr) return;
    ParseStatusLine(record, line);
    if (ListAddFresh(state.status_list, record) == 0) {
      StoreStatusValue(state, record, true);
    } else {
      // Nobody would own it: store what needs no reference, then free it.
      // Stored that way "TITLECOUNT" would count, which only the title
      // reply may set.
      if (std::strcmp(record->key, "TITLECOUNT") != 0) StoreStatusValue(state, record, false);
      Os().release(record);
    }
  });
  return 0;
}

}  // namespace pagora
