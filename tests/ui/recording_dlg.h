// A dialog of any template that writes down the commands and notifications
// it is sent, for the tests of the layer's controls and windows.
#pragma once

#include <utility>
#include <vector>

#include "platform/ui/dialog.h"

namespace tallow::ui::testing {

struct Event {
  int id;
  int code;
  int item = 0;      // list row; -1 for none
  UINT oldState = 0;
  UINT newState = 0;
  UINT changed = 0;
  friend bool operator==(const Event&, const Event&) = default;
};

class RecordingDlg : public CDialog {
 public:
  explicit RecordingDlg(int templateId, CDialog* parent = nullptr) : CDialog(templateId, parent) {}

  // Set before the window is made.
  std::vector<std::pair<int, int>> watchCommands;
  std::vector<std::pair<int, int>> watchNotifies;
  LRESULT notifyAnswer = 0;

  std::vector<Event> events;
  std::vector<std::pair<UINT, Size>> sizes;  // WM_SIZE type and client size
  std::vector<UINT> sysCommands;
  int paints = 0;

 protected:
  void DeclareMessageMap(MessageMap& map) override {
    for (auto [id, code] : watchCommands) {
      map.OnCommand(id, code, [this, id = id, code = code] { events.push_back({id, code}); });
    }
    for (auto [id, code] : watchNotifies) {
      map.OnNotify(id, code, [this](NMHDR* h, LRESULT* result) {
        Event e{h->idFrom, h->code};
        if (h->code == LVN_ITEMCHANGED || h->code == LVN_DELETEITEM ||
            h->code == LVN_DELETEALLITEMS) {
          const auto* nm = reinterpret_cast<const NMLISTVIEW*>(h);
          e.item = nm->iItem;
          e.oldState = nm->uOldState;
          e.newState = nm->uNewState;
          e.changed = nm->uChanged;
        } else if (h->code == NM_CLICK || h->code == NM_RCLICK) {
          if (GetDlgItem(h->idFrom)->Kind() == ControlKind::kListView) {
            e.item = reinterpret_cast<const NMITEMACTIVATE*>(h)->iItem;
          }
        }
        events.push_back(e);
        *result = notifyAnswer;
      });
    }
  }
  void OnSize(UINT type, int cx, int cy) override { sizes.push_back({type, Size{cx, cy}}); }
  void OnSysCommand(UINT id, LPARAM param) override {
    sysCommands.push_back(id);
    CDialog::OnSysCommand(id, param);
  }
  void OnPaint() override { ++paints; }
};

}  // namespace tallow::ui::testing
