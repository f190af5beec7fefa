// A named lock that lets one instance of the program run per user, as the
// other system's CreateMutexW with a name: a second creator of the name, in
// this process or another of the user's, is told ERROR_ALREADY_EXISTS. It is
// an flock on a file in the user's runtime folder, so the kernel releases it
// when its holder ends, by a crash too.
#pragma once

#include "platform/result.h"

namespace tallow {

struct KernelObject;
using HANDLE = KernelObject*;

// The lock of |name| (null or empty: an unnamed one, which nobody else can
// name). The last error is ERROR_SUCCESS when the lock was free and is now
// held through the answer, ERROR_ALREADY_EXISTS when another handle holds
// it (the answer then holds nothing); null with the reason in the last error
// when no lock file can be opened. |securityAttributes| is not used.
HANDLE CreateMutexW(const void* securityAttributes, BOOL initialOwner, const char16_t* name);
// Gives up ownership; the name stays taken until the handle is closed.
// FALSE (ERROR_NOT_OWNER) when the handle does not own the lock.
BOOL ReleaseMutex(HANDLE mutex);
// Closes the handle, which frees the name if it held it. FALSE for null.
BOOL CloseHandle(HANDLE handle);

}  // namespace tallow
