// Windows as a whole: menus, placement, keys and focus, painting and page
// pictures, the file and folder pickers.
#include <string>

#include "hidden_click_dlg.h"
#include "platform/ui/file_dialog.h"
#include "platform/ui/icon.h"
#include "platform/ui/image.h"
#include "recording_dlg.h"
#include "res/resource_ids.h"
#include "support/temp_dir.h"
#include "ui_fixture.h"

namespace tallow::ui::testing {
namespace {

using test::TempDir;

// A JPEG as far as its size goes: start of image, then a frame header.
std::string JpegOf(int width, int height) {
  std::string s = "\xFF\xD8\xFF\xC0";
  s += std::string("\x00\x11\x08", 3);
  s += static_cast<char>(height >> 8);
  s += static_cast<char>(height & 0xFF);
  s += static_cast<char>(width >> 8);
  s += static_cast<char>(width & 0xFF);
  s += std::string("\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01\xFF\xD9", 12);
  return s;
}

TEST_F(UiTest, MenuResourceLoadsWithItsCommandsAndStates) {
  auto menu = CMenu::Load(res::IDR_MAIN_MENU);
  ASSERT_NE(menu, nullptr);
  ASSERT_EQ(menu->GetMenuItemCount(), 2);
  EXPECT_EQ(menu->GetMenuItemID(0), -1);  // a popup
  CMenu* mode = menu->GetSubMenu(1);
  ASSERT_NE(mode, nullptr);
  EXPECT_EQ(mode->GetMenuItemID(0), 30102);
  EXPECT_EQ(menu->GetMenuState(30102, MF_BYCOMMAND), MF_CHECKED | MF_GRAYED);  // found in the popup
  EXPECT_EQ(menu->GetMenuState(99, MF_BYCOMMAND), kMenuFailed);
  EXPECT_EQ(CMenu::Load(12345), nullptr);

  // Each state call answers the state before; a new text resets both states.
  EXPECT_EQ(menu->CheckMenuItem(30102, MF_UNCHECKED), MF_CHECKED);
  EXPECT_EQ(menu->EnableMenuItem(30102, MF_ENABLED), MF_GRAYED);
  EXPECT_EQ(menu->GetMenuState(30102, MF_BYCOMMAND), 0u);
  menu->CheckMenuItem(30103, MF_CHECKED);
  EXPECT_TRUE(menu->ModifyMenu(30103, MF_BYCOMMAND | MF_STRING, 30103, u"Simple"));
  EXPECT_EQ(menu->GetMenuState(30103, MF_BYCOMMAND), 0u);
  EXPECT_EQ(menu->GetMenuString(30103, MF_BYCOMMAND), u"Simple");
  EXPECT_TRUE(menu->SetMenuItemText(0, TRUE, u"Einstellungen"));
  EXPECT_EQ(menu->GetMenuString(0, MF_BYPOSITION), u"Einstellungen");
  EXPECT_FALSE(menu->SetMenuItemText(5, TRUE, u"x"));
}

TEST_F(UiTest, MenuBarCommandsReachTheWindowOnlyWhileEnabled) {
  RecordingDlg main(res::IDD_MAIN);
  main.watchCommands = {{30102, 0}, {30103, 0}};
  ASSERT_TRUE(main.Create());
  CMenu* menu = main.GetMenu();
  ASSERT_NE(menu, nullptr);
  main.InputMenuCommand(30102);  // grayed in the template
  main.InputMenuCommand(30103);
  main.InputMenuCommand(4242);   // not in the menu
  menu->EnableMenuItem(30103, MF_BYCOMMAND | MF_GRAYED);
  main.InputMenuCommand(30103);
  EXPECT_EQ(main.events, (std::vector<Event>{{30103, 0}}));
  main.EnableWindow(false);
  menu->EnableMenuItem(30102, MF_BYCOMMAND | MF_ENABLED);
  main.InputMenuCommand(30102);  // a disabled window takes no input
  EXPECT_EQ(main.events.size(), 1u);
}

TEST_F(UiTest, SystemMenuItemsGoToOnSysCommandAndGrayedCloseStopsTheCloseBox) {
  RecordingDlg about(res::IDD_ABOUTBOX);
  ASSERT_TRUE(about.Create());
  CMenu* system = about.GetSystemMenu(FALSE);
  ASSERT_NE(system, nullptr);
  system->AppendMenu(MF_SEPARATOR);
  system->AppendMenu(MF_STRING, 16, u"About");
  about.InputSysCommand(16);
  about.InputSysCommand(99);  // no such item: still the window's
  system->EnableMenuItem(SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
  EXPECT_FALSE(about.IsCloseCommandEnabled());
  about.InputCloseBox();
  EXPECT_EQ(about.sysCommands, (std::vector<UINT>{16, 99}));
  about.EnableCloseCommand(true);
  about.InputCloseBox();
  EXPECT_EQ(about.sysCommands.back(), SC_CLOSE);
}

TEST_F(UiTest, PopupMenuPostsTheChosenCommandToItsOwner) {
  RecordingDlg main(res::IDD_MAIN);
  main.watchCommands = {{30201, 0}};
  ASSERT_TRUE(main.Create());
  struct Case {
    const char* name;
    int choice;
    UINT flags;
    int answer;
    bool posted;
  };
  const Case cases[] = {
      {"chosen", 30201, TPM_RIGHTBUTTON, 1, true},
      {"dismissed", 0, TPM_RIGHTBUTTON, 0, false},
      {"not an item of the menu", 30102, TPM_RIGHTBUTTON, 0, false},
      {"answered instead of posted", 30201, TPM_RETURNCMD, 30201, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    main.events.clear();
    auto menu = CMenu::Load(res::IDR_DOCUMENT_MENU);
    ASSERT_NE(menu, nullptr);
    CMenu* popup = menu->GetSubMenu(0);
    ASSERT_NE(popup, nullptr);
    popup->SetMenuItemText(0, TRUE, u"Delete");
    Point shownAt;
    ui.OnPopupMenu([&](const CMenu& m, Point at, CDialog* owner) {
      EXPECT_EQ(&m, popup);
      EXPECT_EQ(owner, &main);
      shownAt = at;
      return c.choice;
    });
    EXPECT_EQ(popup->TrackPopupMenu(c.flags, 300, 200, &main), c.answer);
    EXPECT_EQ(shownAt, (Point{300, 200}));
    menu.reset();  // as the caller destroys it before the command arrives
    EXPECT_TRUE(main.events.empty());
    ui.RunPosted();
    EXPECT_EQ(main.events.size(), c.posted ? 1u : 0u);
  }
}

TEST_F(UiTest, MinimisedTemplateComesUpNormalAtFirstIdleWithItsSize) {
  bool iconicAtInit = false;
  Rect atInit;
  ui.OnDialog([&](CDialog& d) {
    const Rect w = d.GetWindowRect();
    EXPECT_FALSE(d.IsIconic());
    EXPECT_GE(w.x, 0);
    EXPECT_GE(w.y, 0);
    const Rect area = GetWorkArea();
    EXPECT_EQ(w.x, (area.cx - w.cx) / 2);  // centred by its template
    EXPECT_EQ(d.GetClientRect().cx, w.cx - 6);
    // A control's screen place is the client origin plus its place in the dialog.
    const Rect list = d.GetDlgItem(1201)->GetWindowRect();
    Point origin;
    d.ClientToScreen(&origin);
    EXPECT_EQ(list.x, origin.x + d.GetDlgItem(1201)->GetPixelRect().x);
    d.InputEscape();
  });
  struct Probe : RecordingDlg {
    using RecordingDlg::RecordingDlg;
    bool* iconic;
    Rect* rect;
    BOOL OnInitDialog() override {
      *iconic = IsIconic();
      *rect = GetWindowRect();
      return RecordingDlg::OnInitDialog();
    }
  };
  Probe probe(res::IDD_MAIN);
  probe.iconic = &iconicAtInit;
  probe.rect = &atInit;
  EXPECT_EQ(probe.DoModal(), IDCANCEL);
  EXPECT_TRUE(iconicAtInit);
  EXPECT_LT(atInit.x + atInit.cx, 0);  // wholly at negative coordinates
  EXPECT_LT(atInit.y + atInit.cy, 0);
  ASSERT_EQ(probe.sizes.size(), 1u);
  EXPECT_EQ(probe.sizes[0].first, SIZE_RESTORED);
}

TEST_F(UiTest, MinimiseRestoreAndMovesSendSizesOnlyWhenTheSizeChanges) {
  RecordingDlg main(res::IDD_MAIN);
  ASSERT_TRUE(main.Create());
  main.ShowWindow(SW_SHOWNORMAL);
  const Rect normal = main.GetWindowRect();
  main.sizes.clear();

  main.MoveWindow(10, 20, normal.cx, normal.cy);  // a move alone
  EXPECT_TRUE(main.sizes.empty());
  main.MoveWindow(10, 20, 400, 300);
  ASSERT_EQ(main.sizes.size(), 1u);
  EXPECT_EQ(main.sizes[0].second, (Size{400 - 6, 300 - main.GetWindowRect().cy + main.GetClientRect().cy}));

  main.InputMinimize();
  EXPECT_TRUE(main.IsIconic());
  const Rect icon = main.GetWindowRect();
  EXPECT_TRUE(icon.x < 0 && icon.y < 0 && icon.right() < 0 && icon.bottom() < 0);
  EXPECT_EQ(main.GetDlgItem(1201)->GetWindowRect().x < 0, true);
  // Moving a minimised window sets where it comes back.
  main.MoveWindow(0, 0, 500, 350);
  main.CenterWindow();
  main.InputRestore();
  EXPECT_FALSE(main.IsIconic());
  const Rect back = main.GetWindowRect();
  EXPECT_EQ(back.cx, 500);
  EXPECT_EQ(back.x, (GetWorkArea().cx - 500) / 2);
  ASSERT_EQ(main.sizes.size(), 3u);
  EXPECT_EQ(main.sizes[1], (std::pair<UINT, Size>{SIZE_MINIMIZED, Size{0, 0}}));
  EXPECT_EQ(main.sizes[2].first, SIZE_RESTORED);
  EXPECT_EQ(main.sysCommands, (std::vector<UINT>{SC_MINIMIZE, SC_RESTORE}));
}

// The main window's mode switch: a new size, then the menu's new checks
// shown with DrawMenuBar, which leaves the size alone.
TEST(UiMenuBar, DrawMenuBarShowsTheMenuAndKeepsTheWindowsSize) {
  struct MenuCountingBackend : HeadlessBackend {
    void MenuChanged(CDialog&) override { ++menuChanges; }
    int menuChanges = 0;
  } ui;
  RecordingDlg main(res::IDD_MAIN);
  main.DrawMenuBar();  // no window yet
  ASSERT_TRUE(main.Create());
  main.ShowWindow(SW_SHOWNORMAL);
  main.sizes.clear();
  const Rect r = main.GetWindowRect();
  main.MoveWindow(r.x, r.y, 336, 287);
  main.GetMenu()->CheckMenuItem(30103, MF_BYCOMMAND | MF_CHECKED);
  main.GetMenu()->EnableMenuItem(30103, MF_BYCOMMAND | MF_GRAYED);
  main.DrawMenuBar();
  EXPECT_EQ(ui.menuChanges, 1);
  EXPECT_EQ(main.GetWindowRect(), (Rect{r.x, r.y, 336, 287}));
  EXPECT_EQ(main.sizes.size(), 1u);  // the move's own

  RecordingDlg about(res::IDD_ABOUTBOX);  // no menu: nothing to show
  ASSERT_TRUE(about.Create());
  about.DrawMenuBar();
  EXPECT_EQ(ui.menuChanges, 1);
}

TEST_F(UiTest, CentringKeepsTheWindowInsideTheWorkArea) {
  ui.SetWorkArea(Rect{0, 30, 800, 570});
  RecordingDlg dialog(res::IDD_PASSWORD);
  ASSERT_TRUE(dialog.Create());
  dialog.MoveWindow(0, 0, 1000, 200);
  dialog.CenterWindow();
  EXPECT_EQ(dialog.GetWindowRect().x, 0);  // wider than the area: its left edge holds
  EXPECT_EQ(dialog.GetWindowRect().y, 30 + (570 - 200) / 2);
  dialog.MoveWindow(0, 0, 300, 700);
  dialog.CenterWindow();
  EXPECT_EQ(dialog.GetWindowRect().x, (800 - 300) / 2);
  EXPECT_EQ(dialog.GetWindowRect().y, 30);
}

TEST_F(UiTest, DialogThatHidesAndClicksItselfEndsBeforeItIsEverShown) {
  for (bool succeed : {true, false}) {
    SCOPED_TRACE(succeed);
    bool handed = false;
    ui.OnDialog([&](CDialog& d) {
      handed = true;
      EXPECT_TRUE(d.IsWindowVisible());  // shown at the first idle after all
      d.InputEscape();
    });
    HiddenClickDlg dialog(succeed);
    EXPECT_EQ(dialog.DoModal(), succeed ? IDOK : IDCANCEL);
    EXPECT_FALSE(dialog.visibleWhenClicked);
    EXPECT_EQ(handed, !succeed);
  }
}

// The start-up window: created visible, it goes to the back end to be shown
// as soon as its texts are in, and it has been painted before the posted
// click of a hidden dialog does its work.
TEST(UiModeless, ModelessWindowIsShownOnceInitialisedAndPaintedBeforeAHiddenDialogsClick) {
  struct PresentingBackend : HeadlessBackend {
    void PresentNow(CDialog& d) override { presented.push_back(d.GetDlgItemText(5101)); }
    std::vector<WString> presented;
  } ui;
  struct StartupDlg : RecordingDlg {
    StartupDlg() : RecordingDlg(res::IDD_PROGRESS) {}
    BOOL OnInitDialog() override {
      RecordingDlg::OnInitDialog();
      SetDlgItemText(5101, u"Now Starting Application");
      return TRUE;
    }
  } startup;
  ASSERT_TRUE(startup.Create());
  EXPECT_EQ(ui.presented, std::vector<WString>{u"Now Starting Application"});
  EXPECT_TRUE(startup.IsWindowVisible());

  bool visibleAtClick = false;
  int paintsAtClick = -1;
  HiddenClickDlg select(true, [&] {
    visibleAtClick = startup.IsWindowVisible();
    paintsAtClick = startup.paints;
  });
  EXPECT_EQ(select.DoModal(), IDOK);
  EXPECT_TRUE(visibleAtClick);
  EXPECT_EQ(paintsAtClick, 1);
  EXPECT_EQ(ui.presented.size(), 1u);  // a modal dialog shows through its loop

  RecordingDlg hidden(res::IDD_ABOUTBOX);  // made without WS_VISIBLE
  ASSERT_TRUE(hidden.Create());
  EXPECT_EQ(ui.presented.size(), 1u);
}

// The main window's page field: Enter there is its own, not the dialog's.
class PageFieldDlg : public RecordingDlg {
 public:
  PageFieldDlg() : RecordingDlg(res::IDD_MAIN) {}
  int goToPage = 0;

 protected:
  BOOL PreTranslateMessage(MSG* msg) override {
    Control* page = GetDlgItem(1003);
    if (page && msg->hwnd == page->GetSafeHwnd() && msg->message == WM_KEYDOWN &&
        msg->wParam == VK_RETURN) {
      ++goToPage;
      return FALSE;
    }
    return RecordingDlg::PreTranslateMessage(msg);
  }
};

TEST_F(UiTest, PreTranslateMessageKeepsEnterFromTheDefaultButtonAndFocusChangesAreTold) {
  PageFieldDlg main;
  main.watchCommands = {{2101, BN_CLICKED}, {1003, EN_KILLFOCUS}, {1003, EN_SETFOCUS}};
  ASSERT_TRUE(main.Create());
  main.GetDlgItem(1003)->SetFocus();
  main.InputEnter();
  EXPECT_EQ(main.goToPage, 1);
  main.GetDlgItem(1201)->SetFocus();
  main.InputEnter();  // now the default button, 2101 in the template
  main.SetDefID(1601);
  EXPECT_EQ(main.GetDefID(), 1601);
  EXPECT_FALSE(main.GetDlgItem(2101)->IsDefaultButton());
  const std::vector<Event> expected = {
      {1003, EN_SETFOCUS}, {1003, EN_KILLFOCUS}, {2101, BN_CLICKED}};
  EXPECT_EQ(main.events, expected);
}

TEST_F(UiTest, InvalidationsMakeOnePaintAndErasingClearsWhatWasDrawn) {
  TempDir dir;
  const std::string page = dir.Write("00000001_1.jpg", JpegOf(200, 100));
  CImage image;
  ASSERT_EQ(image.Load(FromAnsi(page)), S_OK);
  EXPECT_EQ(image.GetWidth(), 200);
  EXPECT_EQ(image.GetHeight(), 100);

  RecordingDlg main(res::IDD_MAIN);
  ASSERT_TRUE(main.Create());
  main.ShowWindow(SW_SHOWNORMAL);
  ui.RunPosted();
  main.paints = 0;
  Control* frame = main.GetDlgItem(1401);
  {
    CClientDC dc(*frame);
    dc.SetStretchBltMode(HALFTONE);
    EXPECT_TRUE(image.StretchBlt(dc, 1, 36, 100, 50, 0, 0, 200, 100, SRCCOPY));
    EXPECT_FALSE(image.StretchBlt(dc, 1, 36, 0, 50, 0, 0, 200, 100, SRCCOPY));
  }
  ASSERT_EQ(frame->GetSurface().Ops().size(), 1u);
  const DrawOp op = frame->GetSurface().Ops()[0];
  EXPECT_EQ(op.kind, DrawOp::Kind::kImage);
  EXPECT_EQ(op.dest, (Rect{1, 36, 100, 50}));
  EXPECT_EQ(op.src, (Rect{0, 0, 200, 100}));
  EXPECT_EQ(op.stretchMode, HALFTONE);

  main.Invalidate(FALSE);
  main.Invalidate(FALSE);
  EXPECT_EQ(frame->GetSurface().Ops().size(), 1u);  // no erase: still there
  main.Invalidate(TRUE);
  EXPECT_TRUE(frame->GetSurface().Ops().empty());
  EXPECT_EQ(main.paints, 0);  // painted when the queue gets to it
  ui.RunPosted();
  EXPECT_EQ(main.paints, 1);
  image.Destroy();
  EXPECT_TRUE(image.IsNull());
  EXPECT_EQ(op.image->width, 200);  // what was drawn keeps its picture
}

TEST_F(UiTest, FilesThatAreNotPagePicturesDoNotLoad) {
  TempDir dir;
  CImage image;
  ASSERT_EQ(image.Load(FromAnsi(dir.Write("a.jpg", JpegOf(10, 10)))), S_OK);
  for (const std::string& path :
       {dir.Write("text.jpg", "not a picture"), dir.File("missing.tif"), dir.Path()}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(image.Load(FromAnsi(path)), E_FAIL);
    EXPECT_TRUE(image.IsNull());  // the old picture is gone as well
  }
}

TEST(FileFilterTest, PairsUpToTheEmptyDescription) {
  const auto filters =
      ParseFileFilter(u"PDF Files (*.pdf)|*.pdf|TIFF Files (*.tif;*.tiff)|*.tif;*.tiff||");
  ASSERT_EQ(filters.size(), 2u);
  EXPECT_EQ(filters[1].description, u"TIFF Files (*.tif;*.tiff)");
  EXPECT_EQ(filters[1].patterns, u"*.tif;*.tiff");
  EXPECT_TRUE(ParseFileFilter(u"").empty());
  EXPECT_TRUE(ParseFileFilter(u"no bar").empty());
  EXPECT_EQ(ParseFileFilter(u"All|*.*").size(), 1u);
}

TEST_F(UiTest, SaveDialogAppendsTheChosenFiltersExtensionToABareName) {
  struct Case {
    const char16_t* typed;
    int filter;
    const char16_t* path;
  };
  const Case cases[] = {
      {u"/home/u/scan", 1, u"/home/u/scan.pdf"},
      {u"/home/u/scan", 2, u"/home/u/scan.tif"},
      {u"/home/u/scan.jpg", 2, u"/home/u/scan.jpg"},  // an extension is kept, fitting or not
      {u"/home/u.d/scan", 2, u"/home/u.d/scan.tif"},  // a dot in a folder is no extension
      {u"/home/u/scan.", 1, u"/home/u/scan..pdf"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ToAnsi(c.typed));
    ui.OnFileDialog([&](const FileDialogRequest& r, WString* path, int* index) {
      EXPECT_TRUE(r.save);
      EXPECT_EQ(r.initialFolder, u"/home/u");
      EXPECT_EQ(r.filterIndex, 2);
      EXPECT_EQ(r.defaultExtension, u"pdf");
      EXPECT_EQ(r.flags & OFN_OVERWRITEPROMPT, 0u);
      *path = c.typed;
      *index = c.filter;
      return IDOK;
    });
    CFileDialog dialog(FALSE, u"pdf", nullptr, OFN_HIDEREADONLY,
                       u"PDF Files (*.pdf)|*.pdf|TIFF Files (*.tif;*.tiff)|*.tif;*.tiff||");
    dialog.m_ofn.lpstrInitialDir = u"/home/u";
    dialog.m_ofn.nFilterIndex = 2;
    ASSERT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.GetPathName(), c.path);
    EXPECT_EQ(dialog.m_ofn.nFilterIndex, static_cast<DWORD>(c.filter));
  }
  ui.OnFileDialog(nullptr);
  CFileDialog cancelled(FALSE, u"pdf");
  EXPECT_EQ(cancelled.DoModal(), IDCANCEL);
  EXPECT_EQ(cancelled.GetPathName(), u"");
}

// A file dialog without a parent belongs to the main window of the moment;
// once that window's object is gone, to nobody, and the layer no longer
// names it as the main window.
TEST_F(UiTest, FileDialogWithoutParentIsOwnedByTheMainWindowWhileItLives) {
  std::vector<HWND> owners;
  ui.OnFileDialog([&](const FileDialogRequest& r, WString*, int*) {
    owners.push_back(r.owner);
    return IDCANCEL;
  });
  RecordingDlg other(res::IDD_ABOUTBOX);
  ASSERT_TRUE(other.Create());
  {
    RecordingDlg main(res::IDD_ABOUTBOX);
    ASSERT_TRUE(main.Create());
    SetMainWindow(&main);
    CFileDialog unowned(FALSE, u"pdf");
    unowned.DoModal();
    CFileDialog owned(FALSE, u"pdf", nullptr, 0, nullptr, &other);
    owned.DoModal();
    EXPECT_EQ(owners, (std::vector<HWND>{main.GetSafeHwnd(), other.GetSafeHwnd()}));
  }
  EXPECT_EQ(GetMainWindow(), nullptr);
  CFileDialog later(FALSE, u"pdf");
  later.DoModal();
  ASSERT_EQ(owners.size(), 3u);
  EXPECT_EQ(owners[2], nullptr);
  ui.OnFileDialog(nullptr);
}

TEST_F(UiTest, FolderBrowserPathMustFitItsBuffer) {
  EXPECT_EQ(SHBrowseForFolderW(nullptr), nullptr);
  BROWSEINFOW info;
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  EXPECT_EQ(SHBrowseForFolderW(&info), nullptr);  // cancelled
  ui.OnFolderDialog([](HWND, WString* folder) {
    *folder = u"/home/u/scans";
    return IDOK;
  });
  ITEMIDLIST* chosen = SHBrowseForFolderW(&info);
  ASSERT_NE(chosen, nullptr);
  char16_t small[13];
  EXPECT_FALSE(SHGetPathFromIDListEx(chosen, small, 13));
  EXPECT_EQ(small[0], u'\0');
  char16_t exact[14];
  EXPECT_TRUE(SHGetPathFromIDListEx(chosen, exact, 14));
  EXPECT_EQ(WString(exact), u"/home/u/scans");
  ILFree(chosen);
  ILFree(nullptr);
}

TEST(IconTest, IconsAndImageListsByResourceId) {
  EXPECT_EQ(LoadIconW(128), 128);
  EXPECT_EQ(LoadIconW(999), 0);
  EXPECT_EQ(GetSystemMetrics(SM_CXICON), 32);
  const auto pixels = RenderIcon(301, 16);
  ASSERT_EQ(pixels.size(), 256u);
  EXPECT_NE(std::count_if(pixels.begin(), pixels.end(), [](auto p) { return p >> 24; }), 0);
  EXPECT_EQ(RenderIcon(999, 4), std::vector<std::uint32_t>(16, 0));

  CImageList list;
  EXPECT_EQ(list.Add(301), -1);  // not made yet
  ASSERT_TRUE(list.Create(16, 16, ILC_COLOR32, 4, 1));
  list.SetBkColor(RGB(255, 255, 255));
  for (int id : {304, 302, 303, 301}) list.Add(LoadIconW(id));
  EXPECT_EQ(list.Add(LoadIconW(999)), -1);
  EXPECT_EQ(list.GetImageCount(), 4);
  EXPECT_EQ(list.GetIcon(3), 301);
  EXPECT_EQ(list.GetBkColor(), 0x00FFFFFFu);
}

}  // namespace
}  // namespace tallow::ui::testing
