// Keeps number fields to digits while the user types.
#pragma once

#include <cstdint>

#include "platform/edit_control.h"

namespace tallow {

// Removes the non-digits in front of the caret of |edit| and moves the caret
// with them. Called on every change of the control's text. 1 when the text
// was changed; 0 (nothing touched) for a null control or a selection that
// starts or ends at 0, which is also what the change notification of our own
// SetText sees.
int FilterDigitsInEdit(IEditControl* edit);

// Removes every character other than "0" to "9" in front of |caret| (moved
// back by one for each), leaving the rest alone; a caret beyond the end is
// put at the end. 1 when anything was removed. Only the first 65535
// characters are looked at, as far as a 16-bit caret reaches.
int RemoveNonDigits(WString& text, std::uint16_t& caret);

}  // namespace tallow
