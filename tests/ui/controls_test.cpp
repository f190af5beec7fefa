// The layer's own controls: list and tree views, up-down buddies, radio
// groups and combo boxes, on the program's templates.
#include <algorithm>

#include "recording_dlg.h"
#include "ui_fixture.h"

namespace tallow::ui::testing {
namespace {

constexpr UINT kSelFocus = LVIS_SELECTED | LVIS_FOCUSED;

class ControlsTest : public UiTest {
 protected:
  // The main window, modeless, so that the test drives it directly.
  void Open(std::vector<std::pair<int, int>> notifies, std::vector<std::pair<int, int>> commands = {}) {
    main.watchNotifies = std::move(notifies);
    main.watchCommands = std::move(commands);
    ASSERT_TRUE(main.Create());
    ASSERT_TRUE(main.IsIconic());
    main.ShowWindow(SW_SHOWNORMAL);
    main.events.clear();
  }
  CListCtrl* List() { return dynamic_cast<CListCtrl*>(main.GetDlgItem(1201)); }
  CTreeCtrl* Tree() { return dynamic_cast<CTreeCtrl*>(main.GetDlgItem(1211)); }
  CSpinButtonCtrl* Spin() { return dynamic_cast<CSpinButtonCtrl*>(main.GetDlgItem(1501)); }

  RecordingDlg main{res::IDD_MAIN};
};

TEST_F(ControlsTest, ListRowsCarryTextsImagesAndItemData) {
  Open({});
  CListCtrl* list = List();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->InsertColumn(0, u"File Number", LVCFMT_LEFT, 80), 0);
  EXPECT_EQ(list->InsertColumn(1, u"Pages", LVCFMT_LEFT, 70), 1);
  list->SetExtendedStyle(list->GetExtendedStyle() | LVS_EX_FULLROWSELECT);
  EXPECT_EQ(list->GetExtendedStyle(), LVS_EX_FULLROWSELECT);
  EXPECT_EQ(list->InsertItem(LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM, 0, u"0001", 0, 0, 3, 7), 0);
  EXPECT_EQ(list->InsertItem(LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM, 5, u"0002", 0, 0, 3, 9), 1);
  EXPECT_EQ(list->InsertItem(0, u"0000"), 0);  // in front
  EXPECT_TRUE(list->SetItemText(1, 1, u"3"));
  EXPECT_FALSE(list->SetItemText(1, 2, u"x"));  // no such column
  EXPECT_FALSE(list->SetItemText(3, 0, u"x"));  // no such row
  EXPECT_EQ(list->GetItemCount(), 3);
  EXPECT_EQ(list->GetItemText(1, 0), u"0001");
  EXPECT_EQ(list->GetItemText(1, 1), u"3");
  EXPECT_EQ(list->GetItemText(2, 1), u"");
  EXPECT_EQ(list->GetItemData(1), 7);
  EXPECT_EQ(list->GetItemData(2), 9);
  EXPECT_EQ(list->GetItemData(-1), 0);
  EXPECT_EQ(list->GetItemImage(2), 3);
  EXPECT_EQ(list->GetNextItem(-1, LVNI_SELECTED), -1);
}

TEST_F(ControlsTest, SingleSelectionTellsTheRowThatLosesItAndTheRowThatGainsIt) {
  Open({{1201, LVN_ITEMCHANGED}, {1201, NM_CLICK}, {1201, NM_RCLICK}});
  CListCtrl* list = List();
  for (int i = 0; i < 3; ++i) list->InsertItem(i, u"row");
  main.events.clear();

  list->InputClick(1, false);
  list->InputClick(2, true);
  list->InputClick(-1, false);  // empty space
  const std::vector<Event> expected = {
      {1201, LVN_ITEMCHANGED, 1, 0, kSelFocus, LVIF_STATE},
      {1201, NM_CLICK, 1},
      {1201, LVN_ITEMCHANGED, 1, kSelFocus, 0, LVIF_STATE},
      {1201, LVN_ITEMCHANGED, 2, 0, kSelFocus, LVIF_STATE},
      {1201, NM_RCLICK, 2},
      {1201, LVN_ITEMCHANGED, 2, kSelFocus, LVIS_FOCUSED, LVIF_STATE},
      {1201, NM_CLICK, -1},
  };
  EXPECT_EQ(main.events, expected);
  EXPECT_EQ(list->GetNextItem(-1, LVNI_SELECTED), -1);

  // Code selects the same way, with the same notices.
  main.events.clear();
  EXPECT_TRUE(list->SetItemState(0, kSelFocus, kSelFocus));
  EXPECT_EQ(list->GetNextItem(-1, LVNI_SELECTED), 0);
  EXPECT_EQ(list->GetSelectedCount(), 1);
  ASSERT_EQ(main.events.size(), 2u);  // row 2 gives up the focus, row 0 takes both
  EXPECT_EQ(main.events[1], (Event{1201, LVN_ITEMCHANGED, 0, 0, kSelFocus, LVIF_STATE}));
}

TEST_F(ControlsTest, RightClickPutsTheCursorOnTheRowForTheContextMenu) {
  Open({{1201, NM_RCLICK}});
  CListCtrl* list = List();
  for (int i = 0; i < 4; ++i) list->InsertItem(i, u"row");
  list->InputClick(3, true);
  const Rect screen = list->GetWindowRect();
  const Point at = GetCursorPos();
  EXPECT_TRUE(screen.Contains(at));
  Point client = at;
  list->ScreenToClient(&client);
  EXPECT_TRUE(list->GetItemRect(3).Contains(client));
}

TEST_F(ControlsTest, DeletingAllRowsAsksOnceAndPerRowOnlyWhenTheParentWants) {
  for (LRESULT answer : {LRESULT{1}, LRESULT{0}}) {
    SCOPED_TRACE(answer);
    RecordingDlg dialog(res::IDD_MAIN);
    dialog.watchNotifies = {{1201, LVN_DELETEALLITEMS}, {1201, LVN_DELETEITEM}, {1201, LVN_ITEMCHANGED}};
    dialog.notifyAnswer = answer;
    ASSERT_TRUE(dialog.Create());
    auto* list = dynamic_cast<CListCtrl*>(dialog.GetDlgItem(1201));
    list->InsertItem(LVIF_TEXT | LVIF_PARAM, 0, u"a", 0, 0, 0, 11);
    list->InsertItem(LVIF_TEXT | LVIF_PARAM, 1, u"b", 0, 0, 0, 12);
    list->SetItemState(1, LVIS_SELECTED, LVIS_SELECTED);
    dialog.events.clear();
    EXPECT_TRUE(list->DeleteAllItems());
    std::vector<Event> expected = {{1201, LVN_DELETEALLITEMS, -1}};
    if (answer == 0) {
      expected.push_back({1201, LVN_DELETEITEM, 0});
      expected.push_back({1201, LVN_DELETEITEM, 1});
    }
    // No selection change is told for rows that go.
    EXPECT_EQ(dialog.events, expected);
    EXPECT_EQ(list->GetItemCount(), 0);
    EXPECT_EQ(list->GetNextItem(-1, LVNI_SELECTED), -1);
  }
}

// A list view emptied by the parent's handler of one of its own notices.
class EmptyingDlg : public RecordingDlg {
 public:
  EmptyingDlg() : RecordingDlg(res::IDD_MAIN) {}
  int calls = 0;

 protected:
  void DeclareMessageMap(MessageMap& map) override {
    map.OnNotify(1201, LVN_ITEMCHANGED, [this](NMHDR* h, LRESULT*) {
      ++calls;
      // A row that loses its selection takes the whole list with it.
      if (reinterpret_cast<NMLISTVIEW*>(h)->uOldState & LVIS_SELECTED) {
        dynamic_cast<CListCtrl*>(GetDlgItem(1201))->DeleteAllItems();
      }
    });
  }
};

TEST_F(ControlsTest, HandlerThatEmptiesTheListDuringASelectionChangeIsSafe) {
  EmptyingDlg dialog;
  ASSERT_TRUE(dialog.Create());
  auto* list = dynamic_cast<CListCtrl*>(dialog.GetDlgItem(1201));
  for (int i = 0; i < 3; ++i) list->InsertItem(i, u"row");
  list->SetItemState(2, LVIS_SELECTED, LVIS_SELECTED);
  // Row 2 gives up its selection and empties the list before row 0 gets it.
  EXPECT_TRUE(list->SetItemState(0, LVIS_SELECTED, LVIS_SELECTED));
  EXPECT_EQ(list->GetItemCount(), 0);
  EXPECT_EQ(dialog.calls, 2);
}

TEST_F(ControlsTest, TreeHitTestFindsTheRowUnderAPoint) {
  Open({{1211, NM_CLICK}});
  CTreeCtrl* tree = Tree();
  ASSERT_NE(tree, nullptr);
  const HTREEITEM root = tree->InsertItem(u"Root", 0, 0);
  const HTREEITEM box1 = tree->InsertItem(u"Box 1", 1, 2, root);
  const HTREEITEM box2 = tree->InsertItem(u"Box 2", 1, 2, root);
  EXPECT_EQ(tree->GetCount(), 3u);
  EXPECT_EQ(tree->GetRootItem(), root);
  EXPECT_EQ(tree->GetChildItem(root), box1);
  EXPECT_EQ(tree->GetNextSiblingItem(box1), box2);
  EXPECT_EQ(tree->GetParentItem(box2), root);
  int image = -1, selected = -1;
  EXPECT_TRUE(tree->GetItemImage(box2, image, selected));
  EXPECT_EQ(image, 1);
  EXPECT_EQ(selected, 2);

  const int h = CTreeCtrl::kItemHeight;
  struct HitCase {
    const char* name;
    Point at;
    HTREEITEM collapsed;
    HTREEITEM expanded;
  };
  const HitCase cases[] = {
      {"root label", {8, h / 2}, root, root},
      {"second row", {30, h + 2}, nullptr, box1},
      {"third row, right of its label", {60, 2 * h + 1}, nullptr, box2},
      {"below the last row", {8, 3 * h + 1}, nullptr, nullptr},
      {"left of the tree", {-1, 2}, nullptr, nullptr},
  };
  for (bool expanded : {false, true}) {
    if (expanded) {
      EXPECT_TRUE(tree->Expand(root, TVE_EXPAND));
    }
    for (const HitCase& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (expanded ? ", expanded" : ", collapsed"));
      EXPECT_EQ(tree->HitTest(c.at), expanded ? c.expanded : c.collapsed);
    }
  }
  UINT flags = 0;
  EXPECT_EQ(tree->HitTest(Point{60, 2 * h + 1}, &flags), box2);
  EXPECT_EQ(flags, TVHT_ONITEMRIGHT);
}

TEST_F(ControlsTest, TreeClickSelectsTheItemHitAndTellsTheParentWithTheMessagePosition) {
  Open({{1211, NM_CLICK}, {1211, TVN_SELCHANGED}});
  CTreeCtrl* tree = Tree();
  const HTREEITEM root = tree->InsertItem(u"Root", 0, 0);
  const HTREEITEM box = tree->InsertItem(u"Box", 1, 2, root);
  tree->Expand(root, TVE_EXPAND);
  main.events.clear();

  const Point onBox{tree->GetItemRect(box).x + 25, tree->GetItemRect(box).y + 4};
  tree->InputClick(onBox);
  EXPECT_EQ(tree->GetSelectedItem(), box);
  Point pos = GetMessagePos();
  tree->ScreenToClient(&pos);
  EXPECT_EQ(pos, onBox);  // what a click handler reads back
  tree->InputClick(Point{5, 100});  // empty space: the tree keeps its selection
  EXPECT_EQ(tree->GetSelectedItem(), box);
  const std::vector<Event> expected = {
      {1211, TVN_SELCHANGED}, {1211, NM_CLICK}, {1211, NM_CLICK}};
  EXPECT_EQ(main.events, expected);
}

TEST_F(ControlsTest, TreeHandlesOfDeletedItemsNameNothing) {
  Open({});
  CTreeCtrl* tree = Tree();
  const HTREEITEM root = tree->InsertItem(u"Root", 0, 0);
  const HTREEITEM box = tree->InsertItem(u"Box", 1, 2, root);
  EXPECT_TRUE(tree->SelectItem(box));
  EXPECT_TRUE(tree->IsExpanded(root));  // selecting shows the item
  EXPECT_TRUE(tree->DeleteAllItems());
  EXPECT_EQ(tree->GetSelectedItem(), nullptr);
  const HTREEITEM again = tree->InsertItem(u"Root", 0, 0);
  EXPECT_NE(again, root);
  EXPECT_NE(again, box);
  EXPECT_EQ(tree->GetItemText(box), u"");
  EXPECT_FALSE(tree->SelectItem(box));
  EXPECT_FALSE(tree->SetItemData(root, 5));
  EXPECT_EQ(tree->InsertItem(u"orphan", 1, 1, box), nullptr);
  EXPECT_EQ(tree->GetCount(), 1u);
}

TEST_F(ControlsTest, UpDownTakesTheRightEndOfItsBuddyAndShowsItsPositionThere) {
  Open({}, {{1001, EN_CHANGE}});
  CSpinButtonCtrl* spin = Spin();
  ASSERT_NE(spin, nullptr);
  Control* buddy = main.GetDlgItem(1001);
  EXPECT_EQ(spin->GetBuddy(), buddy);
  EXPECT_EQ(dynamic_cast<CSpinButtonCtrl*>(main.GetDlgItem(1502))->GetBuddy(), main.GetDlgItem(1002));
  const Rect b = buddy->GetPixelRect();
  const Rect s = spin->GetPixelRect();
  const Rect edit = DialogUnitsToPixels(Rect{85, 211, 33, 14}, ui.DialogBaseUnits(res::kMainTemplate));
  EXPECT_EQ(b.x, edit.x);
  EXPECT_EQ(b.cx + s.cx, edit.cx);
  EXPECT_EQ(s.x, b.right());
  EXPECT_EQ(s.y, b.y);
  EXPECT_EQ(s.cy, b.cy);

  spin->SetRange32(1, 9999);
  spin->SetPos32(1);
  EXPECT_EQ(buddy->GetText(), u"1");
  spin->InputSpin(+1);
  EXPECT_EQ(buddy->GetText(), u"2");
  spin->InputSpin(-5);
  EXPECT_EQ(buddy->GetText(), u"1");  // held at the bottom of the range
  main.InputType(1001, u"7");  // the caret was at 0
  EXPECT_EQ(spin->GetPos32(), 71);
  main.InputKey(VK_UP);  // arrows in the buddy step the up-down
  EXPECT_EQ(buddy->GetText(), u"72");
  buddy->SetText(u"");
  BOOL error = FALSE;
  EXPECT_EQ(spin->GetPos32(&error), 72);
  EXPECT_TRUE(error);
  EXPECT_EQ(std::count(main.events.begin(), main.events.end(), Event{1001, EN_CHANGE}), 6);
}

TEST_F(ControlsTest, RadioGroupExchangesTheIndexOfItsCheckedButton) {
  Open({}, {{1303, BN_CLICKED}});
  struct Case {
    int load;
    std::vector<int> checked;
  };
  for (const Case& c : {Case{0, {1}}, Case{2, {0, 0, 1}}, Case{-1, {0, 0, 0}}}) {
    SCOPED_TRACE(c.load);
    int value = c.load;
    CDataExchange load(&main, FALSE);
    DDX_Radio(&load, 1301, value);
    for (int i = 0; i < 3; ++i) {
      const int want = i < static_cast<int>(c.checked.size()) ? c.checked[i] : 0;
      EXPECT_EQ(main.GetDlgItem(1301 + i)->GetCheck(), want);
    }
    CDataExchange save(&main, TRUE);
    value = 99;
    DDX_Radio(&save, 1301, value);
    EXPECT_EQ(value, c.load);
  }
  // The group runs past the non-radio controls up to the next WS_GROUP; an
  // automatic radio button clears the others.
  main.GetDlgItem(1301)->SetCheck(BST_CHECKED);
  main.InputClick(1303);
  EXPECT_EQ(main.GetDlgItem(1301)->GetCheck(), BST_UNCHECKED);
  EXPECT_EQ(main.GetDlgItem(1303)->GetCheck(), BST_CHECKED);
  EXPECT_EQ(main.events, (std::vector<Event>{{1303, BN_CLICKED}}));
}

TEST_F(ControlsTest, ComboBoxSortsAddedRowsButNotInsertedOnes) {
  RecordingDlg settings(res::IDD_BASIC_SETTING);
  settings.watchCommands = {{4201, CBN_SELCHANGE}};
  ASSERT_TRUE(settings.Create());
  auto* combo = dynamic_cast<CComboBox*>(settings.GetDlgItem(4201));
  ASSERT_NE(combo, nullptr);
  for (const char16_t* name : {u"Zeta", u"alpha", u"Mid"}) combo->InsertString(-1, name);
  EXPECT_EQ(combo->GetLBText(0), u"Zeta");  // kept in the order given
  EXPECT_EQ(combo->GetLBText(2), u"Mid");
  combo->ResetContent();
  for (const char16_t* name : {u"Zeta", u"alpha", u"Mid"}) combo->AddString(name);
  EXPECT_EQ(combo->GetLBText(0), u"alpha");
  EXPECT_EQ(combo->GetLBText(1), u"Mid");
  EXPECT_EQ(combo->GetLBText(2), u"Zeta");

  EXPECT_EQ(combo->SetCurSel(1), 1);
  EXPECT_EQ(combo->GetText(), u"Mid");
  int row = -2;
  CDataExchange save(&settings, TRUE);
  DDX_CBIndex(&save, 4201, row);
  EXPECT_EQ(row, 1);
  EXPECT_EQ(combo->SetCurSel(3), CB_ERR);  // beyond the rows: no selection
  EXPECT_EQ(combo->GetCurSel(), -1);
  combo->InputSelect(2);
  EXPECT_EQ(combo->GetCurSel(), 2);
  EXPECT_EQ(settings.events, (std::vector<Event>{{4201, CBN_SELCHANGE}}));
}

}  // namespace
}  // namespace tallow::ui::testing
