// Finds the MFPs attached by USB: the Still Image service's devices whose
// hardware id ("MatchingDeviceId" under the device's class key) names the
// maker's vendor id "vid_1144".
#pragma once

#include "platform/text.h"

namespace tallow {

inline constexpr const char16_t* kUsbVendorId = u"vid_1144";

// True when |hardwareId| contains kUsbVendorId, ignoring ASCII case. An
// empty id never does.
bool IsOurUsbDevice(WStringView hardwareId);

// Empties |ids|, then appends one row per kept device, in the service's
// order: its description to |names|, its internal name to |ids| and an empty
// text to |addresses|.
void EnumerateUsbDevices(WStringList& names, WStringList& ids, WStringList& addresses);

}  // namespace tallow
