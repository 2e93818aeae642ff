// Where the reader's changes go when its image lives in a folder on disk.
// The reader calls these around every change so that the image on disk never
// holds less than a consistent state (see image_folder.h for the order).
#pragma once

#include <string>
#include <string_view>

#include "reader_model.h"

namespace readersim {

class ImageWriter {
 public:
  virtual ~ImageWriter() = default;
  // Each gives false and an error text when the disk refused.
  virtual bool WriteFile(const Location& where, std::string_view data, std::string* error) = 0;
  virtual bool RemoveFile(const Location& where, std::string* error) = 0;
  virtual bool WriteMetadata(const Reader& reader, std::string* error) = 0;
};

}  // namespace readersim
