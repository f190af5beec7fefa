// The three exports the program requires of the common codec library. The
// program never calls them, so they do nothing.
#include <cstdint>

#define DUMEL_EXPORT extern "C" __attribute__((visibility("default")))

DUMEL_EXPORT std::int32_t QelXMLEncode(void) { return 0; }
DUMEL_EXPORT std::int32_t QelXMLDecode(void) { return 0; }
DUMEL_EXPORT void QelCodecFree(void*) {}
