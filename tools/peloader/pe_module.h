// A 32-bit Windows DLL loaded into this process as Windows would load it:
// sections mapped, base relocations applied, every import bound to a
// stand-in, TLS callbacks and DllMain run. Its exports are found by name or
// by ordinal and called through stdcall function types (stdcall_call.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/peloader/import_binding.h"
#include "tools/peloader/mapped_image.h"
#include "tools/peloader/pe_headers.h"

namespace pe {

class PeModule {
 public:
  PeModule() = default;
  ~PeModule();
  PeModule(const PeModule&) = delete;
  PeModule& operator=(const PeModule&) = delete;

  // Loads the image in `file` (named `path` in messages) with imports bound
  // by `resolve`. A fault in the image is found before any of its code runs.
  // Returns 0, or -1 with `error` naming the fault.
  int Load(const std::vector<unsigned char>& file, const std::string& path, ImportResolver resolve,
           std::string* error);
  // Reads `path` and loads it.
  int LoadFile(const std::string& path, ImportResolver resolve, std::string* error);

  // Detaches the module (TLS callbacks, then DllMain) and unmaps it.
  void Unload();

  bool loaded() const { return attached_; }
  unsigned char* base() const { return image_.base(); }
  std::uint32_t size() const { return image_.size(); }
  const std::string& path() const { return path_; }

  void* Export(const char* name) const;
  void* Export(std::uint32_t ordinal) const;

 private:
  int Attach(std::string* error);
  void RunTlsCallbacks(std::uint32_t reason);

  Headers headers_;
  MappedImage image_;
  std::string path_;
  std::vector<std::uint32_t> tls_callbacks_;  // relative addresses
  const unsigned char* tls_data_ = nullptr;   // the TLS template, in the image
  bool attached_ = false;
};

// The module loaded at `base`, or nullptr: how a module handle the module
// passes back (GetProcAddress on itself) is recognised.
PeModule* FindLoadedModule(const void* base);

// The module whose image holds `address`, or nullptr.
PeModule* FindModuleHolding(const void* address);

// The module loaded from a file of that name (without its folder, any
// letter case), or nullptr.
PeModule* FindLoadedModule(const char* file_name);

}  // namespace pe
