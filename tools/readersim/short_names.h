// 8.3 short names for the entries of one directory, made the way FAT file
// systems make them: upper case, blanks and dots dropped, "~N" tails for
// names that do not fit or that collide.
#pragma once

#include <string>
#include <vector>

namespace readersim {

struct ShortName {
  std::string base;  // at most 8 characters
  std::string ext;   // at most 3 characters
};

// Short names for `long_names`, in the same order. The entries of one
// directory share one name space, so all of them are passed at once; an
// earlier entry gets the lower "~N".
std::vector<ShortName> MakeShortNames(const std::vector<std::string>& long_names);

}  // namespace readersim
