// The little of an edit control that the system's own code drives directly;
// the window layer implements it over its real controls.
#pragma once

#include "platform/result.h"
#include "platform/text.h"

namespace tallow {

class IEditControl {
 public:
  virtual ~IEditControl() = default;
  virtual WString GetText() const = 0;
  // Selection as character positions; start == end is the caret.
  virtual void GetSel(DWORD* start, DWORD* end) const = 0;
  // Setting the text raises the control's change notification, with the
  // selection at 0 while it runs.
  virtual void SetText(WStringView text) = 0;
  virtual void SetSel(DWORD start, DWORD end) = 0;
  virtual void ScrollCaret() = 0;
};

}  // namespace tallow
