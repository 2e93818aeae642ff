// reader.ini, the hand-editable half of a reader image: the reader's
// settings and the attributes of its titles, keyed by reader path.
//
//   [reader]    version, battery, extid, userid, date, time
//   [internal]  id, size_mib
//   [card]      present (yes/no), id, size_mib
//   [title book\Some Book.rb]   title, author, publisher, isbn, url,
//                               username, anno (one section per title;
//                               keys left out keep what the file name gives)
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "ini_file.h"
#include "reader_model.h"

namespace readersim {

struct TitleSection {
  Location where;
  TitleInfo info;  // made from the file name, then the section's keys
  int line = 0;
};

struct ReaderIni {
  Settings settings;
  std::string internal_id = "A1";
  std::uint32_t internal_mib = 8;
  bool card_present = false;
  std::string card_id = "B2";
  std::uint32_t card_mib = 16;
  int internal_mib_line = 0;  // where the sizes were given, 0 for defaults
  int card_mib_line = 0;
  std::vector<TitleSection> titles;
};

// Keys left out keep the defaults above. Unknown sections and keys, values
// the replies could not carry and a title section given twice are faults.
bool ReadReaderIni(std::string_view text, ReaderIni* ini, IniFault* fault);
std::string WriteReaderIni(const Reader& reader);

// The largest storage: its free bytes must fit the plugin's 32-bit signed
// numbers.
constexpr std::uint32_t kMaxStorageMib = 2047;

}  // namespace readersim
