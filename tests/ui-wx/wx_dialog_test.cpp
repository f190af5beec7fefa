// The wxWidgets back end on a real (or virtual) display: the program's
// windows open from their templates with every control where the layer put
// it, a screenshot of each lands in the build folder, list views, trees,
// menus, choices and page pictures show what the layer holds, the user's
// clicks and keys come back to it, popup menus and the save dialog answer
// what was picked, and posted calls from a worker are pumped by the wx loop.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/about_dlg.h"
#include "app/password_dlg.h"
#include "app/progress_dlg.h"
#include "core/texts.h"
#include "platform/module.h"
#include "platform/ui/dialog.h"
#include "platform/ui/file_dialog.h"
#include "platform/ui/icon.h"
#include "platform/ui/image.h"
#include "platform/ui/ui_thread.h"
#include "platform/ui/worker_thread.h"
#include "platform/ui/wx/testing/wx_driver.h"
#include "platform/ui/wx/wx_backend.h"
#include "res/dialog_templates.h"
#include "res/menus.h"
#include "tests/core-texts/test_folder.h"
#include "tests/ui/hidden_click_dlg.h"
#include "support/temp_dir.h"
#include "tests/ui/message_dlg.h"
#include "tests/ui-wx/x_screen.h"
#include "tests/ui-wx/xvfb.h"

// After the project's headers: wx defines TRUE and FALSE as macros.
#include <wx/colour.h>
#include <wx/image.h>
#include <wx/timer.h>
#include <wx/uiaction.h>

namespace tallow::ui::testing {
namespace {

std::size_t IndexOf(const CDialog& d, int id) {
  const auto& controls = d.Controls();
  for (std::size_t i = 0; i < controls.size(); ++i) {
    if (controls[i]->GetDlgCtrlID() == id) return i;
  }
  ADD_FAILURE() << "no control " << id;
  return controls.size();
}

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

class WxDialogTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!EnsureDisplay()) return;
    // GTK's file chooser keeps its settings in memory, not in the user's.
    setenv("GSETTINGS_BACKEND", "memory", 0);
    backend_ = new WxBackend();
    if (!backend_->Ok()) {
      delete backend_;
      backend_ = nullptr;
      return;
    }
    wx_ = new WxDriver(*backend_);
    // A broken loop fails its test instead of hanging the run.
    wx_->SetModalTimeout(std::chrono::seconds(20));
  }
  static void TearDownTestSuite() {
    delete wx_;
    wx_ = nullptr;
    delete backend_;
    backend_ = nullptr;
  }
  void SetUp() override {
    if (!backend_) GTEST_SKIP() << "no display and no Xvfb";
  }
  void TearDown() override {
    if (wx_) wx_->OnDialogShown(nullptr);
  }

  static std::filesystem::path ShotPath(const std::string& name) {
    const std::filesystem::path dir = TALLOWMERE_SCREENSHOT_DIR;
    std::filesystem::create_directories(dir);
    std::filesystem::remove(dir / name);
    return dir / name;
  }
  // A picture the test only reads back.
  std::filesystem::path TempShotPath() const { return scratch_.File("shot.png"); }

  test::TempDir scratch_;

  static WxBackend* backend_;
  static WxDriver* wx_;
};
WxBackend* WxDialogTest::backend_ = nullptr;
WxDriver* WxDialogTest::wx_ = nullptr;

// Every template opens with its controls where the layer put them. The
// screenshots of the templates whose dialogs are not built yet show them
// bare; the others are taken of the dialogs themselves (below).
TEST_F(WxDialogTest, TemplatesOpenWithControlsInPlace) {
  for (int id : {res::IDD_ABOUTBOX, res::IDD_SELECT_MFP, res::IDD_PASSWORD,
                 res::IDD_BASIC_SETTING, res::IDD_PROGRESS, res::IDD_MAIN}) {
    SCOPED_TRACE(id);
    const DialogTemplate* t = FindDialogTemplate(id);
    ASSERT_NE(t, nullptr);
    const bool built = id == res::IDD_ABOUTBOX || id == res::IDD_PASSWORD || id == res::IDD_PROGRESS;
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

// The dialogs that are built, as the program shows them: filled by their
// own code (the version block, the language file's version, the progress of
// a save), not with the templates' placeholder texts.
TEST_F(WxDialogTest, ProgramDialogsAreShownFilledByTheirOwnCode) {
  LoadMessageTable(MessageTable());
  LoadMessageTable(ProgressTextTable());
  LoadMessageTable(LabelTable());
  const auto shoot = [&](CDialog& d) {
    const std::filesystem::path shot = ShotPath("dialog-" + std::to_string(d.TemplateId()) + ".png");
    EXPECT_TRUE(wx_->SaveScreenshot(d, shot.string()));
    wxImage image;
    ASSERT_TRUE(image.LoadFile(shot.string(), wxBITMAP_TYPE_PNG));
    EXPECT_EQ(image.GetWidth(), d.GetClientRect().cx);
    EXPECT_EQ(image.GetHeight(), d.GetClientRect().cy);
  };
  const auto shown = [&](const CDialog& d, int id) {
    return wx_->ViewControl(d, IndexOf(d, id)).value_or(WxDriver::ControlView{});
  };

  // The program beside a language file of version 2.5.0.1.
  tallow::testing::TestFolder folder;
  folder.Write("tallowmere.lrc", tallow::testing::LanguageFileBytes({{15003, u"Now Saving Document(s)"}},
                                                                   {2, 5, 0, 1}));
  const WString program = folder.wide("tallowmere.bin");
  SetModuleFileNameSourceForTests([program](HMODULE) { return program; });
  LoadLanguageResources(nullptr);
  SetModuleFileNameSourceForTests(nullptr);
  wx_->OnDialogShown([&](CDialog& d) {
    EXPECT_EQ(shown(d, app::IDC_ABOUT_VERSION).text, "1.0.0.0");
    EXPECT_EQ(shown(d, app::IDC_ABOUT_LANGUAGE).text, "2.5.0.1");
    shoot(d);
    d.InputEscape();
  });
  {
    app::CAboutDlg about;
    EXPECT_EQ(about.DoModal(), IDCANCEL);
  }
  ReleaseLanguageResources();

  wx_->OnDialogShown([&](CDialog& d) {
    EXPECT_TRUE(wx_->TypeInto(d, IndexOf(d, app::IDC_PASSWORD_EDIT), "12"));
    shoot(d);
    d.InputEscape();
  });
  {
    app::CPasswordDlg password;
    EXPECT_EQ(password.DoModal(), IDCANCEL);
  }

  struct Owner : app::CConvertDlg {
    Owner() : CConvertDlg(0) {}
    void CancelConvert() override {}
  } owner;
  app::CProgressDlg progress(app::kProgressSave, &owner);
  progress.m_pOwner = &owner;
  progress.m_nTotal = 100;
  wx_->OnDialogShown([&](CDialog& d) {
    progress.UpdateSaveProgress(3, 10);  // page 3 of 10: 27 of the bar's 100 steps
    EXPECT_EQ(shown(d, app::IDC_PROGRESS_STATUS).text, "Now Saving Document(s)");
    EXPECT_EQ(shown(d, app::IDC_PROGRESS_BAR).value, 27);
    shoot(d);
    progress.ReportCancelled();
  });
  EXPECT_EQ(progress.DoModal(), IDCANCEL);
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
    EXPECT_EQ(shownList->widths, (std::vector<int>{120, 150}));
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
    EXPECT_TRUE(wx_->SaveScreenshot(d, ShotPath("main-window-filled.png").string()));

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

// Keys typed, a moment from now, into whatever has the keyboard then: the
// popup menu or file chooser that the call under test opened. There is no
// telling when the native popup is up, so the keys go again every so often
// until the call returns (and this object goes): keys that come too early
// reach the window under it, where Enter and Esc do no harm to the test.
class KeysLater {
 public:
  explicit KeysLater(std::vector<int> keys) : keys_(std::move(keys)) {
    timer_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) {
      wxUIActionSimulator user;
      for (int key : keys_) user.Char(key);
    });
    timer_.Start(1500);
  }

 private:
  std::vector<int> keys_;
  wxTimer timer_;
};

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

// Messages of any number, sent and posted by a worker, reach the dialog
// through the wx loop; minimised, it erases its icon's background before
// each icon it paints.
TEST_F(WxDialogTest, DialogTakesAWorkersMessagesAndErasesItsIconBackground) {
  MessageDlg dialog(res::IDD_PROGRESS);
  const auto uiThread = std::this_thread::get_id();
  wx_->OnDialogShown([&](CDialog& d) {
    std::atomic<LRESULT> mapped{-1};
    std::atomic<LRESULT> overridden{-1};
    std::atomic<bool> done{false};
    std::thread worker([&] {
      mapped = d.SendMessageW(MessageDlg::kMapped, 40, 2);
      overridden = d.SendMessageW(MessageDlg::kOverridden, 7, 0);
      d.PostMessageW(MessageDlg::kMapped, 1, 1);
      done = true;
    });
    while (!done) wx_->Pump(std::chrono::milliseconds(20));
    worker.join();
    wx_->Pump(std::chrono::milliseconds(50));
    EXPECT_EQ(mapped, 42);
    EXPECT_EQ(overridden, -7);
    const std::vector<MessageDlg::Seen> expected = {{MessageDlg::kMapped, 40, uiThread},
                                                    {MessageDlg::kOverridden, 7, uiThread},
                                                    {MessageDlg::kMapped, 1, uiThread}};
    EXPECT_EQ(dialog.seen, expected);

    d.ShowWindow(SW_MINIMIZE);
    for (int paint = 1; paint <= 2; ++paint) {
      d.Invalidate(FALSE);
      wx_->Pump(std::chrono::milliseconds(100));
      ASSERT_TRUE(d.IsIconic());
      EXPECT_EQ(dialog.erasures.size(), static_cast<std::size_t>(paint));
      ASSERT_EQ(d.GetSurface().Ops().size(), 1u);
      EXPECT_EQ(d.GetSurface().Ops()[0].icon, MessageDlg::kIcon);
    }
    d.ShowWindow(SW_RESTORE);
    d.InputEscape();
  });
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
}

// A shown main window keeps its size on the screen when its menu bar is
// redrawn, also right after the layer gave it another size, as a mode
// switch does.
TEST_F(WxDialogTest, DrawMenuBarKeepsTheWindowsSizeOnTheScreen) {
  const std::string title = "Menu bar redrawn";
  CDialog dialog(res::IDD_MAIN);
  wx_->OnDialogShown([&](CDialog& d) {
    d.SetWindowText(FromAnsi(title));
    wx_->Pump(std::chrono::milliseconds(100));
    const auto onScreen = [&] {
      const std::optional<ScreenWindow> w = FindScreenWindow(title);
      return w && w->viewable ? Size{w->rect.cx, w->rect.cy} : Size{};
    };
    // Under Xvfb there is no frame: the client area and the menu bar.
    const auto expected = [&] {
      const Rect client = d.GetClientRect();
      return Size{client.cx, client.cy + wx_->MenuBarHeight(d)};
    };
    ASSERT_EQ(onScreen(), expected());
    struct Case {
      const char* what;
      Size size;  // given by the layer first; empty: kept
    };
    const Case cases[] = {
        {"redrawn", {}},
        {"advanced mode", {729, 445}},
        {"simple mode", {336, 287}},
        {"redrawn again", {}},
    };
    CMenu* menu = d.GetMenu();
    ASSERT_NE(menu, nullptr);
    bool simple = false;
    for (const Case& c : cases) {
      SCOPED_TRACE(c.what);
      if (c.size.cx > 0) {
        const Rect r = d.GetWindowRect();
        d.MoveWindow(r.x, r.y, c.size.cx, c.size.cy);
        simple = !simple;
      }
      // The mode switch's menu changes: the check and the gray move.
      menu->CheckMenuItem(simple ? 30102 : 30103, MF_BYCOMMAND | MF_UNCHECKED);
      menu->CheckMenuItem(simple ? 30103 : 30102, MF_BYCOMMAND | MF_CHECKED);
      menu->EnableMenuItem(simple ? 30103 : 30102, MF_BYCOMMAND | MF_GRAYED);
      menu->EnableMenuItem(simple ? 30102 : 30103, MF_BYCOMMAND | MF_ENABLED);
      d.DrawMenuBar();
      wx_->Pump(std::chrono::milliseconds(200));
      if (c.size.cx > 0) {
        EXPECT_EQ(Size(d.GetWindowRect().cx, d.GetWindowRect().cy), c.size);
      }
      EXPECT_EQ(onScreen(), expected());
    }
    d.InputEscape();
  });
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
}

// What the X server shows of the window titled |title|, asked from another
// thread after a while in which this one, the UI thread, did nothing else,
// as when the program lists boxes over the network.
struct SeenWhileBusy {
  std::optional<ScreenWindow> window;
  std::optional<ScreenPixels> pixels;
};

SeenWhileBusy LookWhileBusy(const std::string& title) {
  SeenWhileBusy seen;
  std::thread look([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    seen.window = FindScreenWindow(title);
    if (seen.window && seen.window->viewable) seen.pixels = GrabScreen(seen.window->rect);
  });
  look.join();  // busy: no event is handled, nothing is painted
  return seen;
}

wxImage ImageOf(const ScreenPixels& pixels) {
  wxImage image(pixels.width, pixels.height);
  std::copy(pixels.rgb.begin(), pixels.rgb.end(), image.GetData());
  return image;
}

// The share of pixels that differ visibly between two pictures.
double Difference(const wxImage& a, const wxImage& b) {
  if (a.GetSize() != b.GetSize() || a.GetWidth() == 0) return 1.0;
  const unsigned char* p = a.GetData();
  const unsigned char* q = b.GetData();
  const std::size_t count = static_cast<std::size_t>(a.GetWidth()) * a.GetHeight();
  std::size_t differ = 0;
  for (std::size_t i = 0; i < count * 3; i += 3) {
    if (std::abs(p[i] - q[i]) > 32 || std::abs(p[i + 1] - q[i + 1]) > 32 ||
        std::abs(p[i + 2] - q[i + 2]) > 32) {
      ++differ;
    }
  }
  return static_cast<double>(differ) / static_cast<double>(count);
}

// The window was on the screen where the layer put it, drawn as wx draws it
// once the loop has run: nothing left unpainted. Its picture as seen goes to
// |shot| unless that is empty.
void ExpectSeenPainted(WxDriver& wx, CDialog& window, const SeenWhileBusy& seen,
                       const std::filesystem::path& shot) {
  ASSERT_TRUE(seen.window) << "not on the screen";
  EXPECT_TRUE(seen.window->viewable);
  ASSERT_TRUE(seen.pixels);
  // Under Xvfb there is no frame: the window is its client area.
  const Rect at = window.GetWindowRect();
  const Rect client = window.GetClientRect();
  EXPECT_EQ(seen.window->rect, (Rect{at.x, at.y, client.cx, client.cy}));
  const wxImage onScreen = ImageOf(*seen.pixels);
  if (!shot.empty()) {
    EXPECT_TRUE(onScreen.SaveFile(shot.string(), wxBITMAP_TYPE_PNG));
  }
  const test::TempDir scratch;
  const std::string drawnPath = scratch.File("drawn.png");
  ASSERT_TRUE(wx.SaveScreenshot(window, drawnPath));
  wxImage drawn;
  ASSERT_TRUE(drawn.LoadFile(drawnPath, wxBITMAP_TYPE_PNG));
  EXPECT_LT(Difference(onScreen, drawn), 0.01);
}

// The start-up window and the "Now Preparing Simple Mode" window are on
// the screen, painted, as soon as they are made and while the UI thread then
// works without returning to a loop; a hidden dialog that posts itself a
// click lets the start-up window be seen while the click's handler works.
TEST_F(WxDialogTest, ModelessWindowsAreSeenWhileTheUiThreadIsBusy) {
  LoadMessageTable(ProgressTextTable());
  LoadMessageTable(MessageTable());
  const std::string title = "Progress";
  {
    // Showing runs nothing of the program: a posted call waits for a loop.
    bool postedRan = false;
    PostToUi([&] { postedRan = true; });
    app::CProgressDlg starting(app::kProgressStarting, nullptr);
    EXPECT_FALSE(postedRan);
    const SeenWhileBusy created = LookWhileBusy(title);
    SeenWhileBusy clicked;
    std::optional<ScreenWindow> selectSeen;
    HiddenClickDlg select(true, [&] {
      clicked = LookWhileBusy(title);
      selectSeen = FindScreenWindow(ToAnsi(select.GetWindowText()));
    });
    EXPECT_EQ(select.DoModal(), IDOK);
    EXPECT_TRUE(postedRan);
    EXPECT_FALSE(selectSeen && selectSeen->viewable);  // never shown
    wx_->Pump(std::chrono::milliseconds(100));
    {
      SCOPED_TRACE("created");
      ExpectSeenPainted(*wx_, starting, created, ShotPath("progress-starting.png"));
    }
    {
      SCOPED_TRACE("while a hidden dialog's click works");
      ExpectSeenPainted(*wx_, starting, clicked, ShotPath("progress-starting-click.png"));
    }
  }

  CDialog main(res::IDD_MAIN);
  wx_->OnDialogShown([&](CDialog& d) {
    {
      app::CProgressDlg preparing(app::kProgressPreparingSimple, &d);
      preparing.SetForegroundWindow();
      const SeenWhileBusy seen = LookWhileBusy(title);
      wx_->Pump(std::chrono::milliseconds(100));
      ExpectSeenPainted(*wx_, preparing, seen, ShotPath("progress-preparing.png"));
    }
    d.InputEscape();
  });
  EXPECT_EQ(main.DoModal(), IDCANCEL);
}

// A worker that changes a window and then waits in a message box it shows
// is joined on the UI thread: the join serves both, the box is answered by
// the keyboard, and the window shows the change on the screen.
TEST_F(WxDialogTest, JoiningAWorkerServesItsWindowCallsAndItsMessageBox) {
  CDialog progress(res::IDD_PROGRESS);
  ASSERT_TRUE(progress.Create());
  progress.SetWindowText(u"Joining");
  struct Context {
    CDialog* window;
    int answer = 0;
  } context{&progress};
  const auto proc = [](LPVOID p) -> UINT {
    auto* ctx = static_cast<Context*>(p);
    ctx->window->SetDlgItemText(5101, u"Saving page 3 of 5");
    ctx->answer = MessageBoxW(ctx->window->GetSafeHwnd(), u"Unable to download the file.",
                              u"Communication", MB_ICONERROR);
    return 7;
  };
  std::unique_ptr<CWinThread> worker = AfxBeginThread(proc, &context);
  ASSERT_TRUE(worker);
  {
    KeysLater keys({WXK_RETURN});
    EXPECT_EQ(worker->Join(), 7u);
  }
  EXPECT_EQ(context.answer, IDOK);
  EXPECT_EQ(progress.GetDlgItemText(5101), u"Saving page 3 of 5");
  const SeenWhileBusy seen = LookWhileBusy("Joining");
  wx_->Pump(std::chrono::milliseconds(100));
  ExpectSeenPainted(*wx_, progress, seen, {});
  progress.DestroyWindow();
}

}  // namespace
}  // namespace tallow::ui::testing

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  tallow::ui::testing::StopXvfb();
  return result;
}
