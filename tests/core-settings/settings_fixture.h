// A message box that records instead of showing, and the scratch folder and
// environment helpers the settings tests use for a fresh home folder.
#pragma once

#include <vector>

#include "platform/message_box.h"
#include "platform/text.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace tallow::test {

struct ShownBox {
  HWND owner;
  WString text;
  WString caption;
  UINT type;
};

class RecordingMessageBox : public MessageBoxBackend {
 public:
  int Show(HWND owner, WStringView text, WStringView caption, UINT type) override {
    shown.push_back({owner, WString(text), WString(caption), type});
    return IDOK;
  }
  std::vector<ShownBox> shown;
};

}  // namespace tallow::test
