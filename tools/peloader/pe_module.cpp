#include "tools/peloader/pe_module.h"

#include <strings.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <mutex>

#include "tools/peloader/export_table.h"
#include "tools/peloader/stdcall_call.h"
#include "tools/peloader/thread_block.h"

namespace pe {

namespace {

constexpr std::uint32_t kProcessDetach = 0;
constexpr std::uint32_t kProcessAttach = 1;

using EntryPoint = std::int32_t(PE_STDCALL*)(void* module, std::uint32_t reason, void* reserved);
using TlsCallback = void(PE_STDCALL*)(void* module, std::uint32_t reason, void* reserved);

std::mutex g_loaded_lock;
std::vector<PeModule*> g_loaded;

template <typename Fn>
Fn CodeAt(unsigned char* address) {
  Fn function = nullptr;
  static_assert(sizeof(function) == sizeof(address), "code and data addresses share a size");
  std::memcpy(&function, &address, sizeof(function));
  return function;
}

// Reads the TLS directory: the template for thread blocks and the callbacks.
int ReadTls(MappedImage* mapped, const Headers& headers, TlsTemplate* tls,
            std::vector<std::uint32_t>* callbacks, std::string* error) {
  const DataDirectory& dir = headers.directories[kTlsDirectory];
  if (dir.size == 0) return 0;
  const MappedImage& image = *mapped;
  const ByteView view = image.view();
  std::uint32_t start = 0, end = 0, index = 0, list = 0, zero_fill = 0;
  if (!view.U32(dir.rva, &start) || !view.U32(dir.rva + 4, &end) ||
      !view.U32(dir.rva + 8, &index) || !view.U32(dir.rva + 12, &list) ||
      !view.U32(dir.rva + 16, &zero_fill)) {
    *error = "the TLS directory lies outside the image";
    return -1;
  }
  // The directory holds addresses, already relocated: make them relative.
  const std::uint32_t base = image.address();
  const std::uint64_t data = std::uint64_t{start} - base;
  if (end < start || !view.Contains(data, end - start) || zero_fill > (1u << 20)) {
    *error = "the TLS template lies outside the image";
    return -1;
  }
  tls->data = image.base() + data;
  tls->size = end - start;
  tls->zero_fill = zero_fill;
  if (index != 0 && !mapped->Put32(std::uint64_t{index} - base, 0)) {
    *error = "the TLS index lies outside the image";
    return -1;
  }
  if (list == 0) return 0;
  // The list of callback addresses ends with a zero.
  for (std::uint64_t at = static_cast<std::uint64_t>(list) - base; view.Contains(at, 0); at += 4) {
    std::uint32_t callback = 0;
    if (!view.U32(at, &callback)) {
      *error = "the TLS callback list runs outside the image";
      return -1;
    }
    if (callback == 0) return 0;
    const std::uint64_t rva = std::uint64_t{callback} - base;
    if (!view.Contains(rva, 1)) {
      *error = "a TLS callback lies outside the image";
      return -1;
    }
    callbacks->push_back(static_cast<std::uint32_t>(rva));
  }
  *error = "the TLS callback list runs outside the image";
  return -1;
}

std::string FileName(const std::string& path) {
  const std::size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

}  // namespace

PeModule::~PeModule() { Unload(); }

int PeModule::LoadFile(const std::string& path, ImportResolver resolve, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot read " + path;
    return -1;
  }
  const std::vector<unsigned char> file((std::istreambuf_iterator<char>(in)),
                                        std::istreambuf_iterator<char>());
  return Load(file, path, resolve, error);
}

int PeModule::Load(const std::vector<unsigned char>& file, const std::string& path,
                   ImportResolver resolve, std::string* error) {
  Unload();
  headers_ = Headers();
  tls_callbacks_.clear();
  path_ = path;
  const ByteView bytes(file.data(), file.size());
  TlsTemplate tls;
  if (ParseHeaders(bytes, &headers_, error) != 0 || image_.Map(bytes, headers_, error) != 0 ||
      ApplyRelocations(&image_, headers_, error) != 0 ||
      CheckExports(image_.view(), headers_, error) != 0 ||
      BindImports(&image_, headers_, resolve, error) != 0 ||
      ReadTls(&image_, headers_, &tls, &tls_callbacks_, error) != 0) {
    image_.Unmap();
    return -1;
  }
  SetTlsTemplate(tls);
  tls_data_ = tls.data;
  {
    std::lock_guard<std::mutex> lock(g_loaded_lock);
    g_loaded.push_back(this);
  }
  if (Attach(error) != 0) {
    {
      std::lock_guard<std::mutex> lock(g_loaded_lock);
      g_loaded.erase(std::remove(g_loaded.begin(), g_loaded.end(), this), g_loaded.end());
    }
    ForgetTlsTemplate(tls_data_);
    image_.Unmap();
    return -1;
  }
  return 0;
}

void PeModule::RunTlsCallbacks(std::uint32_t reason) {
  for (std::uint32_t rva : tls_callbacks_) {
    Call("a TLS callback", CodeAt<TlsCallback>(image_.base() + rva), image_.base(), reason,
         nullptr);
  }
}

int PeModule::Attach(std::string* error) {
  RunTlsCallbacks(kProcessAttach);
  if (headers_.entry_point != 0) {
    const auto entry = CodeAt<EntryPoint>(image_.base() + headers_.entry_point);
    if (Call("DllMain", entry, image_.base(), kProcessAttach, nullptr) == 0) {
      // As Windows does when a DLL refuses to attach: it is told to detach.
      Call("DllMain", entry, image_.base(), kProcessDetach, nullptr);
      *error = "its DllMain refused to attach";
      return -1;
    }
  }
  attached_ = true;
  return 0;
}

void PeModule::Unload() {
  if (attached_) {
    RunTlsCallbacks(kProcessDetach);
    if (headers_.entry_point != 0) {
      Call("DllMain", CodeAt<EntryPoint>(image_.base() + headers_.entry_point), image_.base(),
           kProcessDetach, nullptr);
    }
    attached_ = false;
    std::lock_guard<std::mutex> lock(g_loaded_lock);
    g_loaded.erase(std::remove(g_loaded.begin(), g_loaded.end(), this), g_loaded.end());
  }
  ForgetTlsTemplate(tls_data_);
  tls_data_ = nullptr;
  image_.Unmap();
}

void* PeModule::Export(const char* name) const {
  return image_.base() != nullptr ? FindExport(image_.base(), image_.view(), headers_, name) : nullptr;
}

void* PeModule::Export(std::uint32_t ordinal) const {
  return image_.base() != nullptr ? FindExport(image_.base(), image_.view(), headers_, ordinal)
                                  : nullptr;
}

PeModule* FindLoadedModule(const void* base) {
  std::lock_guard<std::mutex> lock(g_loaded_lock);
  for (PeModule* module : g_loaded) {
    if (module->base() == base) return module;
  }
  return nullptr;
}

PeModule* FindModuleHolding(const void* address) {
  const auto* byte = static_cast<const unsigned char*>(address);
  std::lock_guard<std::mutex> lock(g_loaded_lock);
  for (PeModule* module : g_loaded) {
    if (byte >= module->base() && byte < module->base() + module->size()) return module;
  }
  return nullptr;
}

PeModule* FindLoadedModule(const char* file_name) {
  std::lock_guard<std::mutex> lock(g_loaded_lock);
  for (PeModule* module : g_loaded) {
    if (strcasecmp(FileName(module->path()).c_str(), file_name) == 0) return module;
  }
  return nullptr;
}

}  // namespace pe
