// Loads the XML and HTTP library the way the program does (by name, from the
// program's folder) and binds its table for the channels.
#pragma once

#include "contracts/xml_http_api.h"
#include "device/xml_api_binding.h"
#include "platform/library.h"

namespace tallow::test {

class KivorLibrary {
 public:
  KivorLibrary() {
    module_ = LoadLibraryW(u"kivor.dll");
    if (!module_) return;
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
