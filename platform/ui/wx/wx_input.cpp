// The user's input on the controls, carried to the layer; the layer then
// has the last word on what each control shows.
#include "platform/ui/wx/wx_impl.h"
#include "platform/ui/wx/wx_widgets.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/listctrl.h>
#include <wx/textctrl.h>
#include <wx/treectrl.h>

namespace tallow::ui {

void WxBackend::Impl::BindControl(Window& w, std::size_t index, const ControlTemplate& t) {
  const int id = t.id;
  CDialog* d = w.dialog;
  const std::uint64_t serial = w.serial;
  Slot& slot = w.slots[index];
  wxWindow* win = slot.win;
  // The layer learns where the focus went, so that edits tell their parent.
  if (id != IDC_STATIC) {
    slot.input->Bind(wxEVT_SET_FOCUS, [this, d, serial, id](wxFocusEvent& e) {
      e.Skip();
      Window* w = Live(d, serial);
      if (!w) return;
      w->appliedFocus = id;
      Deliver([this, d, serial, id] {
        if (!Live(d, serial)) return;
        d->SetFocusId(id);
        ScheduleFlush();
      });
    });
  }
  // After any input the layer has the last word on what the control shows.
  const auto after = [this, d, serial, index] {
    if (Window* w = Live(d, serial)) {
      w->slots[index].dirty = true;
      ScheduleFlush();
    }
  };
  switch (t.kind) {
    case ControlKind::kButton:
      if (auto* icon = dynamic_cast<IconButton*>(win)) {
        icon->onClick = [this, d, serial, id] {
          if (Live(d, serial)) d->InputClick(id);
          ScheduleFlush();
        };
      } else {
        win->Bind(wxEVT_BUTTON, [this, d, serial, id](wxCommandEvent&) {
          if (Live(d, serial)) d->InputClick(id);
          ScheduleFlush();
        });
      }
      break;
    case ControlKind::kCheckBox:
      win->Bind(wxEVT_CHECKBOX, [this, d, serial, id, after](wxCommandEvent&) {
        if (updating || !Live(d, serial)) return;
        d->InputClick(id);  // the layer toggles and tells us the new state
        after();
      });
      break;
    case ControlKind::kRadio: {
      const int group = slot.group;
      win->Bind(wxEVT_RADIOBUTTON, [this, d, serial, id, group](wxCommandEvent&) {
        if (updating || !Live(d, serial)) return;
        d->InputClick(id);
        if (Window* w = Live(d, serial)) {
          // GTK switched the buttons itself; the layer's checks are the ones shown.
          ApplyRadioGroup(*w, group);
        }
      });
      break;
    }
    case ControlKind::kEdit: {
      auto* edit = static_cast<wxTextCtrl*>(win);
      // Digits-only edits refuse other printable keys, as the other system's do.
      edit->Bind(wxEVT_CHAR, [this, d, serial, index](wxKeyEvent& e) {
        Window* w = Live(d, serial);
        Control* c = w ? ControlAt(*w, index) : nullptr;
        const int key = e.GetUnicodeKey();
        if (c && c->IsDigitsOnly() && key >= 32 && key != WXK_NONE && !(key >= '0' && key <= '9')) {
          return;
        }
        e.Skip();
      });
      edit->Bind(wxEVT_TEXT, [this, d, serial, index, edit](wxCommandEvent&) {
        if (updating) return;
        Window* w = Live(d, serial);
        Control* c = w ? ControlAt(*w, index) : nullptr;
        if (!c) return;
        const WString typed = FromWx(edit->GetValue());
        if (typed.size() > static_cast<std::size_t>(c->GetLimitText())) {
          ++updating;
          edit->ChangeValue(ToWx(c->GetText()));
          --updating;
          return;
        }
        if (typed != c->GetText()) c->SetText(typed);
      });
      break;
    }
    case ControlKind::kUpDown:
      static_cast<UpDownWindow*>(win)->onSpin = [this, d, serial, index](int delta) {
        Window* w = Live(d, serial);
        if (auto* spin = dynamic_cast<CSpinButtonCtrl*>(w ? ControlAt(*w, index) : nullptr)) {
          spin->InputSpin(delta);
        }
        ScheduleFlush();
      };
      break;
    case ControlKind::kComboBox:
      win->Bind(wxEVT_CHOICE, [this, d, serial, index, after](wxCommandEvent& e) {
        if (updating) return;
        Window* w = Live(d, serial);
        if (auto* combo = dynamic_cast<CComboBox*>(w ? ControlAt(*w, index) : nullptr)) {
          combo->InputSelect(e.GetSelection());
        }
        after();
      });
      break;
    case ControlKind::kListView: {
      auto* list = static_cast<wxListCtrl*>(win);
      wxWindow* rows = slot.input;
      // Clicks go to the layer, which selects and tells its parent; the wx
      // list then shows what the layer holds.
      const auto click = [this, d, serial, index, list, rows, after](wxMouseEvent& e, bool right) {
        Window* w = Live(d, serial);
        auto* lv = dynamic_cast<CListCtrl*>(w ? ControlAt(*w, index) : nullptr);
        if (!lv) return;
        FlushSlot(*w, index);
        int flags = 0;
        long row = list->HitTest(e.GetPosition(), flags);
        if (!(flags & wxLIST_HITTEST_ONITEM)) row = -1;
        rows->SetFocus();
        const wxPoint screen = rows->ClientToScreen(e.GetPosition());
        const Point at{screen.x, screen.y};
        lv->InputClick(static_cast<int>(row), right, &at);
        after();
      };
      rows->Bind(wxEVT_LEFT_DOWN, [click](wxMouseEvent& e) { click(e, false); });
      rows->Bind(wxEVT_RIGHT_DOWN, [click](wxMouseEvent& e) { click(e, true); });
      rows->Bind(wxEVT_LEFT_DCLICK, [](wxMouseEvent&) {});
      rows->Bind(wxEVT_RIGHT_DCLICK, [](wxMouseEvent&) {});
      // The keyboard moves the wx selection first; the layer hears of it as
      // a click on the row that got it.
      list->Bind(wxEVT_LIST_ITEM_SELECTED, [this, d, serial, index, after](wxListEvent& e) {
        if (updating) return;
        Window* w = Live(d, serial);
        if (auto* lv = dynamic_cast<CListCtrl*>(w ? ControlAt(*w, index) : nullptr)) {
          lv->InputClick(static_cast<int>(e.GetIndex()), false, nullptr);
        }
        after();
      });
      break;
    }
    case ControlKind::kTreeView: {
      auto* tree = static_cast<wxTreeCtrl*>(win);
      tree->Bind(wxEVT_LEFT_DOWN, [this, d, serial, index, tree, after](wxMouseEvent& e) {
        Window* w = Live(d, serial);
        auto* tv = dynamic_cast<CTreeCtrl*>(w ? ControlAt(*w, index) : nullptr);
        if (!tv) return;
        FlushSlot(*w, index);
        tree->SetFocus();
        tv->InputClick(Point{e.GetX(), e.GetY()});
        after();
      });
      tree->Bind(wxEVT_LEFT_DCLICK, [](wxMouseEvent&) {});
      tree->Bind(wxEVT_RIGHT_DOWN, [](wxMouseEvent&) {});
      // The layer opens and closes items; the user has no way to yet.
      const auto veto = [this](wxTreeEvent& e) {
        if (!updating) e.Veto();
      };
      tree->Bind(wxEVT_TREE_ITEM_EXPANDING, veto);
      tree->Bind(wxEVT_TREE_ITEM_COLLAPSING, veto);
      // No name tips: a tip stands over the rows below the name and takes
      // the click meant for them. A cut name is reached by the scroll bar.
      tree->Bind(wxEVT_TREE_ITEM_GETTOOLTIP, [](wxTreeEvent& e) { e.Veto(); });
      // The keyboard moves the wx selection; the layer's tree follows it
      // without a click.
      tree->Bind(wxEVT_TREE_SEL_CHANGED, [this, d, serial, index, after](wxTreeEvent& e) {
        if (updating) return;
        Window* w = Live(d, serial);
        auto* tv = dynamic_cast<CTreeCtrl*>(w ? ControlAt(*w, index) : nullptr);
        if (!tv || !e.GetItem().IsOk()) return;
        const TreeState* state = w->slots[index].tree.get();
        if (!state) return;
        auto found = state->fromWx.find(e.GetItem().GetID());
        if (found != state->fromWx.end()) tv->InputSelect(found->second);
        after();
      });
      break;
    }
    default:
      break;
  }
}

}  // namespace tallow::ui
