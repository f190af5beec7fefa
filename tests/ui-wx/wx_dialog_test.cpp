// The wxWidgets back end's windows and controls: every template opens with
// its controls where the layer put them, list views, trees, menus, choices
// and page pictures show what the layer holds, the user's clicks and keys
// come back to it, popup menus and the save dialog answer what was picked,
// and posted calls from a worker are pumped by the wx loop.
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/ui/file_dialog.h"
#include "platform/ui/icon.h"
#include "platform/ui/image.h"
#include "res/dialog_templates.h"
#include "res/menus.h"
#include "tests/ui-wx/wx_fixture.h"

// After the project's headers: wx defines TRUE and FALSE as macros.
#include <wx/colour.h>
#include <wx/image.h>
#include <wx/uiaction.h>

namespace tallow::ui::testing {
namespace {

// Records the commands and notifications of every control and menu item,
// and the system commands.
class Recorder : public CDialog {
 public:
  explicit Recorder(int id) : CDialog(id) {}

  bool Saw(int id, int code) const {
    for (const auto& e : events) {
      if (e == std::pair{id, code}) return true;
    }
    return false;
  }

  std::vector<std::pair<int, int>> events;  // (id, code)
  std::vector<UINT> sysCommands;

 protected:
  void DeclareMessageMap(MessageMap& map) override {
    std::vector<int> ids;
    for (const ControlTemplate& c : Template()->controls) {
      if (c.id != IDC_STATIC && c.id != IDOK && c.id != IDCANCEL) ids.push_back(c.id);
    }
    std::function<void(const CMenu&)> commands = [&](const CMenu& menu) {
      for (const CMenu::Item& item : menu.Items()) {
        if (item.popup) commands(*item.popup);
        if (!item.popup && !item.separator) ids.push_back(item.id);
      }
    };
    if (GetMenu()) commands(*GetMenu());
    for (int id : ids) {
      // BN_CLICKED is also a menu command's code.
      for (int code : {BN_CLICKED, CBN_SELCHANGE}) {
        map.OnCommand(id, code, [this, id, code] { events.emplace_back(id, code); });
      }
      for (int code : {NM_CLICK, NM_RCLICK, LVN_ITEMCHANGED, TVN_SELCHANGED, UDN_DELTAPOS}) {
        map.OnNotify(id, code,
                     [this, id, code](NMHDR*, LRESULT*) { events.emplace_back(id, code); });
      }
    }
  }
  void OnSysCommand(UINT id, LPARAM param) override {
    sysCommands.push_back(id);
    CDialog::OnSysCommand(id, param);
  }
};

// Every template opens with its controls where the layer put them. The
// screenshots of the templates whose dialogs are not built yet show them
// bare; the others are taken of the dialogs themselves (below).
TEST_F(WxDialogTest, TemplatesOpenWithControlsInPlace) {
  for (int id : {res::IDD_ABOUTBOX, res::IDD_SELECT_MFP, res::IDD_PASSWORD,
                 res::IDD_BASIC_SETTING, res::IDD_PROGRESS, res::IDD_MAIN}) {
    SCOPED_TRACE(id);
    const DialogTemplate* t = FindDialogTemplate(id);
    ASSERT_NE(t, nullptr);
    // The program's own dialogs are shown by their own tests, filled.
    const bool built = id == res::IDD_ABOUTBOX || id == res::IDD_SELECT_MFP ||
                       id == res::IDD_PASSWORD || id == res::IDD_BASIC_SETTING ||
                       id == res::IDD_PROGRESS || id == res::IDD_MAIN;
    const std::filesystem::path shot =
        built ? TempShotPath() : ShotPath("dialog-" + std::to_string(id) + ".png");
    bool shown = false;
    int menuBar = 0;
    Rect client;
    wx_->OnDialogShown([&](CDialog& d) {
      shown = true;
      const auto units = wx_->DialogBaseUnits(d);
      ASSERT_TRUE(units);
      // A desktop font of a usual size, standing in for the template's.
      EXPECT_GE(units->x, 4);
      EXPECT_LE(units->x, 20);
      EXPECT_GE(units->y, 8);
      EXPECT_LE(units->y, 40);
      EXPECT_FALSE(wx_->FontFace(d).empty());
      EXPECT_NE(wx_->FontFace(d), "MS Shell Dlg");
      // The main window's template makes it minimised; shown, it is restored.
      EXPECT_FALSE(d.IsIconic());

      const auto wxClient = wx_->ClientRect(d);
      ASSERT_TRUE(wxClient);
      client = d.GetClientRect();
      EXPECT_EQ(*wxClient, client);
      menuBar = wx_->MenuBarHeight(d);
      EXPECT_EQ(menuBar > 0, t->menuId != 0);
      for (std::size_t i = 0; i < t->controls.size(); ++i) {
        SCOPED_TRACE(i);
        const Rect layer = d.Controls()[i]->GetPixelRect();
        const auto px = wx_->ControlRect(d, i);
        ASSERT_TRUE(px);
        if (t->controls[i].kind == ControlKind::kComboBox) {
          // Closed, a combo box is as tall as the theme makes its field, far
          // short of the template's open list.
          EXPECT_EQ(Rect(px->x, px->y, px->cx, 0), Rect(layer.x, layer.y, layer.cx, 0));
          EXPECT_GT(px->cy, 0);
          EXPECT_LT(px->cy, DialogUnitsToPixels(t->controls[i].rect, *units).cy / 2);
        } else {
          EXPECT_EQ(*px, layer);
        }
        if (t->controls[i].kind == ControlKind::kIcon) {
          EXPECT_TRUE(wx_->ViewControl(d, i)->hasBitmap);
        }
      }
      EXPECT_TRUE(wx_->SaveScreenshot(d, shot.string()));
      d.InputEscape();
    });
    CDialog dialog(id);
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_TRUE(shown);
    wxImage image;
    ASSERT_TRUE(std::filesystem::exists(shot));
    ASSERT_TRUE(image.LoadFile(shot.string(), wxBITMAP_TYPE_PNG));
    // The main window's shows its menu bar above the client area.
    EXPECT_EQ(image.GetWidth(), client.cx);
    EXPECT_EQ(image.GetHeight(), client.cy + menuBar);
  }
}

// What the dialog code sets in the layer shows in the wx controls.
TEST_F(WxDialogTest, LayerChangesReachTheWindow) {
  // Progress template: 0 text, 1 bar, 2 OK, 3 Cancel.
  wx_->OnDialogShown([&](CDialog& d) {
    d.SetDlgItemText(5101, u"Saving page 2 of 3 \u00e9");
    d.GetDlgItem(5001)->SetRange32(0, 200);
    d.GetDlgItem(5001)->SetPos(50);
    d.GetDlgItem(5201)->EnableWindow(false);
    d.GetDlgItem(5202)->ShowWindow(SW_HIDE);
    d.SetWindowText(u"Saving");
    const auto text = wx_->ViewControl(d, 0);
    const auto bar = wx_->ViewControl(d, 1);
    const auto ok = wx_->ViewControl(d, 2);
    const auto cancel = wx_->ViewControl(d, 3);
    ASSERT_TRUE(text && bar && ok && cancel);
    EXPECT_EQ(text->text, "Saving page 2 of 3 \xc3\xa9");  // UTF-8 of the wide text
    EXPECT_EQ(bar->range, 200);
    EXPECT_EQ(bar->value, 50);
    EXPECT_FALSE(ok->enabled);
    EXPECT_TRUE(ok->shown);
    EXPECT_FALSE(cancel->shown);
    // The window follows the layer's placement.
    const Rect before = d.GetWindowRect();
    d.MoveWindow(before.x + 13, before.y + 7, before.cx, before.cy);
    wx_->Pump(std::chrono::milliseconds(200));
    EXPECT_EQ(d.GetWindowRect(), Rect(before.x + 13, before.y + 7, before.cx, before.cy));
    d.InputEscape();
  });
  CDialog dialog(res::IDD_PROGRESS);
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
}

// What the user does in the wx controls reaches the layer.
TEST_F(WxDialogTest, UserInputReachesTheLayer) {
  // Password template: 1 edit, 3 check box.
  wx_->OnDialogShown([&](CDialog& d) {
    ASSERT_TRUE(wx_->TypeInto(d, 1, "1234"));
    EXPECT_EQ(d.GetDlgItemText(6001), u"1234");
    ASSERT_TRUE(wx_->Click(d, 3));
    EXPECT_EQ(d.GetDlgItem(6101)->GetCheck(), BST_CHECKED);
    EXPECT_TRUE(wx_->ViewControl(d, 3)->checked);
    d.InputEscape();
  });
  CDialog password(res::IDD_PASSWORD);
  EXPECT_EQ(password.DoModal(), IDCANCEL);

  // About template: 7 is its OK button, which ends the dialog.
  wx_->OnDialogShown([&](CDialog& d) { ASSERT_TRUE(wx_->Click(d, 7)); });
  CDialog about(res::IDD_ABOUTBOX);
  EXPECT_EQ(about.DoModal(), IDOK);
}

// A list filled row by row and a tree show in the wx controls; clicks on a
// row or an item select it in the layer, which tells the dialog.
TEST_F(WxDialogTest, ListAndTreeShowTheLayersItemsAndTakeClicks) {
  CImageList images;
  images.Create(16, 16, ILC_COLOR32 | ILC_MASK, 4, 4);
  for (int icon : {res::IDI_ROOT, res::IDI_BOX, res::IDI_BOX_SELECTED, res::IDI_DOCUMENT}) {
    images.Add(LoadIconW(icon));
  }
  constexpr int kRows = 300;
  Recorder dialog(res::IDD_MAIN);
  wx_->OnDialogShown([&](CDialog& d) {
    auto* list = dynamic_cast<CListCtrl*>(d.GetDlgItem(1201));
    auto* tree = dynamic_cast<CTreeCtrl*>(d.GetDlgItem(1211));
    ASSERT_TRUE(list && tree);
    const std::size_t listIndex = IndexOf(d, 1201);
    const std::size_t treeIndex = IndexOf(d, 1211);

    tree->SetImageList(&images, TVSIL_NORMAL);
    const HTREEITEM root = tree->InsertItem(u"MFP-1", 0, 0);
    std::vector<HTREEITEM> boxes;
    for (const char16_t* name : {u"Box 1", u"Box 2", u"Box 3"}) {
      boxes.push_back(tree->InsertItem(name, 1, 2, root));
    }
    tree->Expand(root, TVE_EXPAND);
    list->SetImageList(&images, LVSIL_SMALL);
    list->InsertColumn(0, u"File Number", LVCFMT_LEFT, 120);
    list->InsertColumn(1, u"Date/Time", LVCFMT_LEFT, 150);
    for (int row = 0; row < kRows; ++row) {
      const std::string n = std::to_string(row);
      list->InsertItem(row, u"Doc " + WString(n.begin(), n.end()), 3);
      list->SetItemText(row, 1, u"2024/05/01 10:00");
    }

    const auto shownList = wx_->ViewList(d, listIndex);
    ASSERT_TRUE(shownList);
    EXPECT_EQ(shownList->headings, (std::vector<std::string>{"File Number", "Date/Time"}));
    // Widths come in pixels of the other system's dialog font and are shown
    // scaled as the dialog units are.
    const int units = wx_->DialogBaseUnits(d)->x;
    const int reference = ReferenceBaseUnits(*d.Template()).x;
    EXPECT_EQ(shownList->widths,
              (std::vector<int>{MulDiv(120, units, reference), MulDiv(150, units, reference)}));
    EXPECT_EQ(list->GetColumnWidth(0), 120);  // the layer keeps what it was given
    ASSERT_EQ(shownList->rows.size(), static_cast<std::size_t>(kRows));
    EXPECT_EQ(shownList->rows[123], (std::vector<std::string>{"Doc 123", "2024/05/01 10:00"}));
    EXPECT_EQ(shownList->images[0], 3);
    EXPECT_EQ(shownList->imageCount, 4);
    EXPECT_TRUE(shownList->selected.empty());

    const auto shownTree = wx_->ViewTree(d, treeIndex);
    ASSERT_TRUE(shownTree);
    ASSERT_EQ(shownTree->size(), 4u);
    EXPECT_EQ((*shownTree)[0].text, "MFP-1");
    EXPECT_TRUE((*shownTree)[0].expanded);
    EXPECT_EQ((*shownTree)[2].text, "Box 2");
    EXPECT_EQ((*shownTree)[2].depth, 1);
    EXPECT_EQ((*shownTree)[2].image, 1);

    // Left and right clicks on rows: the layer selects, then tells.
    struct RowClick {
      int row;
      bool right;
      int code;
    };
    for (const RowClick& click : {RowClick{5, false, NM_CLICK}, RowClick{7, true, NM_RCLICK}}) {
      SCOPED_TRACE(click.row);
      dialog.events.clear();
      ASSERT_TRUE(wx_->ClickListRow(d, listIndex, click.row, click.right));
      EXPECT_EQ(list->GetNextItem(-1, LVNI_SELECTED), click.row);
      EXPECT_TRUE(dialog.Saw(1201, LVN_ITEMCHANGED));
      EXPECT_TRUE(dialog.Saw(1201, click.code));
      EXPECT_EQ(wx_->ViewList(d, listIndex)->selected, std::vector<int>{click.row});
    }

    dialog.events.clear();
    ASSERT_TRUE(wx_->ClickTreeItem(d, treeIndex, boxes[1]));
    EXPECT_EQ(tree->GetSelectedItem(), boxes[1]);
    EXPECT_TRUE(dialog.Saw(1211, TVN_SELCHANGED));
    EXPECT_TRUE(dialog.Saw(1211, NM_CLICK));
    EXPECT_TRUE(wx_->ViewTree(d, treeIndex)->at(2).selected);
    // The layer's hit test asks the wx tree.
    const auto label = wx_->TreeItemRect(d, treeIndex, boxes[2]);
    ASSERT_TRUE(label);
    EXPECT_EQ(tree->HitTest(Point{label->x + label->cx / 2, label->y + label->cy / 2}), boxes[2]);
    // The program's main window has screenshots of its own; this one only
    // shows that a template window can be shot.
    EXPECT_TRUE(wx_->SaveScreenshot(d, TempShotPath().string()));

    // Rows the layer takes away go from the window too.
    list->DeleteItem(0);
    tree->DeleteItem(boxes[0]);
    EXPECT_EQ(wx_->ViewList(d, listIndex)->rows.size(), static_cast<std::size_t>(kRows - 1));
    EXPECT_EQ(wx_->ViewList(d, listIndex)->rows[0][0], "Doc 1");
    EXPECT_EQ(wx_->ViewTree(d, treeIndex)->size(), 3u);
    d.InputEscape();
  });
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
}

// The menu bar shows the layer's menu, with what the dialog appended to the
// system menu as a last "?" menu, and choices reach the dialog.
TEST_F(WxDialogTest, MenuBarShowsTheLayersMenusAndTakesChoices) {
  constexpr UINT kAboutCommand = 0x0010;
  Recorder dialog(res::IDD_MAIN);
  wx_->OnDialogShown([&](CDialog& d) {
    auto bar = wx_->ViewMenuBar(d);
    ASSERT_EQ(bar.size(), 2u);
    EXPECT_EQ(bar[0].text, "Settings");
    ASSERT_EQ(bar[1].items.size(), 2u);
    const auto& advanced = bar[1].items[0];
    EXPECT_EQ(advanced.id, 30102);
    EXPECT_TRUE(advanced.checked);
    EXPECT_FALSE(advanced.enabled);
    EXPECT_FALSE(bar[1].items[1].checked);

    EXPECT_TRUE(wx_->ChooseMenuItem(d, 30003));
    EXPECT_FALSE(wx_->ChooseMenuItem(d, 30102));  // grayed
    EXPECT_TRUE(dialog.Saw(30003, 0));
    EXPECT_FALSE(dialog.Saw(30102, 0));

    // The mode switch moves the check and the gray.
    CMenu* menu = d.GetMenu();
    menu->CheckMenuItem(30102, MF_BYCOMMAND | MF_UNCHECKED);
    menu->EnableMenuItem(30102, MF_BYCOMMAND | MF_ENABLED);
    menu->CheckMenuItem(30103, MF_BYCOMMAND | MF_CHECKED);
    menu->EnableMenuItem(30103, MF_BYCOMMAND | MF_GRAYED);
    d.DrawMenuBar();
    CMenu* system = d.GetSystemMenu(FALSE);
    system->AppendMenu(MF_SEPARATOR);
    system->AppendMenu(MF_STRING, kAboutCommand, u"&About Tallowmere...");

    bar = wx_->ViewMenuBar(d);
    ASSERT_EQ(bar.size(), 3u);
    EXPECT_TRUE(bar[1].items[0].enabled);
    EXPECT_FALSE(bar[1].items[0].checked);
    EXPECT_TRUE(bar[1].items[1].checked);
    EXPECT_FALSE(bar[1].items[1].enabled);
    EXPECT_EQ(bar[2].text, "?");
    ASSERT_EQ(bar[2].items.size(), 1u);
    EXPECT_EQ(bar[2].items[0].text, "&About Tallowmere...");
    EXPECT_TRUE(wx_->ChooseMenuItem(d, 30102));
    EXPECT_TRUE(dialog.Saw(30102, 0));
    EXPECT_TRUE(wx_->ChooseMenuItem(d, kAboutCommand));
    EXPECT_EQ(dialog.sysCommands, std::vector<UINT>{kAboutCommand});
    d.InputEscape();
  });
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
}

// Combo boxes, radio groups, up-downs and icon buttons show the layer's
// state and hand the user's picks to it.
TEST_F(WxDialogTest, ChoicesRadiosUpDownsAndIconButtonsFollowTheLayer) {
  Recorder settings(res::IDD_BASIC_SETTING);
  wx_->OnDialogShown([&](CDialog& d) {
    auto* combo = dynamic_cast<CComboBox*>(d.GetDlgItem(4201));
    ASSERT_TRUE(combo);
    for (const char16_t* box : {u"Box B", u"Box A", u"Box C"}) combo->AddString(box);
    combo->SetCurSel(1);
    const std::size_t comboIndex = IndexOf(d, 4201);
    auto view = wx_->ViewControl(d, comboIndex);
    EXPECT_EQ(view->items, (std::vector<std::string>{"Box A", "Box B", "Box C"}));
    EXPECT_EQ(view->selection, 1);
    ASSERT_TRUE(wx_->Choose(d, comboIndex, 2));
    EXPECT_EQ(combo->GetCurSel(), 2);
    EXPECT_TRUE(settings.Saw(4201, CBN_SELCHANGE));

    // Radio groups: none checked, one set by the code, one clicked.
    const auto checked = [&](int id) { return wx_->ViewControl(d, IndexOf(d, id))->checked; };
    EXPECT_FALSE(checked(4401) || checked(4402) || checked(4403) || checked(4404));
    d.GetDlgItem(4401)->SetCheck(BST_CHECKED);
    EXPECT_TRUE(checked(4401));
    ASSERT_TRUE(wx_->Click(d, IndexOf(d, 4402)));
    EXPECT_EQ(d.GetDlgItem(4402)->GetCheck(), BST_CHECKED);
    EXPECT_EQ(d.GetDlgItem(4401)->GetCheck(), BST_UNCHECKED);
    EXPECT_TRUE(checked(4402));
    EXPECT_FALSE(checked(4401));
    EXPECT_FALSE(checked(4403) || checked(4404));  // another group
    EXPECT_TRUE(settings.Saw(4402, BN_CLICKED));
    d.InputEscape();
  });
  EXPECT_EQ(settings.DoModal(), IDCANCEL);

  Recorder main(res::IDD_MAIN);
  wx_->OnDialogShown([&](CDialog& d) {
    auto* spin = dynamic_cast<CSpinButtonCtrl*>(d.GetDlgItem(1501));
    ASSERT_TRUE(spin);
    spin->SetRange32(1, 10);
    spin->SetPos32(3);
    const std::size_t buddy = IndexOf(d, 1001);
    EXPECT_EQ(wx_->ViewControl(d, buddy)->text, "3");
    const std::size_t spinIndex = IndexOf(d, 1501);
    for (const auto& [delta, pos] : {std::pair{1, 4}, std::pair{-1, 3}, std::pair{-1, 2}}) {
      ASSERT_TRUE(wx_->Spin(d, spinIndex, delta));
      EXPECT_EQ(spin->GetPos32(), pos);
      EXPECT_EQ(wx_->ViewControl(d, buddy)->text, std::to_string(pos));
    }
    EXPECT_TRUE(main.Saw(1501, UDN_DELTAPOS));
    // Up and Down typed into the buddy step it too.
    d.GotoDlgCtrl(d.GetDlgItem(1001));
    wx_->Pump(std::chrono::milliseconds(100));
    const Rect edit = d.GetDlgItem(1001)->GetWindowRect();
    wxUIActionSimulator user;
    user.MouseMove(edit.x + edit.cx / 2, edit.y + edit.cy / 2);  // the keyboard follows the pointer
    for (const auto& [key, pos] :
         {std::pair{WXK_UP, 3}, std::pair{WXK_UP, 4}, std::pair{WXK_DOWN, 3}}) {
      user.Char(key);
      wx_->Pump(std::chrono::milliseconds(100));
      EXPECT_EQ(spin->GetPos32(), pos);
    }

    const std::size_t previous = IndexOf(d, 1503);
    EXPECT_FALSE(wx_->ViewControl(d, previous)->hasBitmap);
    d.GetDlgItem(1503)->SetIcon(LoadIconW(res::IDI_PREV_PAGE));
    EXPECT_TRUE(wx_->ViewControl(d, previous)->hasBitmap);
    ASSERT_TRUE(wx_->Click(d, previous));
    EXPECT_TRUE(main.Saw(1503, BN_CLICKED));
    d.InputEscape();
  });
  EXPECT_EQ(main.DoModal(), IDCANCEL);
}

// A page file loaded by the layer and stretched into the main window's
// picture frame shows there.
TEST_F(WxDialogTest, PagePictureShowsInItsFrame) {
  const wxColour ink(200, 40, 30);
  struct Format {
    const char* name;
    wxBitmapType type;
  };
  for (const Format& format :
       {Format{"jpg", wxBITMAP_TYPE_JPEG}, Format{"tif", wxBITMAP_TYPE_TIFF}}) {
    SCOPED_TRACE(format.name);
    const std::filesystem::path file = std::filesystem::temp_directory_path() /
                                       ("tallowmere-wx-page-" + std::to_string(getpid()) + "." +
                                        format.name);
    wxImage page(160, 220);
    page.SetRGB(wxRect(0, 0, 160, 220), ink.Red(), ink.Green(), ink.Blue());
    ASSERT_TRUE(page.SaveFile(file.string(), format.type));
    const std::string utf8 = file.string();
    CImage image;
    ASSERT_EQ(image.Load(FromAnsi(utf8)), S_OK);
    std::filesystem::remove(file);
    EXPECT_EQ(image.GetWidth(), 160);

    const std::filesystem::path shot =
        ShotPath(std::string("page-picture-") + format.name + ".png");
    Rect frame;
    int menuBar = 0;
    wx_->OnDialogShown([&](CDialog& d) {
      Control* picture = d.GetDlgItem(1401);
      ASSERT_TRUE(picture);
      frame = picture->GetPixelRect();
      const Rect client = picture->GetClientRect();
      CClientDC dc(*picture);
      dc.SetStretchBltMode(HALFTONE);
      EXPECT_TRUE(image.StretchBlt(dc, 0, 0, client.cx, client.cy, 0, 0, image.GetWidth(),
                                   image.GetHeight()));
      wx_->Pump(std::chrono::milliseconds(200));
      menuBar = wx_->MenuBarHeight(d);
      EXPECT_TRUE(wx_->SaveScreenshot(d, shot.string()));
      d.InputEscape();
    });
    CDialog dialog(res::IDD_MAIN);
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);

    wxImage screenshot;
    ASSERT_TRUE(screenshot.LoadFile(shot.string(), wxBITMAP_TYPE_PNG));
    const int x = frame.x + frame.cx / 2;
    const int y = menuBar + frame.y + frame.cy / 2;
    ASSERT_LT(x, screenshot.GetWidth());
    ASSERT_LT(y, screenshot.GetHeight());
    // JPEG's rounding aside, the picture's colour.
    EXPECT_NEAR(screenshot.GetRed(x, y), ink.Red(), 12);
    EXPECT_NEAR(screenshot.GetGreen(x, y), ink.Green(), 12);
    EXPECT_NEAR(screenshot.GetBlue(x, y), ink.Blue(), 12);
    // Outside the frame, the window's own background.
    EXPECT_GT(screenshot.GetGreen(frame.x - 4, y), 100);
  }
}

// A popup menu shown at the point of a right click on a list row answers
// the command picked with the keyboard, or none when dismissed.
TEST_F(WxDialogTest, PopupMenuAnswersTheCommandChosen) {
  struct Case {
    std::vector<int> keys;
    int chosen;
  };
  for (const Case& c : {Case{{WXK_DOWN, WXK_RETURN}, 30201}, Case{{WXK_ESCAPE}, 0}}) {
    SCOPED_TRACE(c.chosen);
    int chosen = -1;
    wx_->OnDialogShown([&](CDialog& d) {
      auto* list = dynamic_cast<CListCtrl*>(d.GetDlgItem(1201));
      ASSERT_TRUE(list);
      list->InsertColumn(0, u"File Number", LVCFMT_LEFT, 120);
      list->InsertItem(0, u"Doc 0");
      ASSERT_TRUE(wx_->ClickListRow(d, IndexOf(d, 1201), 0, true));
      const Point at = GetMessagePos();
      const Rect rows = list->GetWindowRect();
      EXPECT_TRUE(rows.Contains(at));
      std::unique_ptr<CMenu> menu = CMenu::Load(res::IDR_DOCUMENT_MENU);
      ASSERT_TRUE(menu);
      KeysLater keys(c.keys);
      chosen = menu->GetSubMenu(0)->TrackPopupMenu(TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, &d);
      d.InputEscape();
    });
    CDialog dialog(res::IDD_MAIN);
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(chosen, c.chosen);
  }
}

// The save dialog opens in the folder asked for with the filter asked for,
// and answers the name taken with that filter's extension.
TEST_F(WxDialogTest, SaveDialogAnswersThePathAndFilter) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("tallowmere-wx-save-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  struct Case {
    std::vector<int> keys;
    int result;
  };
  for (const Case& c : {Case{{WXK_RETURN}, IDOK}, Case{{WXK_ESCAPE}, IDCANCEL}}) {
    SCOPED_TRACE(c.result);
    int result = 0;
    WString path;
    DWORD filter = 0;
    wx_->OnDialogShown([&](CDialog& d) {
      CFileDialog save(FALSE, u"pdf", u"scan", OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY,
                       u"PDF Files (*.pdf)|*.pdf|TIFF Files (*.tif)|*.tif||", &d);
      save.m_ofn.lpstrInitialDir = FromAnsi(folder.string());
      save.m_ofn.nFilterIndex = 2;
      KeysLater keys(c.keys);
      result = save.DoModal();
      path = save.GetPathName();
      filter = save.m_ofn.nFilterIndex;
      d.InputEscape();
    });
    CDialog dialog(res::IDD_PASSWORD);
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(result, c.result);
    if (c.result == IDOK) {
      EXPECT_EQ(ToAnsi(path), (folder / "scan.tif").string());
      EXPECT_EQ(filter, 2u);
    }
  }
  std::filesystem::remove_all(folder);
}

// A worker's sent call and posted close reach the dialog through the wx
// loop; the close box path ends the dialog with IDCANCEL.
TEST_F(WxDialogTest, WorkerCallsArePumpedByTheEventLoop) {
  std::unique_ptr<std::thread> worker;
  wx_->OnDialogShown([&](CDialog& d) {
    worker = std::make_unique<std::thread>([&d] {
      d.SetDlgItemText(5101, u"Saving page 1");  // waits for the UI thread
      d.PostMessageW(WM_CLOSE);
    });
  });
  CDialog dialog(res::IDD_PROGRESS);
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  ASSERT_TRUE(worker);
  // Whatever the worker still waits for runs now, so that joining cannot block.
  wx_->Pump(std::chrono::milliseconds(100));
  worker->join();
}

}  // namespace
}  // namespace tallow::ui::testing
