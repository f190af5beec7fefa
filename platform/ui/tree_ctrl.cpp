// The tree view: items with their images and data, expansion, the
// selection, and the hit test in the tree's own layout.
#include <algorithm>
#include <atomic>

#include "platform/ui/control.h"
#include "platform/ui/dialog.h"
#include "platform/ui/ui_thread.h"

namespace tallow::ui {

namespace {
// Label widths in the tree's own layout.
constexpr int kTreeIconWidth = 16;
constexpr int kTreeCharWidth = 6;

// Never reused, across every tree, so a stale handle names nothing.
std::atomic<std::uintptr_t> g_nextTreeHandle{0};
}  // namespace

CTreeCtrl::Node* CTreeCtrl::Get(HTREEITEM item) {
  auto it = nodes_.find(item);
  return it == nodes_.end() ? nullptr : &it->second;
}

const CTreeCtrl::Node* CTreeCtrl::Get(HTREEITEM item) const {
  auto it = nodes_.find(item);
  return it == nodes_.end() ? nullptr : &it->second;
}

HTREEITEM CTreeCtrl::InsertItem(WStringView text, int image, int selectedImage, HTREEITEM parent) {
  return CallOnUi([&]() -> HTREEITEM {
    Node* p = nullptr;
    if (parent) {
      p = Get(parent);
      if (!p) return nullptr;
    }
    const auto handle = reinterpret_cast<HTREEITEM>(++g_nextTreeHandle);
    Node node;
    node.text.assign(text);
    node.image = image;
    node.selectedImage = selectedImage;
    node.parent = parent;
    nodes_.emplace(handle, std::move(node));
    (p ? p->children : roots_).push_back(handle);
    Changed();
    return handle;
  });
}

void CTreeCtrl::Erase(HTREEITEM item) {
  Node* node = Get(item);
  if (!node) return;
  const std::vector<HTREEITEM> children = node->children;
  for (HTREEITEM child : children) Erase(child);
  if (selected_ == item) selected_ = nullptr;
  nodes_.erase(item);
}

BOOL CTreeCtrl::DeleteItem(HTREEITEM item) {
  return CallOnUi([&]() -> BOOL {
    Node* node = Get(item);
    if (!node) return FALSE;
    std::vector<HTREEITEM>& siblings = node->parent ? Get(node->parent)->children : roots_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), item), siblings.end());
    Erase(item);
    Changed();
    return TRUE;
  });
}

BOOL CTreeCtrl::DeleteAllItems() {
  return CallOnUi([&]() -> BOOL {
    nodes_.clear();
    roots_.clear();
    selected_ = nullptr;
    Changed();
    return TRUE;
  });
}

UINT CTreeCtrl::GetCount() const {
  return CallOnUi([&] { return static_cast<UINT>(nodes_.size()); });
}

BOOL CTreeCtrl::Expand(HTREEITEM item, UINT code) {
  return CallOnUi([&]() -> BOOL {
    Node* node = Get(item);
    if (!node) return FALSE;
    if (code == TVE_EXPAND) node->expanded = true;
    if (code == TVE_COLLAPSE) node->expanded = false;
    Changed();
    return TRUE;
  });
}

bool CTreeCtrl::IsExpanded(HTREEITEM item) const {
  return CallOnUi([&] {
    const Node* node = Get(item);
    return node && node->expanded;
  });
}

BOOL CTreeCtrl::SelectItem(HTREEITEM item) {
  return CallOnUi([&]() -> BOOL {
    if (item && !Get(item)) return FALSE;
    if (item == selected_) return TRUE;
    // The item is made visible: its parents open.
    for (HTREEITEM p = item ? Get(item)->parent : nullptr; p; p = Get(p)->parent) {
      Get(p)->expanded = true;
    }
    NMTREEVIEW nm{{GetSafeHwnd(), id_, TVN_SELCHANGED}, selected_, item};
    selected_ = item;
    Changed();
    parent_.SendNotify(nm.hdr);
    return TRUE;
  });
}

HTREEITEM CTreeCtrl::GetSelectedItem() const { return CallOnUi([&] { return selected_; }); }

HTREEITEM CTreeCtrl::GetRootItem() const {
  return CallOnUi([&]() -> HTREEITEM { return roots_.empty() ? nullptr : roots_.front(); });
}

HTREEITEM CTreeCtrl::GetChildItem(HTREEITEM item) const {
  return CallOnUi([&]() -> HTREEITEM {
    const Node* node = Get(item);
    return node && !node->children.empty() ? node->children.front() : nullptr;
  });
}

HTREEITEM CTreeCtrl::GetNextSiblingItem(HTREEITEM item) const {
  return CallOnUi([&]() -> HTREEITEM {
    const Node* node = Get(item);
    if (!node) return nullptr;
    const std::vector<HTREEITEM>& siblings = node->parent ? Get(node->parent)->children : roots_;
    auto it = std::find(siblings.begin(), siblings.end(), item);
    return it != siblings.end() && it + 1 != siblings.end() ? *(it + 1) : nullptr;
  });
}

HTREEITEM CTreeCtrl::GetParentItem(HTREEITEM item) const {
  return CallOnUi([&]() -> HTREEITEM {
    const Node* node = Get(item);
    return node ? node->parent : nullptr;
  });
}

WString CTreeCtrl::GetItemText(HTREEITEM item) const {
  return CallOnUi([&] {
    const Node* node = Get(item);
    return node ? node->text : WString();
  });
}

BOOL CTreeCtrl::GetItemImage(HTREEITEM item, int& image, int& selectedImage) const {
  return CallOnUi([&]() -> BOOL {
    const Node* node = Get(item);
    if (!node) return FALSE;
    image = node->image;
    selectedImage = node->selectedImage;
    return TRUE;
  });
}

BOOL CTreeCtrl::SetItemData(HTREEITEM item, LPARAM data) {
  return CallOnUi([&]() -> BOOL {
    Node* node = Get(item);
    if (!node) return FALSE;
    node->data = data;
    return TRUE;
  });
}

LPARAM CTreeCtrl::GetItemData(HTREEITEM item) const {
  return CallOnUi([&]() -> LPARAM {
    const Node* node = Get(item);
    return node ? node->data : 0;
  });
}

CImageList* CTreeCtrl::SetImageList(CImageList* list, int /*which*/) {
  return CallOnUi([&] {
    CImageList* previous = images_;
    images_ = list;
    Changed();
    return previous;
  });
}

CImageList* CTreeCtrl::GetImageList(int /*which*/) const { return CallOnUi([&] { return images_; }); }

void CTreeCtrl::Collect(const std::vector<HTREEITEM>& level, int depth,
                        std::vector<Shown>& out) const {
  for (HTREEITEM item : level) {
    out.push_back({item, depth});
    const Node* node = Get(item);
    if (node->expanded) Collect(node->children, depth + 1, out);
  }
}

std::vector<CTreeCtrl::Shown> CTreeCtrl::VisibleItems() const {
  return CallOnUi([&] {
    std::vector<Shown> out;
    Collect(roots_, 0, out);
    return out;
  });
}

HTREEITEM CTreeCtrl::HitTest(Point client, UINT* flags) const {
  return CallOnUi([&]() -> HTREEITEM {
    if (flags) *flags = TVHT_NOWHERE;
    if (UiBackend* backend = CurrentBackend()) {
      HTREEITEM item = nullptr;
      if (backend->TreeHitTest(*this, client, &item)) {
        if (flags && item) *flags = TVHT_ONITEMLABEL;
        return Get(item) ? item : nullptr;
      }
    }
    const Rect area = GetClientRect();
    if (client.x < 0 || client.y < 0 || client.x >= area.cx || client.y >= area.cy) return nullptr;
    const std::vector<Shown> shown = VisibleItems();
    const auto row = static_cast<std::size_t>(client.y / kItemHeight);
    if (row >= shown.size()) return nullptr;
    const Node* node = Get(shown[row].item);
    const int indent = (shown[row].depth + ((style_ & TVS_LINESATROOT) ? 1 : 0)) * kIndent;
    const int iconEnd = indent + (images_ ? kTreeIconWidth : 0);
    const int labelEnd = iconEnd + 4 + kTreeCharWidth * static_cast<int>(node->text.size());
    if (flags) {
      *flags = client.x < indent     ? TVHT_ONITEMINDENT
               : client.x < iconEnd  ? TVHT_ONITEMICON
               : client.x < labelEnd ? TVHT_ONITEMLABEL
                                     : TVHT_ONITEMRIGHT;
    }
    return shown[row].item;
  });
}

Rect CTreeCtrl::GetItemRect(HTREEITEM item) const {
  return CallOnUi([&] {
    const std::vector<Shown> shown = VisibleItems();
    for (std::size_t i = 0; i < shown.size(); ++i) {
      if (shown[i].item == item) {
        return Rect{0, static_cast<int>(i) * kItemHeight, GetClientRect().cx, kItemHeight};
      }
    }
    return Rect{};
  });
}

void CTreeCtrl::InputClick(Point client) {
  if (!enabled_ || !visible_ || !parent_.IsWindowEnabled()) return;
  SetFocus();
  Point at = client;
  ClientToScreen(&at);
  SetMessagePos(at);
  UINT flags = 0;
  const HTREEITEM hit = HitTest(client, &flags);
  // The tree itself selects what was clicked on its icon or label.
  if (hit && (flags & TVHT_ONITEM)) SelectItem(hit);
  if (!parent_.GetSafeHwnd()) return;
  NMHDR nm{GetSafeHwnd(), id_, NM_CLICK};
  parent_.SendNotify(nm);
}

void CTreeCtrl::InputSelect(HTREEITEM item) {
  if (!enabled_ || !visible_ || !parent_.IsWindowEnabled() || !Get(item)) return;
  SetFocus();
  SelectItem(item);
}

}  // namespace tallow::ui
