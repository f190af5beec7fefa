// Controls: each template entry becomes a wx control where the layer put
// it, and shows what the layer holds.
#include "platform/ui/wx/wx_impl.h"
#include "platform/ui/wx/wx_widgets.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/gauge.h>
#include <wx/listctrl.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/treectrl.h>

#include <gtk/gtk.h>

#include <algorithm>
#include <map>
#include <vector>

namespace tallow::ui {

namespace {

// A one-pixel black line round a scrolled window and its scroll bars: the
// line a bordered control has, drawn by GTK where wx would draw it inside
// the scroll bars.
void FrameInBlack(GtkWidget* scrolled) {
  static GtkCssProvider* const css = [] {
    GtkCssProvider* provider = gtk_css_provider_new();
    gtk_css_provider_load_from_data(provider, "scrolledwindow.frame { border: 1px solid black; }", -1,
                                    nullptr);
    return provider;
  }();
  gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scrolled), GTK_SHADOW_IN);
  gtk_style_context_add_provider(gtk_widget_get_style_context(scrolled), GTK_STYLE_PROVIDER(css),
                                 GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
}

}  // namespace

wxWindow* WxBackend::Impl::MakeControl(Window& w, std::size_t index, const ControlTemplate& t,
                                       const Rect& px) {
  wxPanel* parent = w.client;
  const wxPoint pos(px.x, px.y);
  const wxSize size(std::max(px.cx, 0), std::max(px.cy, 0));
  const wxString text = ToWx(t.text ? WStringView(t.text) : WStringView());
  const DWORD s = t.style;
  const long border = (s & WS_BORDER) ? wxBORDER_SIMPLE : wxBORDER_NONE;
  Slot& slot = w.slots[index];
  switch (t.kind) {
    case ControlKind::kStatic: {
      long style = (s & 0x3u) == SS_CENTER ? wxALIGN_CENTRE_HORIZONTAL : wxALIGN_LEFT;
      if (s & SS_ENDELLIPSIS) style |= wxST_ELLIPSIZE_END;
      return new wxStaticText(parent, wxID_ANY, wxString(), pos, size, style | wxST_NO_AUTORESIZE);
    }
    case ControlKind::kIcon:
    case ControlKind::kPicture: {
      auto* canvas = new Canvas(parent, pos, size);
      CDialog* d = w.dialog;
      const std::uint64_t serial = w.serial;
      const bool bordered = (s & WS_BORDER) != 0;
      const bool blackFrame = t.kind == ControlKind::kPicture && (s & SS_TYPEMASK) == SS_BLACKFRAME;
      canvas->paint = [this, d, serial, index, canvas, bordered, blackFrame](wxDC& dc) {
        Window* win = Live(d, serial);
        Control* c = win ? ControlAt(*win, index) : nullptr;
        if (!c) return;
        ++win->slots[index].paints;
        const wxSize sz = canvas->GetClientSize();
        const int inset = bordered ? 1 : 0;
        dc.SetBrush(*wxTRANSPARENT_BRUSH);
        dc.SetPen(*wxBLACK_PEN);
        if (bordered) dc.DrawRectangle(0, 0, sz.x, sz.y);
        if (blackFrame) dc.DrawRectangle(inset, inset, sz.x - 2 * inset, sz.y - 2 * inset);
        if (c->Kind() == ControlKind::kIcon && c->GetIcon()) {
          const int iconSize = NaturalSize(c->GetIcon());
          dc.DrawBitmap(IconBitmap(c->GetIcon(), iconSize), inset, inset, true);
        }
        dc.SetClippingRegion(inset, inset, sz.x - 2 * inset, sz.y - 2 * inset);
        PaintSurface(dc, c->GetSurface(), wxPoint(inset, inset));
        dc.DestroyClippingRegion();
      };
      return canvas;
    }
    case ControlKind::kButton: {
      if (s & BS_ICON) return new IconButton(parent, pos, size);
      auto* button = new wxButton(parent, wxID_ANY, text, pos, size);
      if ((s & BS_TYPEMASK) == BS_DEFPUSHBUTTON) button->SetDefault();
      return button;
    }
    case ControlKind::kCheckBox:
      return new wxCheckBox(parent, wxID_ANY, text, pos, size);
    case ControlKind::kRadio: {
      // The first radio button of a layer group starts a GTK group, and the
      // hidden "none" button joins it at once; the group's other buttons follow.
      RadioGroup& group = w.radioGroups[static_cast<std::size_t>(slot.group)];
      const bool first = group.members.empty();
      group.members.push_back(index);
      auto* radio = new wxRadioButton(parent, wxID_ANY, text, pos, size, first ? wxRB_GROUP : 0);
      if (first) {
        group.none = new wxRadioButton(parent, wxID_ANY, wxString(), pos, wxSize(0, 0));
        group.none->Hide();
        group.none->SetValue(true);
      }
      return radio;
    }
    case ControlKind::kGroupBox:
      return new wxStaticBox(parent, wxID_ANY, text, pos, size);
    case ControlKind::kEdit: {
      long style = 0;
      if (s & ES_PASSWORD) style |= wxTE_PASSWORD;
      if (s & ES_READONLY) style |= wxTE_READONLY;
      if (!(s & WS_BORDER)) style |= wxBORDER_NONE;
      return new wxTextCtrl(parent, wxID_ANY, text, pos, size, style);
    }
    case ControlKind::kProgress:
      return new wxGauge(parent, wxID_ANY, 100, pos, size,
                         wxGA_HORIZONTAL | ((s & PBS_SMOOTH) ? wxGA_SMOOTH : 0));
    case ControlKind::kUpDown:
      return new UpDownWindow(parent, pos, size);
    case ControlKind::kListView: {
      long style = wxLC_REPORT | border;
      if (s & LVS_SINGLESEL) style |= wxLC_SINGLE_SEL;
      slot.list = std::make_unique<ListState>();
      slot.list->unitsX = w.units.x;
      slot.list->referenceX = ReferenceBaseUnits(*w.dialog->Template()).x;
      return new wxListCtrl(parent, wxID_ANY, pos, size, style);
    }
    case ControlKind::kTreeView: {
      // The layer's trees have any number of top items: wx's root stays hidden.
      // The border is the scrolled window's own (below), so that it goes
      // round the scroll bar too, as round the list's.
      long style = wxTR_HIDE_ROOT | wxTR_SINGLE | wxBORDER_NONE;
      style |= (s & TVS_HASBUTTONS) ? wxTR_HAS_BUTTONS : wxTR_NO_BUTTONS;
      if (!(s & TVS_HASLINES)) style |= wxTR_NO_LINES;
      if (s & TVS_LINESATROOT) style |= wxTR_LINES_AT_ROOT;
      slot.tree = std::make_unique<TreeState>();
      auto* tree = new wxTreeCtrl(parent, wxID_ANY, pos, size, style);
      tree->AddRoot(wxString());
      // A name wider than the tree is reached by its scroll bar, which shows
      // whenever the names need it: GTK's overlay bar is drawn only while the
      // pointer moves over the tree.
      if (GtkWidget* scrolled = static_cast<GtkWidget*>(tree->GetHandle());
          scrolled && GTK_IS_SCROLLED_WINDOW(scrolled)) {
        gtk_scrolled_window_set_overlay_scrolling(GTK_SCROLLED_WINDOW(scrolled), FALSE);
        if (s & WS_BORDER) FrameInBlack(scrolled);
      }
      return tree;
    }
    case ControlKind::kComboBox:
      // As tall as the theme makes it; MakeControls sets the height.
      return new wxChoice(parent, wxID_ANY, pos, wxSize(size.x, -1));
  }
  return new wxPanel(parent, wxID_ANY, pos, size);
}

void WxBackend::Impl::MakeControls(Window& w, const DialogTemplate& t) {
  const auto& controls = w.dialog->Controls();
  const std::size_t count = std::min(controls.size(), t.controls.size());
  w.slots.resize(count);
  // The layer's radio groups: each control with WS_GROUP starts the next.
  int groupNo = -1;
  std::map<int, int> radioGroupOf;
  for (std::size_t i = 0; i < count; ++i) {
    const ControlTemplate& ct = t.controls[i];
    if (i == 0 || (ct.style & WS_GROUP)) ++groupNo;
    w.slots[i].kind = ct.kind;
    if (ct.kind != ControlKind::kRadio) continue;
    auto [it, added] = radioGroupOf.emplace(groupNo, static_cast<int>(w.radioGroups.size()));
    if (added) w.radioGroups.emplace_back();
    w.slots[i].group = it->second;
  }
  for (std::size_t i = 0; i < count; ++i) {
    const ControlTemplate& ct = t.controls[i];
    Control& c = *controls[i];
    // Where the layer put it: its pixel rectangle (an up-down aligned on its
    // buddy and the narrowed buddy included).
    Rect px = c.GetPixelRect();
    wxWindow* win = MakeControl(w, i, ct, px);
    if (ct.kind == ControlKind::kComboBox) {
      // The template's height includes the dropped-down list; closed, the box
      // is as tall as the theme needs.
      px.cy = std::min(px.cy, win->GetBestSize().y);
    }
    win->SetSize(px.x, px.y, px.cx, px.cy);
    Slot& slot = w.slots[i];
    slot.win = win;
    slot.input = win;
    if (auto* list = dynamic_cast<wxListCtrl*>(win)) {
      // The generic list takes the mouse and the focus in its row window.
      for (wxWindow* child : list->GetChildren()) {
        if (static_cast<void*>(child) == static_cast<void*>(list->m_mainWin)) slot.input = child;
      }
    }
    if (!c.IsVisible()) win->Hide();
    if (!c.IsEnabled()) win->Disable();
    w.indexOf[&c] = i;
    BindControl(w, i, ct);
  }
}

namespace {

// The room a check box or radio button takes beyond its text: the
// indicator and its gap, as GTK draws them.
int IndicatorRoom(wxWindow* parent, ControlKind kind) {
  const wxString probe = "Probe";
  wxControl* control = kind == ControlKind::kRadio
                           ? static_cast<wxControl*>(new wxRadioButton(parent, wxID_ANY, probe))
                           : new wxCheckBox(parent, wxID_ANY, probe);
  const int room = control->GetBestSize().x - control->GetTextExtent(probe).x;
  control->Destroy();
  return room;
}

}  // namespace

// The templates were laid out for a font whose labels run narrower, for
// its average letter, than the desktop's do: measured by that letter, a
// label such as "Destination Folder:" outgrows its control. The geometry
// stays that of the template font; the text's font is made smaller, a
// quarter point at a time, down to three quarters of it at most, until
// every label fits. It is chosen before the controls are made, which take
// it from their panel: GTK's labels do not follow a later change of font.
void WxBackend::Impl::FitTexts(Window& w, const DialogTemplate& t) {
  constexpr double kStep = 0.25;
  wxFont font = w.client->GetFont();
  const double nominal = font.GetFractionalPointSize();
  double points = nominal;
  if (auto cached = fittedPoints.find(&t); cached != fittedPoints.end()) {
    points = cached->second;
  } else {
    const auto& controls = w.dialog->Controls();
    const int lineHeight = w.client->GetCharHeight();
    std::map<ControlKind, int> indicator;
    // Each label whose width must fit: its text, the room its control
    // takes beside the text, and the control's width.
    struct Label {
      wxString text;
      int extra;
      int width;
    };
    std::vector<Label> labels;
    for (std::size_t i = 0; i < std::min(controls.size(), t.controls.size()); ++i) {
      const ControlTemplate& c = t.controls[i];
      const Rect px = controls[i]->GetPixelRect();
      Label label{wxControl::RemoveMnemonics(ToWx(c.text ? WStringView(c.text) : WStringView())),
                  0, px.cx};
      if (label.text.empty()) continue;
      switch (c.kind) {
        case ControlKind::kStatic:
          if (px.cy >= 2 * lineHeight) continue;  // it may wrap
          break;
        case ControlKind::kCheckBox:
        case ControlKind::kRadio:
          if (!indicator.count(c.kind)) indicator[c.kind] = IndicatorRoom(w.client, c.kind);
          label.extra = indicator[c.kind];
          break;
        case ControlKind::kButton:
        case ControlKind::kGroupBox:
          if (c.style & BS_ICON) continue;
          label.extra = 2 * w.units.x;
          break;
        default:
          continue;
      }
      labels.push_back(label);
    }
    const auto fits = [&](const wxFont& f) {
      for (const Label& label : labels) {
        int width = 0;
        w.client->GetTextExtent(label.text, &width, nullptr, nullptr, nullptr, &f);
        if (label.extra + width > label.width) return false;
      }
      return true;
    };
    for (;; points -= kStep) {
      font.SetFractionalPointSize(points);
      if (fits(font) || points - kStep < nominal * 0.75) break;
    }
    fittedPoints[&t] = points;
  }
  font.SetFractionalPointSize(points);
  w.top->SetFont(font);
  w.client->SetFont(font);
}

void WxBackend::Impl::ApplyRadioGroup(Window& w, int group) {
  if (group < 0 || static_cast<std::size_t>(group) >= w.radioGroups.size()) return;
  RadioGroup& g = w.radioGroups[static_cast<std::size_t>(group)];
  ++updating;
  wxRadioButton* on = g.none;
  for (std::size_t index : g.members) {
    Control* c = ControlAt(w, index);
    auto* radio = static_cast<wxRadioButton*>(w.slots[index].win);
    if (!c) continue;
    w.slots[index].dirty = false;
    radio->Show(c->IsVisible());
    radio->Enable(c->IsEnabled());
    const wxString label = ToWx(c->GetText());
    if (radio->GetLabel() != label) radio->SetLabel(label);
    if (on == g.none && c->GetCheck() == BST_CHECKED) on = radio;
  }
  if (on && !on->GetValue()) on->SetValue(true);
  --updating;
}

void WxBackend::Impl::Apply(Window& w, std::size_t index) {
  Control* control = ControlAt(w, index);
  Slot& slot = w.slots[index];
  if (!control || !slot.win) return;
  Control& c = *control;
  wxWindow* win = slot.win;
  ++updating;
  if (win->IsShown() != c.IsVisible()) win->Show(c.IsVisible());
  // The control's own state: while its window is disabled (a modal child
  // runs) wx answers every control as disabled, and one the layer disables
  // then would come back enabled with its window.
  if (win->IsThisEnabled() != c.IsEnabled()) win->Enable(c.IsEnabled());
  switch (c.Kind()) {
    case ControlKind::kStatic:
      if (c.GetStyle() & SS_NOPREFIX) {
        static_cast<wxStaticText*>(win)->SetLabelText(ToWx(c.GetText()));
      } else {
        win->SetLabel(ToWx(c.GetText()));
      }
      break;
    case ControlKind::kButton:
      if (auto* icon = dynamic_cast<IconButton*>(win)) {
        icon->SetIcon(c.GetIcon() ? IconBitmap(c.GetIcon(), NaturalSize(c.GetIcon())) : wxBitmap());
      } else {
        auto* button = static_cast<wxButton*>(win);
        button->SetLabel(ToWx(c.GetText()));
        if (c.IsDefaultButton()) button->SetDefault();
      }
      break;
    case ControlKind::kCheckBox:
      win->SetLabel(ToWx(c.GetText()));
      static_cast<wxCheckBox*>(win)->SetValue(c.GetCheck() == BST_CHECKED);
      break;
    case ControlKind::kGroupBox:
      win->SetLabel(ToWx(c.GetText()));
      break;
    case ControlKind::kEdit: {
      auto* edit = static_cast<wxTextCtrl*>(win);
      const wxString text = ToWx(c.GetText());
      if (edit->GetValue() != text) edit->ChangeValue(text);
      edit->SetEditable(!c.IsReadOnly());
      edit->SetMaxLength(static_cast<unsigned long>(c.GetLimitText()));
      break;
    }
    case ControlKind::kProgress: {
      int lower = 0;
      int upper = 0;
      c.GetRange(&lower, &upper);
      auto* gauge = static_cast<wxGauge*>(win);
      const int range = std::max(1, upper > lower ? upper - lower : lower - upper);
      gauge->SetRange(range);
      const int done = upper > lower ? c.GetPos() - lower : lower - c.GetPos();
      gauge->SetValue(std::clamp(done, 0, range));
      break;
    }
    case ControlKind::kIcon:
    case ControlKind::kPicture:
    case ControlKind::kUpDown:
      win->Refresh();
      break;
    default:
      break;
  }
  --updating;
}

void WxBackend::Impl::SyncSlot(Window& w, std::size_t index) {
  Slot& slot = w.slots[index];
  slot.dirty = false;
  Control* c = ControlAt(w, index);
  if (!c || !slot.win) return;
  switch (slot.kind) {
    case ControlKind::kRadio:
      ApplyRadioGroup(w, slot.group);
      return;
    case ControlKind::kListView:
      if (auto* list = dynamic_cast<CListCtrl*>(c)) SyncList(slot, *list);
      break;
    case ControlKind::kTreeView:
      if (auto* tree = dynamic_cast<CTreeCtrl*>(c)) SyncTree(slot, *tree);
      break;
    case ControlKind::kComboBox:
      if (auto* combo = dynamic_cast<CComboBox*>(c)) {
        SyncCombo(*combo, static_cast<wxChoice*>(slot.win));
      }
      break;
    default:
      break;
  }
  Apply(w, index);
}

void WxBackend::ControlChanged(Control& control) {
  Impl::Window* w = impl_->Find(&control.Parent());
  if (!w) return;
  auto it = w->indexOf.find(&control);
  if (it == w->indexOf.end()) return;
  Impl::Slot& slot = w->slots[it->second];
  switch (slot.kind) {
    case ControlKind::kListView:
    case ControlKind::kTreeView:
    case ControlKind::kComboBox:
      // Filled one row at a time: shown in one go when the loop comes round.
      if (slot.win->IsShown() != control.IsVisible() ||
          slot.win->IsThisEnabled() != control.IsEnabled()) {
        impl_->Apply(*w, it->second);
      }
      slot.dirty = true;
      impl_->ScheduleFlush();
      break;
    case ControlKind::kRadio:
      impl_->ApplyRadioGroup(*w, slot.group);
      break;
    default:
      slot.dirty = false;
      impl_->Apply(*w, it->second);
      break;
  }
  impl_->PresentChange(*w);
}

}  // namespace tallow::ui
