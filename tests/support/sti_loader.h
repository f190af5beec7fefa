// Loads the Still Image stand-in by name, as the program does, and binds its
// entry for the USB channel and the enumeration.
#pragma once

#include "device/sti_binding.h"
#include "platform/library.h"

namespace tallow::test {

class StiLibrary {
 public:
  StiLibrary() {
    module_ = LoadLibraryW(u"sti.dll");
    if (module_) entry_ = GetProcAddress(module_, "StiCreateInstanceW");
    BindStiCreateInstance(entry_);
  }
  ~StiLibrary() {
    BindStiCreateInstance(nullptr);
    if (module_) FreeLibrary(module_);
  }
  StiLibrary(const StiLibrary&) = delete;
  StiLibrary& operator=(const StiLibrary&) = delete;

  bool ok() const { return entry_ != nullptr; }
  StiCreateInstanceWFn entry() const { return reinterpret_cast<StiCreateInstanceWFn>(entry_); }

 private:
  HMODULE module_ = nullptr;
  FARPROC entry_ = nullptr;
};

}  // namespace tallow::test
