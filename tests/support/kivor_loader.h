// Loads the XML and HTTP library the way the program does (by name, from the
// program's folder) and binds its table for the channels.
#pragma once

#include <dlfcn.h>
#include <link.h>

#include "contracts/xml_http_api.h"
#include "device/xml_api_binding.h"
#include "platform/library.h"

namespace tallow::test {

// LeakSanitizer reads every thread's dynamic TLS at exit, and glibc leaves a
// stale entry behind for an unloaded library that had some (gnutls and
// p11-kit come in under libcurl): once loaded, the XML library stays for the
// rest of the test process.
inline void KeepLoaded(HMODULE module) {
  link_map* map = nullptr;
  if (dlinfo(module, RTLD_DI_LINKMAP, &map) != 0 || !map || !map->l_name) return;
  if (void* pin = dlopen(map->l_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE)) dlclose(pin);
}

class KivorLibrary {
 public:
  KivorLibrary() {
    module_ = LoadLibraryW(u"kivor.dll");
    if (!module_) return;
    KeepLoaded(module_);
    auto fill = reinterpret_cast<GetHTTPXMLFn>(GetProcAddress(module_, "GetHTTPXML"));
    if (fill && fill(&table_, sizeof table_)) bound_ = BindXmlHttpApi(&table_);
  }
  // The library stays loaded: its HTTP stack leaves thread-local storage in
  // the threads that used it, which LeakSanitizer walks at the process's
  // end and crashes on once the library is gone.
  ~KivorLibrary() { BindXmlHttpApi(nullptr); }
  KivorLibrary(const KivorLibrary&) = delete;
  KivorLibrary& operator=(const KivorLibrary&) = delete;

  bool ok() const { return bound_; }
  const XmlHttpApi& api() const { return table_; }

 private:
  HMODULE module_ = nullptr;
  XmlHttpApi table_{};
  bool bound_ = false;
};

}  // namespace tallow::test
