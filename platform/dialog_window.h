// What the text functions need of a dialog window: its caption and the
// texts of its controls. The window layer implements it for its dialogs.
#pragma once

#include "platform/text.h"

namespace tallow {

class DialogWindow {
 public:
  virtual ~DialogWindow() = default;
  virtual void SetCaption(WStringView text) = 0;
  // Whether the dialog has a control with |controlId|.
  virtual bool HasControl(int controlId) const = 0;
  // Only called for a control that exists.
  virtual void SetControlText(int controlId, WStringView text) = 0;
};

}  // namespace tallow
