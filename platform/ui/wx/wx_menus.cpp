// Menus: the menu bar built from the layer's menu, its states brought over
// as a menu opens, the system menu's additions, popup menus.
#include "platform/ui/menu.h"
#include "platform/ui/wx/wx_impl.h"

#include <algorithm>

namespace tallow::ui {

namespace {

bool IsDefaultSysCommand(int id) {
  const UINT base = static_cast<UINT>(id) & 0xFFF0u;
  return base == SC_RESTORE || base == SC_MOVE || base == SC_MINIMIZE || base == SC_CLOSE;
}

bool Grayed(UINT state) { return (state & (MF_GRAYED | MF_DISABLED)) != 0; }

}  // namespace

// What the dialog appended to its system menu; GTK's window menu belongs to
// the window manager and cannot show it.
std::vector<WxBackend::Impl::SysEntry> WxBackend::Impl::SysExtras(CDialog& dialog) {
  std::vector<SysEntry> extras;
  const CMenu* menu = dialog.GetSystemMenu(FALSE);
  if (!menu) return extras;
  for (const CMenu::Item& item : menu->Items()) {
    if (item.separator) {
      if (!extras.empty() && !extras.back().separator) extras.push_back(SysEntry{0, {}, 0, true});
      continue;
    }
    if (item.popup || IsDefaultSysCommand(item.id)) continue;
    extras.push_back(SysEntry{item.id, item.text, item.state, false});
  }
  while (!extras.empty() && extras.back().separator) extras.pop_back();
  return extras;
}

wxMenu* WxBackend::Impl::BuildMenu(Window& w, const CMenu& menu) {
  auto* m = new wxMenu;
  w.menus[m] = &menu;
  // A menu with a checked item gets checkable items throughout, so that the
  // check can move between them later.
  const bool checkable = std::any_of(menu.Items().begin(), menu.Items().end(), [](const auto& i) {
    return !i.popup && !i.separator && (i.state & MF_CHECKED);
  });
  for (const CMenu::Item& item : menu.Items()) {
    if (item.separator) {
      m->AppendSeparator();
    } else if (item.popup) {
      wxMenuItem* sub = m->AppendSubMenu(BuildMenu(w, *item.popup), ToWx(item.text));
      sub->Enable(!Grayed(item.state));
    } else {
      const int wxId = w.nextMenuId++;
      w.commands[wxId] = item.id;
      wxMenuItem* mi =
          m->Append(wxId, ToWx(item.text), wxString(), checkable ? wxITEM_CHECK : wxITEM_NORMAL);
      if (checkable) mi->Check((item.state & MF_CHECKED) != 0);
      mi->Enable(!Grayed(item.state));
    }
  }
  return m;
}

wxMenu* WxBackend::Impl::BuildExtras(const std::vector<SysEntry>& extras, std::map<int, int>& ids,
                                     int& nextId) {
  auto* m = new wxMenu;
  for (const SysEntry& e : extras) {
    if (e.separator) {
      m->AppendSeparator();
      continue;
    }
    const int wxId = nextId++;
    ids[wxId] = e.id;
    const bool checked = (e.state & MF_CHECKED) != 0;
    wxMenuItem* mi =
        m->Append(wxId, ToWx(e.text), wxString(), checked ? wxITEM_CHECK : wxITEM_NORMAL);
    if (checked) mi->Check(true);
    mi->Enable(!Grayed(e.state));
  }
  return m;
}

void WxBackend::Impl::RebuildMenuBar(Window& w) {
  if (!w.frame) return;
  // The old bar's menus go with it, open or not.
  w.openMenus = 0;
  w.menus.clear();
  w.commands.clear();
  w.sysCommands.clear();
  w.nextMenuId = wxID_HIGHEST + 1;
  auto* bar = new wxMenuBar;
  std::vector<bool> enabled;
  if (const CMenu* menu = w.dialog->GetMenu()) {
    for (const CMenu::Item& item : menu->Items()) {
      // A menu bar holds popups only; a bare command there has no wx form.
      if (!item.popup) continue;
      bar->Append(BuildMenu(w, *item.popup), ToWx(item.text));
      enabled.push_back(!Grayed(item.state));
    }
  }
  if (!w.sysExtras.empty()) {
    bar->Append(BuildExtras(w.sysExtras, w.sysCommands, w.nextMenuId), "?");
    enabled.push_back(true);
  }
  w.frame->SetMenuBar(bar);
  for (std::size_t i = 0; i < enabled.size(); ++i) {
    if (!enabled[i]) bar->EnableTop(i, false);
  }
  // The bar takes its height from the frame, not from the client area.
  PinClientSize(w);
}

// The layer changes its menus' states without telling (as the other system
// does); a menu shows them as it opens.
void WxBackend::Impl::SyncMenuStates(Window& w, const wxMenu* menu) {
  auto found = w.menus.find(menu);
  if (found == w.menus.end()) return;
  const CMenu& source = *found->second;
  const wxMenuItemList& items = menu->GetMenuItems();
  if (items.size() != source.Items().size()) {
    w.menuDirty = true;
    ScheduleFlush();
    return;
  }
  std::size_t i = 0;
  for (wxMenuItem* mi : items) {
    const CMenu::Item& item = source.Items()[i++];
    if (item.separator != mi->IsSeparator() || (item.popup != nullptr) != mi->IsSubMenu()) {
      w.menuDirty = true;
      ScheduleFlush();
      return;
    }
    if (item.separator) continue;
    const wxString text = ToWx(item.text);
    if (mi->GetItemLabel() != text) mi->SetItemLabel(text);
    if (mi->IsEnabled() == Grayed(item.state)) mi->Enable(!Grayed(item.state));
    if (item.popup) {
      SyncMenuStates(w, mi->GetSubMenu());
      continue;
    }
    // ModifyMenu may have given the item another command.
    if (auto command = w.commands.find(mi->GetId()); command != w.commands.end()) {
      command->second = item.id;
    }
    const bool checked = (item.state & MF_CHECKED) != 0;
    if (mi->IsCheckable()) {
      if (mi->IsChecked() != checked) mi->Check(checked);
    } else if (checked) {
      w.menuDirty = true;  // it needs a checkable item
      ScheduleFlush();
    }
  }
}

// Without a menu bar, what the dialog added to its system menu is offered on
// a right click on the window's background.
void WxBackend::Impl::ShowExtrasMenu(Window& w, const wxPoint& at) {
  std::map<int, int> ids;
  int nextId = wxID_HIGHEST + 1;
  std::unique_ptr<wxMenu> menu(BuildExtras(w.sysExtras, ids, nextId));
  CDialog* d = w.dialog;
  const std::uint64_t serial = w.serial;
  ++popupMenus;
  const int chosen = w.client->GetPopupMenuSelectionFromUser(*menu, at);
  --popupMenus;
  auto it = ids.find(chosen);
  if (it != ids.end() && Live(d, serial)) d->InputSysCommand(static_cast<UINT>(it->second));
  ScheduleFlush();
}

void WxBackend::MenuChanged(CDialog& dialog) {
  Impl::Window* w = impl_->Find(&dialog);
  if (!w || !w->frame) return;
  w->menuDirty = true;
  impl_->ScheduleFlush();
}

int WxBackend::TrackPopupMenu(const CMenu& menu, UINT /*flags*/, Point screen, CDialog* owner) {
  if (!impl_->started) return 0;
  impl_->FlushAll();
  Impl::Window* w = owner ? impl_->Find(owner) : nullptr;
  if (!w) {
    for (auto& [dialog, window] : impl_->windows) {
      if (window.shown) w = &window;
    }
  }
  if (!w) return 0;
  // A window of its own for the menu's ids; the bar's stay as they are.
  Impl::Window scratch;
  scratch.dialog = w->dialog;
  std::unique_ptr<wxMenu> popup(impl_->BuildMenu(scratch, menu));
  const wxPoint at = w->client->ScreenToClient(wxPoint(screen.x, screen.y));
  ++impl_->popupMenus;
  const int chosen = w->client->GetPopupMenuSelectionFromUser(*popup, at);
  --impl_->popupMenus;
  auto it = scratch.commands.find(chosen);
  return it == scratch.commands.end() ? 0 : it->second;
}

}  // namespace tallow::ui
