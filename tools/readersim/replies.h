// The reader's text replies: "__STATUS", "__TITLES", and the fixed-column
// directory listings of "__DIR" (internal memory) and "__SMDIR" (card).
#pragma once

#include <string>

#include "reader_model.h"

namespace readersim {

std::string StatusReply(const Reader& reader);
std::string TitlesReply(const Reader& reader);
std::string ListingReply(const Storage& storage, bool card);

}  // namespace readersim
