#include "platform/ui/menu.h"

#include "platform/ui/backend.h"
#include "platform/ui/dialog.h"
#include "platform/ui/dialog_template.h"
#include "platform/ui/ui_thread.h"

namespace tallow::ui {

namespace {

constexpr UINT kStateBits = MF_CHECKED | MF_GRAYED | MF_DISABLED;

void Fill(CMenu& menu, std::span<const MenuItemTemplate> items) {
  for (const MenuItemTemplate& t : items) {
    const WStringView text = t.text ? WStringView(t.text) : WStringView();
    if (t.flags & MF_POPUP) {
      menu.AppendMenu(MF_POPUP | (t.flags & kStateBits), 0, text);
      Fill(*menu.GetSubMenu(menu.GetMenuItemCount() - 1), t.items);
    } else {
      menu.AppendMenu(t.flags, t.id, text);
    }
  }
}

}  // namespace

std::unique_ptr<CMenu> CMenu::Load(int id) {
  const MenuTemplate* t = FindMenuTemplate(id);
  if (!t) return nullptr;
  auto menu = std::make_unique<CMenu>();
  Fill(*menu, t->items);
  return menu;
}

int CMenu::GetMenuItemID(int pos) const {
  if (pos < 0 || pos >= GetMenuItemCount()) return -1;
  const Item& item = items_[pos];
  if (item.popup) return -1;
  return item.separator ? 0 : item.id;
}

CMenu* CMenu::GetSubMenu(int pos) const {
  if (pos < 0 || pos >= GetMenuItemCount()) return nullptr;
  return items_[pos].popup.get();
}

CMenu::Item* CMenu::Find(UINT item, UINT flags) {
  return const_cast<Item*>(static_cast<const CMenu*>(this)->Find(item, flags));
}

const CMenu::Item* CMenu::Find(UINT item, UINT flags) const {
  if (flags & MF_BYPOSITION) {
    return item < items_.size() ? &items_[item] : nullptr;
  }
  // By command: this menu first, then each popup in turn.
  for (const Item& i : items_) {
    if (!i.popup && !i.separator && static_cast<UINT>(i.id) == item) return &i;
  }
  for (const Item& i : items_) {
    if (!i.popup) continue;
    if (const Item* found = i.popup->Find(item, flags)) return found;
  }
  return nullptr;
}

WString CMenu::GetMenuString(UINT item, UINT flags) const {
  const Item* i = Find(item, flags);
  return i ? i->text : WString();
}

UINT CMenu::GetMenuState(UINT item, UINT flags) const {
  const Item* i = Find(item, flags);
  return i ? i->state : kMenuFailed;
}

void CMenu::Changed() const {
  if (notify_) notify_();
}

UINT CMenu::CheckMenuItem(UINT item, UINT flags) {
  Item* i = Find(item, flags);
  if (!i) return kMenuFailed;
  const UINT previous = i->state & MF_CHECKED;
  i->state = (i->state & ~MF_CHECKED) | (flags & MF_CHECKED);
  Changed();
  return previous;
}

UINT CMenu::EnableMenuItem(UINT item, UINT flags) {
  Item* i = Find(item, flags);
  if (!i) return kMenuFailed;
  const UINT previous = i->state & (MF_GRAYED | MF_DISABLED);
  i->state = (i->state & ~(MF_GRAYED | MF_DISABLED)) | (flags & (MF_GRAYED | MF_DISABLED));
  Changed();
  return previous;
}

BOOL CMenu::ModifyMenu(UINT item, UINT flags, int newId, WStringView text) {
  Item* i = Find(item, flags);
  if (!i) return FALSE;
  i->separator = (flags & MF_SEPARATOR) != 0;
  if (!(flags & MF_POPUP)) {
    i->popup.reset();
    i->id = newId;
  }
  i->text.assign(text);
  i->state = flags & kStateBits;
  Changed();
  return TRUE;
}

BOOL CMenu::SetMenuItemText(UINT item, BOOL byPosition, WStringView text) {
  Item* i = Find(item, byPosition ? MF_BYPOSITION : MF_BYCOMMAND);
  if (!i) return FALSE;
  i->text.assign(text);
  Changed();
  return TRUE;
}

BOOL CMenu::AppendMenu(UINT flags, int id, WStringView text) {
  Item item;
  item.separator = (flags & MF_SEPARATOR) != 0;
  item.state = flags & kStateBits;
  if (flags & MF_POPUP) {
    item.popup = std::make_unique<CMenu>();
  } else if (!item.separator) {
    item.id = id;
  }
  if (!item.separator) item.text.assign(text);
  items_.push_back(std::move(item));
  Changed();
  return TRUE;
}

int CMenu::TrackPopupMenu(UINT flags, int x, int y, CDialog* owner) {
  return CallOnUi([&] {
    UiBackend* backend = CurrentBackend();
    if (!backend) return 0;
    const int chosen = backend->TrackPopupMenu(*this, flags, Point{x, y}, owner);
    if (chosen == 0) return 0;
    // Only an enabled command of this menu counts.
    const UINT state = GetMenuState(static_cast<UINT>(chosen), MF_BYCOMMAND);
    if (state == kMenuFailed || (state & (MF_GRAYED | MF_DISABLED))) return 0;
    if (flags & TPM_RETURNCMD) return chosen;
    if (owner) owner->PostMessageW(WM_COMMAND, static_cast<WPARAM>(chosen & 0xFFFF), 0);
    return 1;
  });
}

}  // namespace tallow::ui
