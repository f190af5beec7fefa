// The Still Image service as the program calls it: the contract with the
// service library, and the two services of the system around it.
#pragma once

#include "contracts/still_image.h"
#include "platform/result.h"

namespace tallow {

// The service's results are the system's own codes.
static_assert(STI_OK == S_OK && STI_NOT_LOCKED == S_FALSE);
static_assert(STIERR_UNSUPPORTED == E_NOTIMPL && STIERR_GENERIC == E_FAIL &&
              STIERR_OUTOFMEMORY == E_OUTOFMEMORY && STIERR_INVALID_PARAM == E_INVALIDARG);
static_assert(STIERR_DEVICE_NOTREADY == HRESULT_FROM_WIN32(ERROR_NOT_READY) &&
              STIERR_DEVICE_LOCKED == HRESULT_FROM_WIN32(ERROR_LOCK_VIOLATION) &&
              STIERR_INVALID_DEVICE_NAME == HRESULT_FROM_WIN32(ERROR_INVALID_NAME) &&
              STIERR_NOT_CONNECTED == HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED) &&
              STIERR_TIMEOUT == HRESULT_FROM_WIN32(ERROR_TIMEOUT));

// Frees a block that the service handed out. Null does nothing.
void LocalFree(void* block);

// The program's own module (null name), as handed to StiCreateInstanceW.
HINSTANCE GetModuleHandleW(const char16_t* name);

}  // namespace tallow
