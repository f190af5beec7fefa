#include "platform/still_image.h"

#include <dlfcn.h>

#include <cstdlib>

namespace tallow {

void LocalFree(void* block) { std::free(block); }

HINSTANCE GetModuleHandleW(const char16_t* name) {
  if (name) return nullptr;  // only the program itself is ever asked for
  // The program's own handle stays valid however often it is taken, so the
  // reference is given back at once.
  void* self = ::dlopen(nullptr, RTLD_LAZY | RTLD_NOLOAD);
  if (self) ::dlclose(self);
  return self;
}

}  // namespace tallow
