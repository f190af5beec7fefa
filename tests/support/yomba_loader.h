// Loads the discovery stand-in by name, as the program does, and binds its
// entries for the network search.
#pragma once

#include "device/discovery.h"
#include "platform/library.h"

namespace tallow::test {

class YombaLibrary {
 public:
  explicit YombaLibrary(const char16_t* name = u"yomba.dll") {
    module_ = LoadLibraryW(name);
    if (!module_) return;
    bound_ = BindDiscoveryEntries(DiscoveryEntriesFrom(
        GetProcAddress(module_, "VKTGetDetectedMFPAddrW"),
        GetProcAddress(module_, "VKTGetDetectedMFPAddrSpecifyPortW"),
        GetProcAddress(module_, "VKTFreeMFPAddrW")));
  }
  ~YombaLibrary() {
    UnbindDiscoveryEntries();
    if (module_) FreeLibrary(module_);
  }
  YombaLibrary(const YombaLibrary&) = delete;
  YombaLibrary& operator=(const YombaLibrary&) = delete;

  bool ok() const { return bound_; }
  HMODULE module() const { return module_; }

 private:
  HMODULE module_ = nullptr;
  bool bound_ = false;
};

}  // namespace tallow::test
