// List views, tree views and combo boxes, filled by the layer one item at a
// time and brought over when the loop comes round, touching only what changed.
#include "platform/ui/icon.h"
#include "platform/ui/wx/wx_impl.h"

#include <wx/choice.h>
#include <wx/imaglist.h>
#include <wx/listctrl.h>
#include <wx/treectrl.h>

#include <algorithm>
#include <functional>

namespace tallow::ui {

namespace {
// A wx image list made from the layer's; null for none or an empty one.
wxImageList* MakeImageList(const CImageList* images) {
  if (!images || !images->IsCreated() || images->GetImageCount() == 0) return nullptr;
  const Size size = images->GetIconSize();
  auto* list = new wxImageList(size.cx, size.cy, false, images->GetImageCount());
  for (int i = 0; i < images->GetImageCount(); ++i) {
    wxImage art = IconArt(images->GetIcon(i), size.cx, images->GetBkColor());
    if (size.cy != size.cx) art.Resize(wxSize(size.cx, size.cy), wxPoint(0, 0));
    list->Add(wxBitmap(art));
  }
  return list;
}
}  // namespace

void WxBackend::Impl::SyncList(Slot& slot, CListCtrl& lv) {
  auto* list = static_cast<wxListCtrl*>(slot.win);
  ListState& state = *slot.list;
  ++updating;
  list->Freeze();

  const CImageList* images = lv.GetImageList(LVSIL_SMALL);
  const int imageCount = images ? images->GetImageCount() : 0;
  const COLORREF background = images ? images->GetBkColor() : CLR_NONE;
  if (images != state.images || imageCount != state.imageCount ||
      background != state.imageBackground) {
    state.images = images;
    state.imageCount = imageCount;
    state.imageBackground = background;
    list->AssignImageList(MakeImageList(images), wxIMAGE_LIST_SMALL);
  }

  // Columns: a different number of them starts the list afresh.
  const int columns = lv.GetColumnCount();
  const auto shownWidth = [&state](int width) {
    return width >= 0 ? MulDiv(width, state.unitsX, state.referenceX) : width;
  };
  if (list->GetColumnCount() != columns) {
    list->DeleteAllItems();
    list->DeleteAllColumns();
    state.rows.clear();
    for (int i = 0; i < columns; ++i) {
      const int width = shownWidth(lv.GetColumnWidth(i));
      list->InsertColumn(i, ToWx(lv.GetColumnHeading(i)), wxLIST_FORMAT_LEFT,
                         width >= 0 ? width : wxLIST_AUTOSIZE_USEHEADER);
    }
  } else {
    for (int i = 0; i < columns; ++i) {
      wxListItem item;
      item.SetMask(wxLIST_MASK_TEXT);
      list->GetColumn(i, item);
      const wxString heading = ToWx(lv.GetColumnHeading(i));
      if (item.GetText() != heading) {
        item.SetText(heading);
        list->SetColumn(i, item);
      }
      const int width = shownWidth(lv.GetColumnWidth(i));
      if (width >= 0 && list->GetColumnWidth(i) != width) list->SetColumnWidth(i, width);
    }
  }

  // Rows by position: only what differs from what was put there before.
  const int count = lv.GetItemCount();
  const int texts = std::max(columns, 1);
  while (list->GetItemCount() > count) {
    list->DeleteItem(list->GetItemCount() - 1);
    state.rows.pop_back();
  }
  while (list->GetItemCount() < count) {
    list->InsertItem(list->GetItemCount(), wxString());
    state.rows.push_back(ListState::Row{std::vector<WString>(texts), -1});
  }
  for (int row = 0; row < count; ++row) {
    ListState::Row& shadow = state.rows[static_cast<std::size_t>(row)];
    shadow.texts.resize(texts);
    for (int col = 0; col < texts; ++col) {
      WString text = lv.GetItemText(row, col);
      if (text != shadow.texts[static_cast<std::size_t>(col)]) {
        list->SetItem(row, col, ToWx(text));
        shadow.texts[static_cast<std::size_t>(col)] = std::move(text);
      }
    }
    const int image = lv.GetItemImage(row);
    if (image != shadow.image) {
      list->SetItemImage(row, image);
      shadow.image = image;
    }
    // The states as wx has them now: the user may have moved them.
    const UINT want = lv.GetItemState(row, LVIS_SELECTED | LVIS_FOCUSED);
    const long have = list->GetItemState(row, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
    const bool selected = (want & LVIS_SELECTED) != 0;
    const bool focused = (want & LVIS_FOCUSED) != 0;
    if (selected != ((have & wxLIST_STATE_SELECTED) != 0)) {
      list->SetItemState(row, selected ? wxLIST_STATE_SELECTED : 0, wxLIST_STATE_SELECTED);
    }
    if (focused && !(have & wxLIST_STATE_FOCUSED)) {
      list->SetItemState(row, wxLIST_STATE_FOCUSED, wxLIST_STATE_FOCUSED);
    }
  }
  list->Thaw();
  --updating;
}

void WxBackend::Impl::SyncTree(Slot& slot, CTreeCtrl& tv) {
  auto* tree = static_cast<wxTreeCtrl*>(slot.win);
  TreeState& state = *slot.tree;
  // Everything the layer holds, in pre-order.
  std::vector<TreeEntry> entries;
  std::function<void(HTREEITEM, HTREEITEM)> walk = [&](HTREEITEM first, HTREEITEM parent) {
    for (HTREEITEM item = first; item; item = tv.GetNextSiblingItem(item)) {
      int image = -1;
      int selected = -1;
      tv.GetItemImage(item, image, selected);
      entries.push_back(TreeEntry{item, parent, tv.GetItemText(item), image, selected});
      walk(tv.GetChildItem(item), item);
    }
  };
  walk(tv.GetRootItem(), nullptr);

  const CImageList* images = tv.GetImageList(TVSIL_NORMAL);
  const int imageCount = images ? images->GetImageCount() : 0;
  const COLORREF background = images ? images->GetBkColor() : CLR_NONE;
  ++updating;
  const bool imagesChanged = images != state.images || imageCount != state.imageCount ||
                             background != state.imageBackground;
  if (imagesChanged) {
    state.images = images;
    state.imageCount = imageCount;
    state.imageBackground = background;
    tree->AssignImageList(MakeImageList(images));
  }
  if (imagesChanged || entries != state.entries) {
    tree->Freeze();
    tree->DeleteAllItems();
    state.toWx.clear();
    state.fromWx.clear();
    const wxTreeItemId root = tree->AddRoot(wxString());
    const bool withImages = imageCount > 0;
    for (const TreeEntry& e : entries) {
      const wxTreeItemId parent = e.parent ? state.toWx[e.parent] : root;
      const wxTreeItemId id =
          tree->AppendItem(parent, ToWx(e.text), withImages ? e.image : -1,
                           withImages ? e.selectedImage : -1);
      state.toWx[e.item] = id;
      state.fromWx[id.GetID()] = e.item;
    }
    state.entries = std::move(entries);
    tree->Thaw();
  }
  // Open items, children first so that a parent opens onto open children.
  for (auto it = state.entries.rbegin(); it != state.entries.rend(); ++it) {
    const wxTreeItemId id = state.toWx[it->item];
    const bool open = tv.IsExpanded(it->item);
    if (!tree->ItemHasChildren(id) || tree->IsExpanded(id) == open) continue;
    if (open) {
      tree->Expand(id);
    } else {
      tree->Collapse(id);
    }
  }
  const HTREEITEM selected = tv.GetSelectedItem();
  auto found = selected ? state.toWx.find(selected) : state.toWx.end();
  if (found != state.toWx.end()) {
    if (tree->GetSelection() != found->second) tree->SelectItem(found->second);
  } else if (tree->GetSelection().IsOk()) {
    tree->UnselectAll();
  }
  --updating;
}

void WxBackend::Impl::SyncCombo(CComboBox& combo, wxChoice* choice) {
  ++updating;
  wxArrayString items;
  for (int i = 0; i < combo.GetCount(); ++i) items.Add(ToWx(combo.GetLBText(i)));
  if (choice->GetStrings() != items) choice->Set(items);
  const int selection = combo.GetCurSel();
  if (choice->GetSelection() != selection) {
    choice->SetSelection(selection >= 0 ? selection : wxNOT_FOUND);
  }
  --updating;
}

bool WxBackend::TreeHitTest(const CTreeCtrl& tree, Point client, HTREEITEM* item) {
  Impl::Window* w = impl_->Find(&tree.Parent());
  if (!w) return false;
  auto it = w->indexOf.find(&tree);
  if (it == w->indexOf.end() || !w->slots[it->second].tree) return false;
  impl_->FlushSlot(*w, it->second);
  const Impl::TreeState& state = *w->slots[it->second].tree;
  auto* wxTree = static_cast<wxTreeCtrl*>(w->slots[it->second].win);
  int flags = 0;
  const wxTreeItemId hit = wxTree->HitTest(wxPoint(client.x, client.y), flags);
  HTREEITEM found = nullptr;
  if (hit.IsOk()) {
    auto f = state.fromWx.find(hit.GetID());
    if (f != state.fromWx.end()) found = f->second;
  }
  if (item) *item = found;
  return true;
}

}  // namespace tallow::ui
