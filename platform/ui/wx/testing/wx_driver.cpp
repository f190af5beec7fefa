#include "platform/ui/wx/testing/wx_driver.h"
#include "platform/ui/ui_thread.h"
#include "platform/ui/wx/wx_impl.h"
#include "platform/ui/wx/wx_widgets.h"

#include <wx/app.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/dcscreen.h>
#include <wx/gauge.h>
#include <wx/imaglist.h>
#include <wx/listctrl.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/treectrl.h>

#include <algorithm>
#include <functional>

namespace tallow::ui::testing {

namespace {

// The slot of the |index|th template entry of |dialog|, its window brought
// up to date with the layer; null when there is none.
const WxBackend::Impl::Slot* SlotOf(WxBackend::Impl& impl, const CDialog& dialog,
                                    std::size_t index) {
  impl.FlushAll();
  const WxBackend::Impl::Window* w = impl.Find(&dialog);
  return w && index < w->slots.size() ? &w->slots[index] : nullptr;
}

// Runs the layer's queue and the window system's events for about |time|.
void DispatchFor(WxBackend::Impl& impl, std::chrono::milliseconds time) {
  const ActiveLoop active;
  const auto end = std::chrono::steady_clock::now() + time;
  do {
    while (RunOnePending()) {
    }
    if (wxTheApp) wxTheApp->ProcessPendingEvents();
    impl.FlushAll();
    active->DispatchTimeout(10);
    active->ProcessIdle();
  } while (std::chrono::steady_clock::now() < end);
}

// Room a list's header keeps on either side of a heading's text.
constexpr int kHeadingPadding = 6;

// Its wx control as a |T|, or null.
template <class T>
T* ControlAs(WxBackend::Impl& impl, const CDialog& dialog, std::size_t index) {
  const WxBackend::Impl::Slot* slot = SlotOf(impl, dialog, index);
  return slot ? dynamic_cast<T*>(slot->win) : nullptr;
}

}  // namespace

WxDriver::WxDriver(WxBackend& backend) : impl_(ImplOf(backend)) {}

void WxDriver::OnDialogShown(DialogHandler handler) { impl_.onShown = std::move(handler); }

void WxDriver::SetModalTimeout(std::chrono::milliseconds timeout) { impl_.modalTimeout = timeout; }

std::optional<BaseUnits> WxDriver::DialogBaseUnits(const CDialog& dialog) const {
  const WxBackend::Impl::Window* w = impl_.Find(&dialog);
  if (!w) return std::nullopt;
  return w->units;
}

std::optional<Rect> WxDriver::ClientRect(const CDialog& dialog) const {
  impl_.FlushAll();
  const WxBackend::Impl::Window* w = impl_.Find(&dialog);
  if (!w) return std::nullopt;
  const wxSize size = w->client->GetSize();
  return Rect{0, 0, size.x, size.y};
}

int WxDriver::MenuBarHeight(const CDialog& dialog) const {
  impl_.FlushAll();
  const WxBackend::Impl::Window* w = impl_.Find(&dialog);
  if (!w || !w->frame || !w->frame->GetMenuBar()) return 0;
  return w->frame->GetMenuBar()->GetSize().y;
}

std::optional<Rect> WxDriver::ControlRect(const CDialog& dialog, std::size_t index) const {
  const WxBackend::Impl::Slot* slot = SlotOf(impl_, dialog, index);
  if (!slot) return std::nullopt;
  const wxRect r = slot->win->GetRect();
  return Rect{r.x, r.y, r.width, r.height};
}

std::optional<WxDriver::ControlView> WxDriver::ViewControl(const CDialog& dialog,
                                                             std::size_t index) const {
  impl_.FlushAll();
  WxBackend::Impl::Window* w = impl_.Find(&dialog);
  if (!w || index >= w->slots.size()) return std::nullopt;
  wxWindow* c = w->slots[index].win;
  ControlView view;
  view.shown = c->IsShown();
  view.enabled = c->IsEnabled();
  if (auto* edit = dynamic_cast<wxTextCtrl*>(c)) {
    view.text = Utf8(edit->GetValue());
  } else if (auto* text = dynamic_cast<wxStaticText*>(c)) {
    view.text = Utf8(text->GetLabelText());
  } else if (auto* choice = dynamic_cast<wxChoice*>(c)) {
    view.text = Utf8(choice->GetStringSelection());
    for (const wxString& item : choice->GetStrings()) view.items.push_back(Utf8(item));
    view.selection = choice->GetSelection();
  } else {
    view.text = Utf8(c->GetLabel());
  }
  if (auto* check = dynamic_cast<wxCheckBox*>(c)) view.checked = check->GetValue();
  if (auto* radio = dynamic_cast<wxRadioButton*>(c)) view.checked = radio->GetValue();
  if (auto* gauge = dynamic_cast<wxGauge*>(c)) {
    view.value = gauge->GetValue();
    view.range = gauge->GetRange();
  }
  if (auto* icon = dynamic_cast<IconButton*>(c)) view.hasBitmap = icon->HasIcon();
  if (w->slots[index].kind == ControlKind::kIcon) {
    Control* control = impl_.ControlAt(*w, index);
    view.hasBitmap = control && control->GetIcon() != 0;
  }
  return view;
}

std::optional<WxDriver::ListView> WxDriver::ViewList(const CDialog& dialog,
                                                       std::size_t index) const {
  auto* list = ControlAs<wxListCtrl>(impl_, dialog, index);
  if (!list) return std::nullopt;
  ListView view;
  for (int i = 0; i < list->GetColumnCount(); ++i) {
    wxListItem item;
    item.SetMask(wxLIST_MASK_TEXT);
    list->GetColumn(i, item);
    view.headings.push_back(Utf8(item.GetText()));
    view.widths.push_back(list->GetColumnWidth(i));
    view.headingWidths.push_back(list->GetTextExtent(item.GetText()).x + 2 * kHeadingPadding);
  }
  const int texts = std::max(list->GetColumnCount(), 1);
  for (long row = 0; row < list->GetItemCount(); ++row) {
    std::vector<std::string> cells;
    for (int col = 0; col < texts; ++col) cells.push_back(Utf8(list->GetItemText(row, col)));
    view.rows.push_back(std::move(cells));
    wxListItem item;
    item.SetId(row);
    item.SetMask(wxLIST_MASK_IMAGE);
    list->GetItem(item);
    view.images.push_back(item.GetImage());
    if (list->GetItemState(row, wxLIST_STATE_SELECTED)) {
      view.selected.push_back(static_cast<int>(row));
    }
  }
  if (const wxImageList* images = list->GetImageList(wxIMAGE_LIST_SMALL)) {
    view.imageCount = images->GetImageCount();
  }
  return view;
}

std::optional<int> WxDriver::TextWidthNeeded(const CDialog& dialog, std::size_t index) const {
  const WxBackend::Impl::Slot* slot = SlotOf(impl_, dialog, index);
  if (!slot) return std::nullopt;
  wxWindow* c = slot->win;
  if (auto* button = dynamic_cast<wxButton*>(c)) {
    auto* probe = new wxButton(c->GetParent(), wxID_ANY, button->GetLabel(), wxDefaultPosition,
                               wxDefaultSize, wxBU_EXACTFIT);
    probe->SetFont(button->GetFont());
    const int width = probe->GetBestSize().x;
    probe->Destroy();
    return width;
  }
  if (dynamic_cast<wxCheckBox*>(c) || dynamic_cast<wxRadioButton*>(c) ||
      dynamic_cast<wxStaticBox*>(c)) {
    return c->GetBestSize().x;
  }
  if (auto* edit = dynamic_cast<wxTextCtrl*>(c)) {
    return edit->GetSizeFromTextSize(edit->GetTextExtent(edit->GetValue()).x).x;
  }
  if (auto* choice = dynamic_cast<wxChoice*>(c)) {
    return choice->GetSizeFromTextSize(choice->GetTextExtent(choice->GetStringSelection()).x).x;
  }
  if (auto* text = dynamic_cast<wxStaticText*>(c)) {
    return text->GetTextExtent(text->GetLabelText()).x;
  }
  return std::nullopt;
}

std::optional<std::vector<WxDriver::TreeItemView>> WxDriver::ViewTree(const CDialog& dialog,
                                                                       std::size_t index) const {
  auto* tree = ControlAs<wxTreeCtrl>(impl_, dialog, index);
  if (!tree) return std::nullopt;
  std::vector<TreeItemView> items;
  std::function<void(const wxTreeItemId&, int)> walk = [&](const wxTreeItemId& parent, int depth) {
    wxTreeItemIdValue cookie;
    for (wxTreeItemId id = tree->GetFirstChild(parent, cookie); id.IsOk();
         id = tree->GetNextChild(parent, cookie)) {
      items.push_back(TreeItemView{Utf8(tree->GetItemText(id)), depth, tree->IsExpanded(id),
                                   tree->IsSelected(id), tree->GetItemImage(id)});
      walk(id, depth + 1);
    }
  };
  walk(tree->GetRootItem(), 0);
  return items;
}

std::optional<Rect> WxDriver::TreeItemRect(const CDialog& dialog, std::size_t index,
                                            HTREEITEM item) const {
  impl_.FlushAll();
  const WxBackend::Impl::Window* w = impl_.Find(&dialog);
  if (!w || index >= w->slots.size() || !w->slots[index].tree) return std::nullopt;
  const auto& toWx = w->slots[index].tree->toWx;
  auto it = toWx.find(item);
  wxRect r;
  auto* tree = static_cast<wxTreeCtrl*>(w->slots[index].win);
  if (it == toWx.end() || !tree->GetBoundingRect(it->second, r, true)) return std::nullopt;
  return Rect{r.x, r.y, r.width, r.height};
}

std::optional<WxDriver::ScrollView> WxDriver::ViewTreeScroll(const CDialog& dialog,
                                                               std::size_t index) const {
  auto* tree = ControlAs<wxTreeCtrl>(impl_, dialog, index);
  if (!tree) return std::nullopt;
  int unit = 0;
  int unused = 0;
  tree->GetScrollPixelsPerUnit(&unit, &unused);
  int start = 0;
  tree->GetViewStart(&start, &unused);
  ScrollView view;
  view.position = start * unit;
  view.page = tree->GetClientSize().x;
  view.range = tree->GetVirtualSize().x;
  return view;
}

bool WxDriver::ScrollTree(const CDialog& dialog, std::size_t index, int x) {
  auto* tree = ControlAs<wxTreeCtrl>(impl_, dialog, index);
  if (!tree) return false;
  int unit = 0;
  int unused = 0;
  tree->GetScrollPixelsPerUnit(&unit, &unused);
  if (unit <= 0) return false;
  int y = 0;
  tree->GetViewStart(&unused, &y);
  tree->Scroll((x + unit - 1) / unit, y);
  return true;
}

std::vector<WxDriver::MenuItemView> WxDriver::ViewMenuBar(const CDialog& dialog) const {
  impl_.FlushAll();
  std::vector<MenuItemView> view;
  const WxBackend::Impl::Window* w = impl_.Find(&dialog);
  wxMenuBar* bar = w && w->frame ? w->frame->GetMenuBar() : nullptr;
  if (!bar) return view;
  const auto layerId = [w](int wxId) {
    if (auto it = w->commands.find(wxId); it != w->commands.end()) return it->second;
    if (auto it = w->sysCommands.find(wxId); it != w->sysCommands.end()) return it->second;
    return 0;
  };
  std::function<void(const wxMenu*, std::vector<MenuItemView>&)> walk =
      [&](const wxMenu* menu, std::vector<MenuItemView>& out) {
        for (const wxMenuItem* mi : menu->GetMenuItems()) {
          MenuItemView item;
          item.separator = mi->IsSeparator();
          if (!item.separator) {
            item.text = Utf8(mi->GetItemLabel());
            item.enabled = mi->IsEnabled();
            item.checkable = mi->IsCheckable();
            item.checked = mi->IsCheckable() && mi->IsChecked();
          }
          if (mi->IsSubMenu()) {
            walk(mi->GetSubMenu(), item.items);
          } else if (!item.separator) {
            item.id = layerId(mi->GetId());
          }
          out.push_back(std::move(item));
        }
      };
  for (std::size_t i = 0; i < bar->GetMenuCount(); ++i) {
    MenuItemView top;
    top.text = Utf8(bar->GetMenuLabel(i));
    top.enabled = bar->IsEnabledTop(i);
    walk(bar->GetMenu(i), top.items);
    view.push_back(std::move(top));
  }
  return view;
}

bool WxDriver::Click(const CDialog& dialog, std::size_t index) {
  const WxBackend::Impl::Slot* slot = SlotOf(impl_, dialog, index);
  if (!slot) return false;
  wxWindow* c = slot->win;
  if (auto* check = dynamic_cast<wxCheckBox*>(c)) {
    // What GTK does on a click: toggle, then tell.
    check->SetValue(!check->GetValue());
    wxCommandEvent event(wxEVT_CHECKBOX, check->GetId());
    event.SetEventObject(check);
    event.SetInt(check->GetValue() ? 1 : 0);
    check->ProcessWindowEvent(event);
    return true;
  }
  if (auto* radio = dynamic_cast<wxRadioButton*>(c)) {
    if (radio->GetValue()) return true;  // GTK says nothing for a button already on
    radio->SetValue(true);
    wxCommandEvent event(wxEVT_RADIOBUTTON, radio->GetId());
    event.SetEventObject(radio);
    event.SetInt(1);
    radio->ProcessWindowEvent(event);
    return true;
  }
  if (auto* button = dynamic_cast<wxButton*>(c)) {
    wxCommandEvent event(wxEVT_BUTTON, button->GetId());
    event.SetEventObject(button);
    button->ProcessWindowEvent(event);
    return true;
  }
  if (auto* icon = dynamic_cast<IconButton*>(c)) {
    icon->Click();
    return true;
  }
  return false;
}

bool WxDriver::TypeInto(const CDialog& dialog, std::size_t index, const std::string& utf8) {
  auto* edit = ControlAs<wxTextCtrl>(impl_, dialog, index);
  if (!edit) return false;
  edit->SetValue(wxString::FromUTF8(utf8.c_str()));  // raises wxEVT_TEXT, as typing does
  return true;
}

namespace {
void SendMouse(wxWindow* target, wxEventType type, const wxPoint& at) {
  wxMouseEvent event(type);
  event.SetEventObject(target);
  event.SetPosition(at);
  event.SetLeftDown(type == wxEVT_LEFT_DOWN);
  event.SetRightDown(type == wxEVT_RIGHT_DOWN);
  target->ProcessWindowEvent(event);
}
}  // namespace

bool WxDriver::ClickListRow(const CDialog& dialog, std::size_t index, int row, bool right) {
  auto* list = ControlAs<wxListCtrl>(impl_, dialog, index);
  if (!list) return false;
  wxWindow* rows = SlotOf(impl_, dialog, index)->input;
  wxPoint at(rows->GetClientSize().x / 2, rows->GetClientSize().y - 2);
  if (row >= 0) {
    wxRect r;
    if (row >= list->GetItemCount() || !list->GetItemRect(row, r)) return false;
    // The rectangle is the list's; the rows' window lies under the header.
    at = wxPoint(r.x + std::min(r.width, rows->GetClientSize().x) / 2, r.y + r.height / 2) -
         rows->GetPosition();
  }
  SendMouse(rows, right ? wxEVT_RIGHT_DOWN : wxEVT_LEFT_DOWN, at);
  SendMouse(rows, right ? wxEVT_RIGHT_UP : wxEVT_LEFT_UP, at);
  return true;
}

bool WxDriver::ClickTreeItem(const CDialog& dialog, std::size_t index, HTREEITEM item) {
  const std::optional<Rect> r = TreeItemRect(dialog, index, item);
  const WxBackend::Impl::Window* w = impl_.Find(&dialog);
  if (!r || !w) return false;
  wxWindow* tree = w->slots[index].win;
  const wxPoint at(r->x + r->cx / 2, r->y + r->cy / 2);
  SendMouse(tree, wxEVT_LEFT_DOWN, at);
  SendMouse(tree, wxEVT_LEFT_UP, at);
  return true;
}

bool WxDriver::Choose(const CDialog& dialog, std::size_t index, int row) {
  auto* choice = ControlAs<wxChoice>(impl_, dialog, index);
  if (!choice || row < 0 || row >= static_cast<int>(choice->GetCount())) return false;
  choice->SetSelection(row);  // what GTK does, then tells
  wxCommandEvent event(wxEVT_CHOICE, choice->GetId());
  event.SetEventObject(choice);
  event.SetInt(row);
  event.SetString(choice->GetString(row));
  choice->ProcessWindowEvent(event);
  return true;
}

bool WxDriver::Spin(const CDialog& dialog, std::size_t index, int delta) {
  auto* spin = ControlAs<UpDownWindow>(impl_, dialog, index);
  if (!spin || delta == 0) return false;
  spin->Press(delta > 0 ? 1 : -1);
  return true;
}

bool WxDriver::ChooseMenuItem(const CDialog& dialog, int id) {
  impl_.FlushAll();
  const WxBackend::Impl::Window* w = impl_.Find(&dialog);
  wxMenuBar* bar = w && w->frame ? w->frame->GetMenuBar() : nullptr;
  if (!bar) return false;
  int wxId = wxID_NONE;
  for (const auto* ids : {&w->commands, &w->sysCommands}) {
    for (const auto& [key, value] : *ids) {
      if (value == id) wxId = key;
    }
  }
  wxMenuItem* item = wxId == wxID_NONE ? nullptr : bar->FindItem(wxId);
  if (!item || !item->IsEnabled()) return false;  // GTK offers no grayed item
  if (item->IsCheckable()) item->Check(!item->IsChecked());
  wxCommandEvent event(wxEVT_MENU, wxId);
  event.SetEventObject(w->frame);
  event.SetInt(item->IsCheckable() && item->IsChecked() ? 1 : 0);
  w->frame->ProcessWindowEvent(event);
  return true;
}

bool WxDriver::MenuOpen(const CDialog& dialog) const {
  const WxBackend::Impl::Window* w = impl_.Find(&dialog);
  return w && w->openMenus > 0;
}

std::string WxDriver::FontFace(const CDialog& dialog) const {
  const WxBackend::Impl::Window* w = impl_.Find(&dialog);
  return w ? std::string(w->face) : std::string();
}

std::optional<Size> WxDriver::MeasureText(const CDialog& dialog, std::size_t index,
                                          const std::string& utf8) const {
  impl_.FlushAll();
  const WxBackend::Impl::Slot* slot = SlotOf(impl_, dialog, index);
  if (!slot) return std::nullopt;
  const wxSize size = slot->win->GetTextExtent(wxString::FromUTF8(utf8.data(), utf8.size()));
  return Size{size.x, size.y};
}

std::optional<Size> WxDriver::BestSize(const CDialog& dialog, std::size_t index) const {
  impl_.FlushAll();
  const WxBackend::Impl::Slot* slot = SlotOf(impl_, dialog, index);
  if (!slot) return std::nullopt;
  const wxSize size = slot->win->GetBestSize();
  return Size{size.x, size.y};
}

bool WxDriver::SaveScreenshot(const CDialog& dialog, const std::string& path) {
  // Generic controls lay themselves out when idle, then paint.
  DispatchFor(impl_, std::chrono::milliseconds(150));
  WxBackend::Impl::Window* w = impl_.Find(&dialog);
  if (!w || !w->top->IsShownOnScreen()) return false;
  w->top->Update();
  const wxSize size = w->client->GetClientSize();
  if (size.x <= 0 || size.y <= 0) return false;
  int bar = 0;
  if (w->frame && w->frame->GetMenuBar()) bar = std::max(0, w->frame->GetMenuBar()->GetSize().y);
  wxBitmap bitmap(size.x, size.y + bar, 24);
  {
    wxMemoryDC memory(bitmap);
    if (bar > 0) {
      // The bar lies outside the client area; the screen shows it, and the
      // window is on top there.
      wxScreenDC screen;
      const wxPoint at = w->client->GetScreenPosition() - wxPoint(0, bar);
      if (!memory.Blit(0, 0, size.x, bar, &screen, at.x, at.y)) return false;
    }
    // From the window itself, not the screen: a window closed a moment ago
    // may still show there.
    wxClientDC window(w->client);
    if (!memory.Blit(0, bar, size.x, size.y, &window, 0, 0)) return false;
    memory.SelectObject(wxNullBitmap);
  }
  return bitmap.ConvertToImage().SaveFile(wxString::FromUTF8(path.c_str()), wxBITMAP_TYPE_PNG);
}

void WxDriver::Pump(std::chrono::milliseconds time) { DispatchFor(impl_, time); }

bool WxDriver::PaintNow(const CDialog& dialog) {
  while (RunOnePending()) {
  }
  impl_.FlushAll();
  WxBackend::Impl::Window* w = impl_.Find(&dialog);
  if (!w || !w->top->IsShownOnScreen()) return false;
  w->top->Update();
  return true;
}

unsigned WxDriver::PaintCount(const CDialog& dialog, std::size_t index) const {
  const WxBackend::Impl::Slot* slot = SlotOf(impl_, dialog, index);
  return slot ? slot->paints : 0;
}

}  // namespace tallow::ui::testing
