// A reader image on disk:
//
//   DIR/reader.ini        settings and title attributes (reader_ini.h)
//   DIR/internal/...      the files of internal memory
//   DIR/card/...          the files of the SmartMedia card
//
// Each storage folder holds top-level files and folders of files, one level
// deep, as the reader's listings can show them. Names beginning with a dot
// are not the reader's and are passed over.
//
// Names on disk and reader.ini are UTF-8, as a user edits them; the model
// holds them as the reader does, in Windows-1252 (disk_text.h). A name or a
// line of reader.ini with a character Windows-1252 lacks is a fault.
//
// Changes are written at once, each file through a temporary file and a
// rename. An upload writes the book file before reader.ini, a deletion
// rewrites reader.ini before it removes the file, so an interruption leaves
// at worst a book file without a title section, which loads as a title
// named after its file.
#pragma once

#include <string>

#include "image_writer.h"
#include "reader_model.h"

namespace readersim {

// Reads the image in `dir`. On a fault gives false and a message naming the
// file (and line, for reader.ini) and the fault.
bool LoadReaderImage(const std::string& dir, Reader* reader, std::string* error);

// Writes `reader` as a new image into `dir`, which must be missing or empty.
bool SaveNewImage(const std::string& dir, const Reader& reader, std::string* error);

class ImageFolder : public ImageWriter {
 public:
  explicit ImageFolder(std::string dir) : dir_(std::move(dir)) {}
  bool WriteFile(const Location& where, std::string_view data, std::string* error) override;
  bool RemoveFile(const Location& where, std::string* error) override;
  bool WriteMetadata(const Reader& reader, std::string* error) override;

 private:
  std::string dir_;
};

}  // namespace readersim
