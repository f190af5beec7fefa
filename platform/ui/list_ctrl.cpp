// The list view: columns, rows with their sub-items, images and item data,
// the selection and the notices it sends its parent.
#include <algorithm>

#include "platform/ui/control.h"
#include "platform/ui/dialog.h"
#include "platform/ui/ui_thread.h"

namespace tallow::ui {

namespace {
// The list view's own layout: its header, then one row after another.
constexpr int kListHeaderHeight = 20;
constexpr int kListRowHeight = 16;
}  // namespace

int CListCtrl::InsertColumn(int column, WStringView heading, int format, int width) {
  return CallOnUi([&] {
    const int at = std::clamp(column, 0, static_cast<int>(columns_.size()));
    columns_.insert(columns_.begin() + at, Column{WString(heading), format, width});
    Changed();
    return at;
  });
}

int CListCtrl::GetColumnCount() const {
  return CallOnUi([&] { return static_cast<int>(columns_.size()); });
}

WString CListCtrl::GetColumnHeading(int column) const {
  return CallOnUi([&] {
    return column >= 0 && column < static_cast<int>(columns_.size()) ? columns_[column].heading
                                                                       : WString();
  });
}

int CListCtrl::GetColumnWidth(int column) const {
  return CallOnUi([&] {
    return column >= 0 && column < static_cast<int>(columns_.size()) ? columns_[column].width : 0;
  });
}

DWORD CListCtrl::GetExtendedStyle() const { return CallOnUi([&] { return exStyle_; }); }

DWORD CListCtrl::SetExtendedStyle(DWORD style) {
  return CallOnUi([&] {
    const DWORD previous = exStyle_;
    exStyle_ = style;
    Changed();
    return previous;
  });
}

CImageList* CListCtrl::SetImageList(CImageList* list, int which) {
  return CallOnUi([&] {
    CImageList*& slot = which == LVSIL_SMALL ? smallImages_ : normalImages_;
    CImageList* previous = slot;
    slot = list;
    Changed();
    return previous;
  });
}

CImageList* CListCtrl::GetImageList(int which) const {
  return CallOnUi([&] { return which == LVSIL_SMALL ? smallImages_ : normalImages_; });
}

int CListCtrl::InsertItem(int row, WStringView text, int image) {
  return InsertItem(LVIF_TEXT | LVIF_IMAGE, row, text, 0, 0, image, 0);
}

int CListCtrl::InsertItem(UINT mask, int row, WStringView text, UINT state, UINT stateMask,
                          int image, LPARAM data) {
  return CallOnUi([&] {
    if (row < 0) return -1;
    const int at = std::min(row, static_cast<int>(rows_.size()));
    Row r;
    r.texts.push_back((mask & LVIF_TEXT) ? WString(text) : WString());
    if (mask & LVIF_IMAGE) r.image = image;
    if (mask & LVIF_PARAM) r.data = data;
    if (mask & LVIF_STATE) r.state = state & stateMask & (LVIS_SELECTED | LVIS_FOCUSED);
    if (SingleSelection() && (r.state & LVIS_SELECTED)) {
      for (Row& other : rows_) other.state &= ~LVIS_SELECTED;
    }
    if (r.state & LVIS_FOCUSED) {
      for (Row& other : rows_) other.state &= ~LVIS_FOCUSED;
    }
    rows_.insert(rows_.begin() + at, std::move(r));
    Changed();
    return at;
  });
}

BOOL CListCtrl::DeleteItem(int row) {
  return CallOnUi([&]() -> BOOL {
    if (row < 0 || row >= static_cast<int>(rows_.size())) return FALSE;
    NMLISTVIEW nm{{GetSafeHwnd(), id_, LVN_DELETEITEM}, row, 0, 0, 0, 0, {}, rows_[row].data};
    parent_.SendNotify(nm.hdr);
    if (row < static_cast<int>(rows_.size())) rows_.erase(rows_.begin() + row);
    Changed();
    return TRUE;
  });
}

BOOL CListCtrl::DeleteAllItems() {
  return CallOnUi([&]() -> BOOL {
    NMLISTVIEW all{{GetSafeHwnd(), id_, LVN_DELETEALLITEMS}, -1, 0, 0, 0, 0, {}, 0};
    // A non-zero answer spares the parent one notice per row.
    if (parent_.SendNotify(all.hdr) == 0) {
      const std::vector<Row> going = rows_;
      for (std::size_t i = 0; i < going.size(); ++i) {
        NMLISTVIEW nm{{GetSafeHwnd(), id_, LVN_DELETEITEM}, static_cast<int>(i), 0, 0, 0, 0, {},
                      going[i].data};
        parent_.SendNotify(nm.hdr);
      }
    }
    rows_.clear();
    Changed();
    return TRUE;
  });
}

int CListCtrl::GetItemCount() const {
  return CallOnUi([&] { return static_cast<int>(rows_.size()); });
}

BOOL CListCtrl::SetItemText(int row, int subItem, WStringView text) {
  return CallOnUi([&]() -> BOOL {
    if (row < 0 || row >= static_cast<int>(rows_.size()) || subItem < 0) return FALSE;
    if (subItem > 0 && subItem >= static_cast<int>(std::max<std::size_t>(columns_.size(), 1))) {
      return FALSE;
    }
    std::vector<WString>& texts = rows_[row].texts;
    if (texts.size() <= static_cast<std::size_t>(subItem)) texts.resize(subItem + 1);
    texts[subItem].assign(text);
    Changed();
    NotifyChanged(row, LVIF_TEXT, 0, 0);
    return TRUE;
  });
}

WString CListCtrl::GetItemText(int row, int subItem) const {
  return CallOnUi([&] {
    if (row < 0 || row >= static_cast<int>(rows_.size()) || subItem < 0) return WString();
    const std::vector<WString>& texts = rows_[row].texts;
    return static_cast<std::size_t>(subItem) < texts.size() ? texts[subItem] : WString();
  });
}

BOOL CListCtrl::SetItemData(int row, LPARAM data) {
  return CallOnUi([&]() -> BOOL {
    if (row < 0 || row >= static_cast<int>(rows_.size())) return FALSE;
    rows_[row].data = data;
    return TRUE;
  });
}

LPARAM CListCtrl::GetItemData(int row) const {
  return CallOnUi([&]() -> LPARAM {
    return row >= 0 && row < static_cast<int>(rows_.size()) ? rows_[row].data : 0;
  });
}

int CListCtrl::GetItemImage(int row) const {
  return CallOnUi([&] {
    return row >= 0 && row < static_cast<int>(rows_.size()) ? rows_[row].image : -1;
  });
}

BOOL CListCtrl::SetItemState(int row, UINT state, UINT mask) {
  return CallOnUi([&]() -> BOOL {
    if (row == -1) {  // every row
      for (int i = 0; i < static_cast<int>(rows_.size()); ++i) ChangeState(i, state, mask);
      return TRUE;
    }
    if (row < 0 || row >= static_cast<int>(rows_.size())) return FALSE;
    ChangeState(row, state, mask);
    return TRUE;
  });
}

UINT CListCtrl::GetItemState(int row, UINT mask) const {
  return CallOnUi([&]() -> UINT {
    return row >= 0 && row < static_cast<int>(rows_.size()) ? rows_[row].state & mask : 0;
  });
}

int CListCtrl::GetNextItem(int start, int flags) const {
  return CallOnUi([&] {
    const UINT wanted = (flags & LVNI_SELECTED) ? LVIS_SELECTED : 0;
    for (int i = std::max(start + 1, 0); i < static_cast<int>(rows_.size()); ++i) {
      if ((rows_[i].state & wanted) == wanted) return i;
    }
    return -1;
  });
}

int CListCtrl::GetSelectedCount() const {
  return CallOnUi([&] {
    return static_cast<int>(std::count_if(rows_.begin(), rows_.end(), [](const Row& r) {
      return (r.state & LVIS_SELECTED) != 0;
    }));
  });
}

Rect CListCtrl::GetItemRect(int row) const {
  return CallOnUi([&] {
    if (row < 0 || row >= static_cast<int>(rows_.size())) return Rect{};
    return Rect{0, kListHeaderHeight + row * kListRowHeight, GetClientRect().cx, kListRowHeight};
  });
}

void CListCtrl::NotifyChanged(int row, UINT changed, UINT oldState, UINT newState) {
  NMLISTVIEW nm{{GetSafeHwnd(), id_, LVN_ITEMCHANGED}, row, 0, newState, oldState, changed, {},
                rows_[row].data};
  parent_.SendNotify(nm.hdr);
}

void CListCtrl::ChangeState(int row, UINT state, UINT mask) {
  mask &= LVIS_SELECTED | LVIS_FOCUSED;
  const UINT wanted = (rows_[row].state & ~mask) | (state & mask);
  // One selected row and one focused row at most: the others give theirs up
  // first, each with its own notice.
  UINT takeAway = 0;
  if (SingleSelection() && (wanted & LVIS_SELECTED)) takeAway |= LVIS_SELECTED;
  if (wanted & LVIS_FOCUSED) takeAway |= LVIS_FOCUSED;
  if (takeAway) {
    for (int i = 0; i < static_cast<int>(rows_.size()); ++i) {
      if (i == row || !(rows_[i].state & takeAway)) continue;
      const UINT old = rows_[i].state;
      rows_[i].state &= ~takeAway;
      Changed();
      NotifyChanged(i, LVIF_STATE, old, rows_[i].state);
    }
  }
  // A handler may have emptied the list meanwhile.
  if (row >= static_cast<int>(rows_.size())) return;
  const UINT old = rows_[row].state;
  rows_[row].state = (old & ~mask) | (state & mask);
  if (rows_[row].state == old) return;
  Changed();
  NotifyChanged(row, LVIF_STATE, old, rows_[row].state);
}

void CListCtrl::InputClick(int row, bool right, const Point* screen) {
  if (!enabled_ || !visible_ || !parent_.IsWindowEnabled()) return;
  if (row >= static_cast<int>(rows_.size())) row = -1;
  SetFocus();
  Point client{GetClientRect().cx / 2, kListHeaderHeight / 2};
  if (row >= 0) {
    const Rect r = GetItemRect(row);
    client = Point{r.x + r.cx / 2, r.y + r.cy / 2};
  }
  if (screen) {
    client = *screen;
    ScreenToClient(&client);
  }
  Point at = client;
  ClientToScreen(&at);
  SetMessagePos(at);
  if (row >= 0) {
    ChangeState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  } else {
    for (int i = 0; i < static_cast<int>(rows_.size()); ++i) ChangeState(i, 0, LVIS_SELECTED);
  }
  if (!parent_.GetSafeHwnd()) return;
  NMITEMACTIVATE nm{{GetSafeHwnd(), id_, right ? NM_RCLICK : NM_CLICK}, row, 0, client};
  parent_.SendNotify(nm.hdr);
}

}  // namespace tallow::ui
