// The main window's frame: how it opens, the two modes with their controls,
// menu states and sizes, the placement in the work area, minimising, the
// About item, the exit, and the report of a failed device operation.
#include <algorithm>
#include <string>
#include <vector>

#include "core/settings.h"
#include "device/channel_layer.h"
#include "main_window_fixture.h"
#include "platform/ui/paint.h"
#include "res/dialog_templates.h"
#include "res/icons.h"
#include "res/menus.h"
#include "support/temp_dir.h"

namespace tallow::app::testing {
namespace {

using namespace tallow::res;
using namespace tallow::ui;

// The window's rectangle on the headless back end's plain desktop (1280 x
// 984 work area, 7 x 15 base units for the template's 9-point font, 3-pixel
// borders and 41 pixels of caption and menu bar above the client area):
// each mode's controls with 15 pixels around them, and the caption above.
constexpr Size kAdvancedSize{725, 544};
constexpr Size kSimpleSize{336, 349};
// Opened minimised at the default size centred in the work area, then
// shown at the measured size around the same centre.
constexpr Rect kAdvancedAtStart{277, 219, 725, 544};
constexpr Rect kSimpleFromStart{471, 317, 336, 349};

UINT MenuState(CDialog& d, int command) {
  return d.GetMenu()->GetMenuState(command, MF_BYCOMMAND) & (MF_CHECKED | MF_GRAYED);
}

bool AllShown(CDialog& d, std::span<const int> ids, bool shown) {
  return std::all_of(ids.begin(), ids.end(),
                     [&](int id) { return d.GetDlgItem(id)->IsVisible() == shown; });
}

TEST_F(MainWindowTest, OpensInAdvancedModeWithItsTextsIconsAndTheBoxesOfTheLastListing) {
  StartDevice(false);
  SettingInfo settings = GetSettingInfo();
  settings.DeleteFile = 0;
  SetSettingInfo(settings);
  EXPECT_EQ(Run([&](TestMainDlg& d) {
              EXPECT_EQ(d.GetWindowText(), u"Tallowmere");
              EXPECT_EQ(d.m_nMode, kModeAdvanced);
              EXPECT_EQ(d.GetWindowRect(), kAdvancedAtStart);
              EXPECT_TRUE(AllShown(d, kAdvancedModeControls, true));
              EXPECT_TRUE(AllShown(d, kSimpleModeControls, false));
              EXPECT_EQ(d.GetDefID(), IDC_MAIN_SAVE);

              CMenu& menu = *d.GetMenu();
              EXPECT_EQ(menu.GetMenuString(0, MF_BYPOSITION), u"Settings");
              EXPECT_EQ(menu.GetMenuString(1, MF_BYPOSITION), u"Mode Change");
              EXPECT_EQ(menu.GetMenuString(ID_SETTINGS_SELECT_MFP, MF_BYCOMMAND), u"Select MFP");
              EXPECT_EQ(menu.GetMenuString(ID_SETTINGS_BASIC, MF_BYCOMMAND), u"Basic Settings");
              EXPECT_EQ(menu.GetMenuString(ID_MODE_ADVANCED, MF_BYCOMMAND), u"Advance Mode");
              EXPECT_EQ(menu.GetMenuString(ID_MODE_SIMPLE, MF_BYCOMMAND), u"Simple Mode");
              EXPECT_EQ(d.GetSystemMenu(FALSE)->GetMenuString(ID_SYSTEM_ABOUT, MF_BYCOMMAND),
                        u"About");
              EXPECT_EQ(d.GetIcon(TRUE), IDI_APPLICATION_ICON);
              EXPECT_EQ(d.GetIcon(FALSE), IDI_APPLICATION_ICON);
              EXPECT_EQ(d.SendMessageW(WM_QUERYDRAGICON), IDI_APPLICATION_ICON);
              EXPECT_EQ(d.GetDlgItem(IDC_MAIN_PREV_PAGE)->GetIcon(), IDI_PREV_PAGE);
              EXPECT_EQ(d.GetDlgItem(IDC_MAIN_NEXT_PAGE)->GetIcon(), IDI_NEXT_PAGE);
              EXPECT_EQ(d.GetDlgItemText(IDC_MAIN_PAGE_COUNT), u"");
              EXPECT_EQ(d.GetDlgItemText(IDC_MAIN_PAGE), u"1");
              EXPECT_EQ(d.GetDlgItem(IDC_MAIN_DELETE_AFTER_SAVE)->GetCheck(), BST_UNCHECKED);
              for (int id :
                   {IDC_MAIN_PAGE_FROM, IDC_MAIN_PAGE_TO, IDC_MAIN_PAGE_FROM_SPIN,
                    IDC_MAIN_PAGE_TO_SPIN, IDC_MAIN_PREV_PAGE, IDC_MAIN_NEXT_PAGE, IDC_MAIN_PAGE}) {
                EXPECT_FALSE(d.GetDlgItem(id)->IsEnabled()) << id;
              }
              for (int id : {IDC_MAIN_PAGE, IDC_MAIN_PAGE_FROM, IDC_MAIN_PAGE_TO}) {
                EXPECT_EQ(d.GetDlgItem(id)->GetLimitText(), 4) << id;
                EXPECT_FALSE(d.GetDlgItem(id)->IsInputMethodEnabled()) << id;
              }

              CListCtrl& list = *d.m_listDocuments;
              ASSERT_EQ(list.GetColumnCount(), 4);
              const std::pair<const char16_t*, int> columns[] = {
                  {u"File Number", 80}, {u"Date/Time", 130}, {u"Pages", 70}, {u"B/W / Color", 90}};
              for (int i = 0; i < 4; ++i) {
                EXPECT_EQ(list.GetColumnHeading(i), columns[i].first);
                EXPECT_EQ(list.GetColumnWidth(i), columns[i].second);
              }
              EXPECT_EQ(list.GetItemCount(), 0);

              // The tree from the listing the selection made; each item's
              // handle finds its box in the channel's table.
              CTreeCtrl& tree = *d.m_treeBoxes;
              const HTREEITEM root = tree.GetRootItem();
              ASSERT_NE(root, nullptr);
              EXPECT_EQ(tree.GetItemText(root), u"127.0.0.1");  // the store names no root
              EXPECT_TRUE(tree.IsExpanded(root));
              EXPECT_EQ(tree.GetSelectedItem(), root);
              EXPECT_EQ(FindFolderIndex(0, reinterpret_cast<TreeItemKey>(root)), 0);
              int image = -1;
              int selected = -1;
              tree.GetItemImage(root, image, selected);
              EXPECT_EQ(std::pair(image, selected), std::pair(0, 0));
              const WString boxes[] = {u"Scans", u"Locked", u"Empty"};
              HTREEITEM item = tree.GetChildItem(root);
              for (int i = 0; i < 3; ++i, item = tree.GetNextSiblingItem(item)) {
                ASSERT_NE(item, nullptr);
                EXPECT_EQ(tree.GetItemText(item), boxes[i]);
                tree.GetItemImage(item, image, selected);
                EXPECT_EQ(std::pair(image, selected), std::pair(1, 2));
                EXPECT_EQ(FindFolderIndex(0, reinterpret_cast<TreeItemKey>(item)), i + 1);
              }
              EXPECT_EQ(item, nullptr);
              EXPECT_TRUE(TakeLog().empty());  // built from the listing the selection made
            }),
            IDCANCEL);
}

// The modes by the menu: each shows its controls, takes its size around
// the same centre, makes its Save the default button and its menu item
// checked and grayed, the other enabled and unchecked.
TEST_F(MainWindowTest, ModeSwitchShowsTheModesControlsSizeDefaultButtonAndMenuStates) {
  struct Case {
    int command;
    MainDlgMode mode;
    Rect rect;
    int defaultButton;
  };
  const Case cases[] = {
      {ID_MODE_SIMPLE, kModeSimple, kSimpleFromStart, IDC_SIMPLE_SAVE},
      {ID_MODE_ADVANCED, kModeAdvanced, kAdvancedAtStart, IDC_MAIN_SAVE},
      {ID_MODE_SIMPLE, kModeSimple, kSimpleFromStart, IDC_SIMPLE_SAVE},
  };
  Run([&](TestMainDlg& d) {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.mode);
      d.InputMenuCommand(c.command);
      const bool simple = c.mode == kModeSimple;
      EXPECT_EQ(d.m_nMode, c.mode);
      EXPECT_EQ(d.GetWindowRect(), c.rect);
      EXPECT_TRUE(AllShown(d, kSimpleModeControls, simple));
      EXPECT_TRUE(AllShown(d, kAdvancedModeControls, !simple));
      EXPECT_EQ(d.GetDefID(), c.defaultButton);
      const UINT current = MF_CHECKED | MF_GRAYED;
      EXPECT_EQ(MenuState(d, ID_MODE_SIMPLE), simple ? current : 0u);
      EXPECT_EQ(MenuState(d, ID_MODE_ADVANCED), simple ? 0u : current);
    }
  });
}

// The mode already set: no refresh (the tree keeps its items and the list
// its rows), no resize, no menu change, nothing asked of the device.
TEST_F(MainWindowTest, SwitchToTheCurrentModeChangesNothing) {
  StartDevice(false);
  Run([&](TestMainDlg& d) {
    ASSERT_EQ(OpenBox(d, u"Scans"), 3);
    TakeLog();
    const HTREEITEM root = d.m_treeBoxes->GetRootItem();
    const Rect rect = d.GetWindowRect();
    d.SetMode(kModeAdvanced);
    d.OnAdvancedMode();
    d.InputMenuCommand(ID_MODE_ADVANCED);  // grayed: not chosen
    EXPECT_EQ(d.m_treeBoxes->GetRootItem(), root);
    EXPECT_EQ(d.m_listDocuments->GetItemCount(), 3);
    EXPECT_EQ(d.GetWindowRect(), rect);
    EXPECT_EQ(MenuState(d, ID_MODE_ADVANCED), MF_CHECKED | MF_GRAYED);
    EXPECT_EQ(MenuState(d, ID_MODE_SIMPLE), 0u);

    d.InputMenuCommand(ID_MODE_SIMPLE);
    TakeLog();  // the Simple view lists its box as it is built
    d.MoveWindow(40, 30, kSimpleSize.cx, kSimpleSize.cy);
    d.SetMode(kModeSimple);
    EXPECT_EQ(d.GetWindowRect(), Rect(40, 30, kSimpleSize.cx, kSimpleSize.cy));
    EXPECT_EQ(MenuState(d, ID_MODE_SIMPLE), MF_CHECKED | MF_GRAYED);
    EXPECT_EQ(MenuState(d, ID_MODE_ADVANCED), 0u);
    EXPECT_TRUE(TakeLog().empty());
  });
}

// A new size keeps the window's centre, held inside the work area's width
// and height measured from 0, also when the work area does not start at 0;
// a window larger than the work area ends at a negative place. Dragging is
// not held.
TEST_F(MainWindowTest, ModeSwitchKeepsTheCentreWithinTheWorkAreaFromZero) {
  struct Case {
    const char* name;
    Rect workArea;
    Point simpleAt;    // where the Simple window was dragged to
    Point advancedAt;  // where the Advanced window lands
  };
  const Case cases[] = {
      {"inside", {0, 0, 1280, 984}, {471, 317}, {277, 219}},
      {"past the right edge", {0, 0, 1280, 984}, {944, 100}, {555, 2}},
      {"taskbar left and top, near it", {100, 50, 1180, 934}, {110, 60}, {0, 0}},
      {"taskbar left and top, far from it", {100, 50, 1180, 934}, {1000, 700}, {455, 390}},
      {"larger than the work area", {0, 0, 600, 400}, {100, 50}, {-125, -144}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ui.SetWorkArea(kPlainWorkArea);
    Run([&](TestMainDlg& d) {
      d.InputMenuCommand(ID_MODE_SIMPLE);
      ui.SetWorkArea(c.workArea);
      d.InputMoved(c.simpleAt.x, c.simpleAt.y);
      EXPECT_EQ(d.GetWindowRect(),
                Rect(c.simpleAt.x, c.simpleAt.y, kSimpleSize.cx, kSimpleSize.cy));
      d.InputMenuCommand(ID_MODE_ADVANCED);
      EXPECT_EQ(d.GetWindowRect(),
                Rect(c.advancedAt.x, c.advancedAt.y, kAdvancedSize.cx, kAdvancedSize.cy));
    });
  }
  ui.SetWorkArea(kPlainWorkArea);
}

// Minimised, the window lies wholly at negative coordinates: it is placed
// at the mode's size centred in the work area, where restoring brings it
// back. Minimised, it paints its icon on an erased background.
TEST_F(MainWindowTest, MinimiseAndRestoreKeepTheModesSize) {
  struct Case {
    int command;
    Rect restored;
  };
  for (const Case& c :
       {Case{ID_MODE_ADVANCED, {277, 220, 725, 544}}, Case{ID_MODE_SIMPLE, {472, 317, 336, 349}}}) {
    SCOPED_TRACE(c.command);
    Run([&](TestMainDlg& d) {
      d.InputMenuCommand(c.command);
      d.MoveWindow(5, 5, d.GetWindowRect().cx, d.GetWindowRect().cy);
      {
        CPaintDC dc(d);
        dc.DrawIcon(1, 1, IDI_DOCUMENT);  // something drawn before
      }
      d.InputMinimize();
      EXPECT_TRUE(d.IsIconic());
      EXPECT_LT(d.GetWindowRect().right(), 0);
      d.Invalidate(FALSE);
      ui.RunPosted();
      const std::vector<DrawOp>& ops = d.GetSurface().Ops();
      ASSERT_EQ(ops.size(), 1u);
      EXPECT_EQ(ops[0].kind, DrawOp::Kind::kIcon);
      EXPECT_EQ(ops[0].icon, IDI_APPLICATION_ICON);

      d.InputRestore();
      EXPECT_FALSE(d.IsIconic());
      EXPECT_EQ(d.GetWindowRect(), c.restored);
    });
  }
}

// The "-" between the page fields belongs to neither mode.
TEST_F(MainWindowTest, DashLabelKeepsItsVisibilityInBothModes) {
  Run([&](TestMainDlg& d) {
    const auto dash = std::find_if(d.Controls().begin(), d.Controls().end(), [](const auto& c) {
      return c->GetDlgCtrlID() == IDC_STATIC && c->GetText() == u"-";
    });
    ASSERT_NE(dash, d.Controls().end());
    for (int command : {ID_MODE_SIMPLE, ID_MODE_ADVANCED}) {
      d.InputMenuCommand(command);
      EXPECT_TRUE((*dash)->IsVisible()) << command;
    }
  });
}

// Every way out empties both working folders and writes the settings, also
// when no document was ever listed.
TEST_F(MainWindowTest, EveryExitEmptiesTheWorkFoldersAndWritesTheSettings) {
  struct Case {
    const char* name;
    int mode;
    std::function<void(CDialog&)> leave;
  };
  const Case cases[] = {
      {"close box", ID_MODE_ADVANCED, [](CDialog& d) { d.InputCloseBox(); }},
      {"Esc", ID_MODE_ADVANCED, [](CDialog& d) { d.InputEscape(); }},
      {"Exit", ID_MODE_ADVANCED, [](CDialog& d) { d.InputClick(IDC_MAIN_EXIT); }},
      {"Simple Mode's Exit", ID_MODE_SIMPLE, [](CDialog& d) { d.InputClick(IDC_SIMPLE_EXIT); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SettingInfo settings = GetSettingInfo();
    settings.machineName = FromAnsi(std::string("left by ") + c.name);
    SetSettingInfo(settings);
    std::remove(program_.File("setting/tallowmere.ini").c_str());
    EXPECT_EQ(Run([&](TestMainDlg& d) {
                d.InputMenuCommand(c.mode);
                program_.Write("work/save/000000A1_1.jpg", "page");
                program_.Write("work/preview/000000A2_2.tif", "page");
                c.leave(d);
                EXPECT_TRUE(d.IsEnded());
              }),
              IDCANCEL);
    EXPECT_TRUE(test::FilesIn(program_.File("work/save")).empty());
    EXPECT_TRUE(test::FilesIn(program_.File("work/preview")).empty());
    EXPECT_NE(program_.Read("setting/tallowmere.ini").find(std::string("left by ") + c.name),
              std::string::npos);
  }
}

// A folder the settings file cannot hold (a line break in the desktop
// folder's path would give one) costs no other key at exit: the failure is
// said once, and the keys after it are written.
TEST_F(MainWindowTest, ExitWithAFolderTheFileCannotHoldWritesEveryOtherKey) {
  SettingInfo settings = GetSettingInfo();
  settings.folderPath = program_.Wide("two\nlines");
  settings.ColorFormat = 1;
  settings.DeleteFile = 0;
  SetSettingInfo(settings);
  SetPasswordInfo({u"1234", TRUE});
  EXPECT_EQ(Run([](TestMainDlg& d) { d.InputClick(IDC_MAIN_EXIT); }), IDCANCEL);
  EXPECT_EQ(TakeMessages(), std::vector<WString>{u"Failed to save the file."});
  EXPECT_EQ(ui.MessageBoxes().back().caption, u"Save");
  const std::string file = program_.Read("setting/tallowmere.ini");
  EXPECT_EQ(file.find("folderPath="), std::string::npos) << file;
  for (const char* line : {"\r\nboxIndex=1\r\n", "\r\nColorFormat=1\r\n", "\r\nMonoFormat=0\r\n",
                           "\r\nDeleteFile=0\r\n", "\r\nSimpleMode=0\r\n",
                           "\r\nsavePassword=1\r\npassword=23289\r\n"}) {
    EXPECT_NE(file.find(line), std::string::npos) << line << file;
  }
}

TEST_F(MainWindowTest, SystemMenuAboutOpensTheAboutDialog) {
  std::vector<int> opened;
  onOtherDialog_ = [&](CDialog& d) {
    opened.push_back(d.TemplateId());
    d.InputEscape();
  };
  Run([&](TestMainDlg& d) {
    d.InputSysCommand(ID_SYSTEM_ABOUT);
    d.InputSysCommand(SC_MOVE);  // the others as the dialog handles them
    EXPECT_FALSE(d.IsEnded());
  });
  EXPECT_EQ(opened, std::vector<int>{IDD_ABOUTBOX});
}

// Started in Simple Mode, the window shows "Now Preparing Simple Mode" on
// the screen while the view is built, and takes it down afterwards.
TEST_F(MainWindowTest, SimpleModeStartShowsThePreparingWindowWhileTheViewIsBuilt) {
  SettingInfo settings = GetSettingInfo();
  settings.SimpleMode = 1;
  SetSettingInfo(settings);
  WString status;
  int modeThen = -1;
  ui.onDestroyed = [&](CDialog& d) {
    if (d.TemplateId() != IDD_PROGRESS) return;
    status = d.GetDlgItemText(IDC_PROGRESS_STATUS);
    modeThen = static_cast<CMainDlg*>(d.GetParent())->m_nMode;
  };
  Run([&](TestMainDlg& d) {
    EXPECT_EQ(d.m_nMode, kModeSimple);
    EXPECT_EQ(d.GetWindowRect(), Rect(472, 317, 336, 349));
    EXPECT_EQ(MenuState(d, ID_MODE_SIMPLE), MF_CHECKED | MF_GRAYED);
    EXPECT_TRUE(AllShown(d, kSimpleModeControls, true));
  });
  ui.onDestroyed = nullptr;
  EXPECT_EQ(ui.presented, std::vector<int>{IDD_PROGRESS});
  EXPECT_EQ(status, u"Now Preparing Simple Mode");
  EXPECT_EQ(modeThen, kModeSimple);
}

// A device's failure code picks the message; 807 also drops the remembered
// password; in Simple Mode the document texts are cleared.
TEST_F(MainWindowTest, ReportCommErrorPicksTheMessageByCode) {
  struct Case {
    int code;
    const char16_t* text;
  };
  const Case cases[] = {
      {0, u"Unable to connect to the scanner."},
      {332, u"Unable to connect to the scanner."},
      {333, u"Unable to download the file."},
      {338, u"Unable to download the file."},
      {339, u"Unable to connect to the scanner."},
      {802, u"Unable to connect to the scanner."},
      {807, u"Authentication failed. (Error Code: 807)"},
  };
  SettingInfo settings = GetSettingInfo();
  settings.machineName = u"Front desk";
  settings.folderPath = u"/home/user/scans";
  SetSettingInfo(settings);
  for (int command : {ID_MODE_ADVANCED, ID_MODE_SIMPLE}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(::testing::Message() << command << " " << c.code);
      SetPasswordInfo({u"1234", TRUE});
      Run([&](TestMainDlg& d) {
        d.InputMenuCommand(command);
        for (int id : {IDC_SIMPLE_DEVICE_NAME, IDC_SIMPLE_BOX_NAME, IDC_SIMPLE_FILE_NUMBER,
                       IDC_SIMPLE_DATE_TIME, IDC_SIMPLE_PAGES, IDC_SIMPLE_COLOR, IDC_SIMPLE_FORMAT,
                       IDC_SIMPLE_FOLDER}) {
          d.SetDlgItemText(id, u"shown");
        }
        d.UpdateData(TRUE);
        TakeMessages();
        d.ReportCommError(c.code);
        ASSERT_EQ(TakeMessages(), std::vector<WString>{c.text});
        const MessageBoxRecord& box = ui.MessageBoxes().back();
        EXPECT_EQ(box.caption, u"Communication");
        EXPECT_EQ(box.type, static_cast<UINT>(MB_ICONERROR));
        EXPECT_EQ(box.owner, d.GetSafeHwnd());
        EXPECT_EQ(GetPasswordInfo().savePassword, c.code == 807 ? FALSE : TRUE);
        EXPECT_EQ(GetPasswordInfo().password, u"1234");
        const bool simple = command == ID_MODE_SIMPLE;
        EXPECT_EQ(d.GetDlgItemText(IDC_SIMPLE_DEVICE_NAME), simple ? u"Front desk" : u"shown");
        EXPECT_EQ(d.GetDlgItemText(IDC_SIMPLE_FOLDER), simple ? u"/home/user/scans" : u"shown");
        EXPECT_EQ(d.GetDlgItemText(IDC_SIMPLE_BOX_NAME), u"shown");
        for (int id : {IDC_SIMPLE_FILE_NUMBER, IDC_SIMPLE_DATE_TIME, IDC_SIMPLE_PAGES,
                       IDC_SIMPLE_COLOR, IDC_SIMPLE_FORMAT}) {
          EXPECT_EQ(d.GetDlgItemText(id), simple ? u"" : u"shown") << id;
        }
      });
    }
  }
}

// A template without some of the modes' controls: they are passed over, the
// measurement fails and the default sizes hold.
TEST_F(MainWindowTest, ControlsMissingFromTheTemplateAreSkippedAndTheDefaultSizesHold) {
  std::vector<ControlTemplate> controls;
  for (const ControlTemplate& c : kMainTemplate.controls) {
    if (c.id != IDC_SIMPLE_FOLDER && c.id != IDC_MAIN_PAGE_COUNT) controls.push_back(c);
  }
  DialogTemplate main = kMainTemplate;
  main.controls = controls;
  std::vector<const DialogTemplate*> dialogs;
  for (const DialogTemplate* t : DialogTemplates())
    dialogs.push_back(t->id == IDD_MAIN ? &main : t);
  const ResourceTables tables{dialogs, MenuTemplates(), IconImages()};
  const ResourceTables* before = RegisterResources(&tables);
  Run([&](TestMainDlg& d) {
    EXPECT_EQ(d.GetWindowRect(), Rect(275, 269, 729, 445));
    d.InputMenuCommand(ID_MODE_SIMPLE);
    EXPECT_EQ(d.GetWindowRect().cx, kDefaultSimpleSize.cx);
    EXPECT_EQ(d.GetWindowRect().cy, kDefaultSimpleSize.cy);
    EXPECT_TRUE(d.GetDlgItem(IDC_SIMPLE_SAVE)->IsVisible());
    d.InputMenuCommand(ID_MODE_ADVANCED);
    EXPECT_EQ(d.GetWindowRect().cx, kDefaultAdvancedSize.cx);
    EXPECT_EQ(d.GetWindowRect().cy, kDefaultAdvancedSize.cy);
  });
  RegisterResources(before);
}

}  // namespace
}  // namespace tallow::app::testing
