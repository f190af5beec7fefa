// The main window on the screen against the simulated MFP: both modes at
// their sizes after the boxes were listed, a portrait and a landscape page
// drawn inside their fit rectangles, every label whole at the desktop's
// font, the list's columns wide enough for their texts, and the wait cursor
// on the screen while the device is asked.
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/main_window/main_dlg.h"
#include "core/settings.h"
#include "res/resource_ids.h"
#include "support/sim_stores.h"
#include "support/temp_dir.h"
#include "support/x_input.h"
#include "tests/ui-wx/wx_main_window_fixture.h"
#include "tests/ui-wx/x_screen.h"

// After the project's headers: wx defines TRUE and FALSE as macros.
#include <wx/frame.h>
#include <wx/image.h>
#include <wx/timer.h>
#include <wx/uiaction.h>

namespace tallow::ui::testing {
namespace {

using namespace std::chrono_literals;
using app::CMainDlg;

constexpr const char* kTitle = "Tallowmere";

// A portrait colour page and a landscape black-and-white one: the list
// shows the landscape one first.
constexpr const char* kStore = R"(<mfp name="Sim">
  <box id="1" name="Scans">
    <doc id="C1" name="Portrait" timestamp="2026/12/09 08:46:40" pages="2" color="1"
         width="600" height="848"/>
    <doc id="C2" name="Landscape" timestamp="2026/12/10 17:05:59" pages="1" color="0"
         width="848" height="600"/>
  </box>
  <box id="2" name="Archive"/>
</mfp>)";
constexpr int kRowLandscape = 0;
constexpr int kRowPortrait = 1;

class WxMainWindowTest : public WxMainWindowFixture {
 protected:
  void SetUp() override {
    WxMainWindowFixture::SetUp();
    if (IsSkipped()) return;
    StartDevice(store_, SettingInfo{});
  }

  const char* store_ = kStore;  // what the device holds

  // The window's size on the screen, once the window system has caught up
  // with |expected| (a busy machine may take a while), or as it stands after
  // a few seconds.
  static Size ScreenSize(Size expected) {
    Size size;
    const auto end = std::chrono::steady_clock::now() + 5s;
    do {
      wx_->Pump(50ms);
      const std::optional<ScreenWindow> w = FindScreenWindow(kTitle);
      size = w && w->viewable ? Size{w->rect.cx, w->rect.cy} : Size{};
    } while (size != expected && std::chrono::steady_clock::now() < end);
    return size;
  }

  // The window on the screen has the layer's size, which is the mode's.
  void ExpectOnScreenAtModeSize(const CMainDlg& d) {
    const Size mode = d.m_nMode == app::kModeAdvanced ? d.m_sizeAdvanced : d.m_sizeSimple;
    EXPECT_GT(mode.cx, 0);
    EXPECT_EQ(Size(d.GetWindowRect().cx, d.GetWindowRect().cy), mode);
    EXPECT_EQ(ScreenSize(mode), mode);
  }

  // Every label, button and check box shown holds its whole text, measured
  // in the font the control uses.
  void ExpectLabelsWhole(const CDialog& d) {
    for (std::size_t i = 0; i < d.Controls().size(); ++i) {
      const Control& c = *d.Controls()[i];
      const std::optional<WxDriver::ControlView> view = wx_->ViewControl(d, i);
      ASSERT_TRUE(view);
      if (!view->shown || view->text.empty()) continue;
      const Rect rect = *wx_->ControlRect(d, i);
      const Size text = *wx_->MeasureText(d, i, view->text);
      SCOPED_TRACE(view->text);
      switch (c.Kind()) {
        case ControlKind::kStatic: {
          if (c.GetStyle() & SS_ENDELLIPSIS) break;  // data, cut with "..." by design
          // GTK's own measure, in the font it draws with, as well as wx's.
          const Size best = *wx_->BestSize(d, i);
          EXPECT_LE(std::max(text.cx, best.cx), rect.cx);
          EXPECT_LE(std::max(text.cy, best.cy), rect.cy);
          break;
        }
        case ControlKind::kCheckBox:
        case ControlKind::kRadio:
          EXPECT_LE(wx_->BestSize(d, i)->cx, rect.cx);
          break;
        case ControlKind::kButton:
        case ControlKind::kGroupBox:
          EXPECT_LE(text.cx + 10, rect.cx);
          break;
        default:
          break;
      }
    }
  }

  // What the screen shows of the window, saved as <build>/screenshots/|name|,
  // with the window's client area origin in it.
  struct Shot {
    wxImage image;
    Point client;
  };
  Shot ShootScreen(const CDialog& d, const std::string& name) {
    ScreenSize(Size{d.GetWindowRect().cx, d.GetWindowRect().cy});
    wx_->Pump(200ms);
    const std::optional<ScreenWindow> w = FindScreenWindow(kTitle);
    EXPECT_TRUE(w);
    if (!w) return {};
    const std::optional<ScreenPixels> pixels = GrabScreen(w->rect);
    EXPECT_TRUE(pixels);
    if (!pixels) return {};
    Shot shot{wxImage(pixels->width, pixels->height), {}};
    std::copy(pixels->rgb.begin(), pixels->rgb.end(), shot.image.GetData());
    EXPECT_TRUE(shot.image.SaveFile(ShotPath(name).string(), wxBITMAP_TYPE_PNG));
    d.ClientToScreen(&shot.client);
    shot.client.x -= w->rect.x;
    shot.client.y -= w->rect.y;
    return shot;
  }

  // The page is drawn inside the fit rectangle, and the frame shows nothing
  // but the window's background around it; the screen is looked at again
  // for a few seconds until it shows that (a busy machine paints late).
  void ExpectPageInItsFit(const CMainDlg& d, const std::string& name) {
    struct Counts {
      int inside = 0;
      int page = 0;  // pixels inside that are not the background
      int outside = 0;
      int bare = 0;  // pixels outside that are
      bool Good() const {
        return inside > 1000 && outside > 1000 && page > inside * 95 / 100 && bare == outside;
      }
    };
    const Rect frame = d.GetDlgItem(res::IDC_MAIN_PREVIEW_FRAME)->GetPixelRect();
    const Rect area = d.GetDlgItem(res::IDC_MAIN_PREVIEW_FRAME)->GetClientRect();
    const Rect fit = d.m_previewRect;
    const auto count = [&](const Shot& shot) {
      Counts c;
      const wxImage& image = shot.image;
      if (!image.IsOk()) return c;
      // The window's own background, beside the frame.
      const int bx = shot.client.x + frame.x - 3;
      const int by = shot.client.y + frame.y + 3;
      const int background[] = {image.GetRed(bx, by), image.GetGreen(bx, by),
                                image.GetBlue(bx, by)};
      const auto isBackground = [&](int x, int y) {
        // |x|, |y| in the frame's client area.
        const int sx = shot.client.x + frame.x + 1 + x;
        const int sy = shot.client.y + frame.y + 1 + y;
        return std::abs(image.GetRed(sx, sy) - background[0]) <= 2 &&
               std::abs(image.GetGreen(sx, sy) - background[1]) <= 2 &&
               std::abs(image.GetBlue(sx, sy) - background[2]) <= 2;
      };
      // A margin of 3 pixels keeps the filtered edge out of both counts.
      for (int y = 2; y < area.cy - 2; ++y) {
        for (int x = 2; x < area.cx - 2; ++x) {
          const bool in =
              x >= fit.x + 3 && x < fit.right() - 3 && y >= fit.y + 3 && y < fit.bottom() - 3;
          const bool out =
              x < fit.x - 3 || x >= fit.right() + 3 || y < fit.y - 3 || y >= fit.bottom() + 3;
          if (in) {
            ++c.inside;
            c.page += isBackground(x, y) ? 0 : 1;
          } else if (out) {
            ++c.outside;
            c.bare += isBackground(x, y) ? 1 : 0;
          }
        }
      }
      return c;
    };
    Counts c;
    const auto end = std::chrono::steady_clock::now() + 5s;
    do {
      c = count(ShootScreen(d, name));
    } while (!c.Good() && std::chrono::steady_clock::now() < end);
    EXPECT_GT(c.inside, 1000);
    EXPECT_GT(c.outside, 1000);
    EXPECT_GT(c.page, c.inside * 95 / 100);
    EXPECT_EQ(c.bare, c.outside);
  }

};

TEST_F(WxMainWindowTest, BothModesWithAPortraitAndALandscapePagePreviewed) {
  CMainDlg main;
  wx_->OnDialogShown([&](CDialog& shown) {
    ASSERT_EQ(&shown, &main);
    CMainDlg& d = main;
    EXPECT_EQ(d.m_nMode, app::kModeAdvanced);
    ExpectOnScreenAtModeSize(d);
    const std::size_t treeIndex = IndexOf(d, res::IDC_MAIN_BOX_TREE);
    const std::size_t listIndex = IndexOf(d, res::IDC_MAIN_DOCUMENT_LIST);
    const std::optional<std::vector<WxDriver::TreeItemView>> tree = wx_->ViewTree(d, treeIndex);
    ASSERT_TRUE(tree);
    ASSERT_EQ(tree->size(), 3u);
    EXPECT_EQ((*tree)[1].text, "Scans");

    const HTREEITEM scans = d.m_treeBoxes->GetChildItem(d.m_treeBoxes->GetRootItem());
    ASSERT_TRUE(wx_->ClickTreeItem(d, treeIndex, scans));
    ASSERT_TRUE(wx_->Click(d, IndexOf(d, res::IDC_MAIN_PREVIEW)));
    ASSERT_TRUE(wx_->ClickListRow(d, listIndex, kRowPortrait, false));
    ASSERT_FALSE(d.m_previewImage.IsNull());
    EXPECT_GT(d.m_previewRect.x, 1);  // portrait: bands left and right
    ExpectPageInItsFit(d, "main-advanced-portrait.png");

    ASSERT_TRUE(wx_->ClickListRow(d, listIndex, kRowLandscape, false));
    EXPECT_GT(d.m_previewRect.y, 1);  // landscape: bands above and below
    ExpectPageInItsFit(d, "main-advanced-landscape.png");
    ExpectLabelsWhole(d);

    // The columns, given for the other system's font, hold their texts.
    const std::optional<WxDriver::ListView> list = wx_->ViewList(d, listIndex);
    ASSERT_TRUE(list);
    ASSERT_EQ(list->headings.size(), 4u);
    ASSERT_EQ(list->rows.size(), 2u);
    constexpr int kCellPadding = 12;
    for (std::size_t column = 0; column < 4; ++column) {
      SCOPED_TRACE(list->headings[column]);
      int widest = wx_->MeasureText(d, listIndex, list->headings[column])->cx;
      for (const auto& row : list->rows) {
        widest = std::max(widest, wx_->MeasureText(d, listIndex, row[column])->cx);
      }
      EXPECT_LE(widest + kCellPadding, list->widths[column]);
    }

    ASSERT_TRUE(wx_->ChooseMenuItem(d, res::ID_MODE_SIMPLE));
    EXPECT_EQ(d.m_nMode, app::kModeSimple);
    ExpectOnScreenAtModeSize(d);
    ExpectLabelsWhole(d);
    ShootScreen(d, "main-simple.png");

    ASSERT_TRUE(wx_->ChooseMenuItem(d, res::ID_MODE_ADVANCED));
    ExpectOnScreenAtModeSize(d);
    ShootScreen(d, "main-advanced.png");
    d.InputEscape();
  });
  EXPECT_EQ(main.DoModal(), IDCANCEL);
}

// While the device is asked the UI thread is busy; the wait cursor is on
// the screen all the same, over the whole window, and gone afterwards.
TEST_F(WxMainWindowTest, WaitCursorIsOnTheScreenWhileTheDeviceIsAsked) {
  CMainDlg main;
  wx_->OnDialogShown([&](CDialog&) {
    CMainDlg& d = main;
    wx_->Pump(200ms);
    const Rect tree = d.m_treeBoxes->GetWindowRect();
    const Rect list = d.m_listDocuments->GetWindowRect();
    const Point places[] = {{tree.x + tree.cx / 2, tree.bottom() - 20},
                            {list.x + list.cx / 2, list.y + list.cy / 2}};
    std::vector<ScreenCursor> idle;
    for (const Point& p : places) {
      const std::optional<ScreenCursor> cursor = CursorAt(p);
      ASSERT_TRUE(cursor);
      idle.push_back(*cursor);
    }
    sim_->SetFaults({"list-docs stall 1500"});
    std::atomic<bool> listing{true};
    std::vector<bool> waited(std::size(places), false);
    std::thread watcher([&] {
      while (listing) {
        for (std::size_t i = 0; i < std::size(places); ++i) {
          const std::optional<ScreenCursor> now = CursorAt(places[i]);
          if (listing && now && !(*now == idle[i])) waited[i] = true;
        }
        std::this_thread::sleep_for(50ms);
      }
    });
    const HTREEITEM scans = d.m_treeBoxes->GetChildItem(d.m_treeBoxes->GetRootItem());
    EXPECT_TRUE(wx_->ClickTreeItem(d, IndexOf(d, res::IDC_MAIN_BOX_TREE), scans));
    listing = false;
    watcher.join();
    EXPECT_EQ(d.m_listDocuments->GetItemCount(), 2);
    for (std::size_t i = 0; i < std::size(places); ++i) {
      EXPECT_TRUE(waited[i]) << i;
    }
    for (std::size_t i = 0; i < std::size(places); ++i) {
      std::optional<ScreenCursor> now;
      const auto end = std::chrono::steady_clock::now() + 5s;
      do {
        wx_->Pump(50ms);
        now = CursorAt(places[i]);
      } while (now != idle[i] && std::chrono::steady_clock::now() < end);
      EXPECT_EQ(now, idle[i]) << i;
    }
    d.InputEscape();
  });
  EXPECT_EQ(main.DoModal(), IDCANCEL);
}

// Four colour documents of two pages: a deletion leaves rows to refill the
// list with.
constexpr const char* kFourDocuments = R"(<mfp name="Sim">
  <box id="1" name="Scans">
    <doc id="D1" name="First" timestamp="2026/12/01 09:00:00" pages="2" color="1"
         width="300" height="420" dpi="100"/>
    <doc id="D2" name="Second" timestamp="2026/12/02 09:00:00" pages="2" color="1"
         width="300" height="420" dpi="100"/>
    <doc id="D3" name="Third" timestamp="2026/12/03 09:00:00" pages="2" color="1"
         width="300" height="420" dpi="100"/>
    <doc id="D4" name="Fourth" timestamp="2026/12/04 09:00:00" pages="2" color="1"
         width="300" height="420" dpi="100"/>
  </box>
</mfp>)";

// Answers the save dialog, once it is on the screen, with |name| in the
// folder it opened in, as the user types a name and presses Enter.
class SaveAsLater {
 public:
  explicit SaveAsLater(const std::string& name) {
    timer_.Bind(wxEVT_TIMER, [name](wxTimerEvent&) {
      const std::optional<ScreenWindow> chooser = FindScreenWindow("Save As");
      if (!chooser || !chooser->viewable) return;
      // Not into the main window, should the chooser just have gone: Enter
      // there would press Save.
      wxWindow* focus = wxWindow::FindFocus();
      if (focus && dynamic_cast<wxFrame*>(wxGetTopLevelParent(focus))) return;
      wxUIActionSimulator user;
      user.Char('a', wxMOD_CONTROL);
      user.Text(name.c_str());
      user.Char(WXK_RETURN);
    });
    timer_.Start(500);
  }

 private:
  wxTimer timer_;
};

class WxDeletionTest : public WxMainWindowTest {
 protected:
  WxDeletionTest() { store_ = kFourDocuments; }

  // The page arrows and the page field greyed on the screen as in the
  // layer, the page label empty, no row selected.
  void ExpectPageControlsOff(const CMainDlg& d) {
    wx_->Pump(300ms);
    for (int id : {res::IDC_MAIN_PREV_PAGE, res::IDC_MAIN_NEXT_PAGE, res::IDC_MAIN_PAGE}) {
      SCOPED_TRACE(id);
      EXPECT_FALSE(d.GetDlgItem(id)->IsEnabled());
      EXPECT_FALSE(wx_->ViewControl(d, IndexOf(d, id))->enabled);
    }
    EXPECT_EQ(d.GetDlgItemText(res::IDC_MAIN_PAGE_COUNT), u"");
    EXPECT_EQ(wx_->ViewControl(d, IndexOf(d, res::IDC_MAIN_PAGE_COUNT))->text, "");
    EXPECT_EQ(d.m_listDocuments->GetSelectedCount(), 0);
    EXPECT_TRUE(wx_->ViewList(d, IndexOf(d, res::IDC_MAIN_DOCUMENT_LIST))->selected.empty());
  }

  // A click of the mouse on the screen at the centre of control |id|.
  static void ClickOnScreen(const CDialog& d, int id) {
    const Rect r = d.GetDlgItem(id)->GetWindowRect();
    wxUIActionSimulator user;
    user.MouseMove(r.x + r.cx / 2, r.y + r.cy / 2);
    user.MouseClick();
    wx_->Pump(300ms);
  }
};

// After a delete after save and after the list's own Delete the list is
// refilled with no row selected; the page arrows and the page field are
// greyed on the screen, and a click on Next there does nothing.
TEST_F(WxDeletionTest, PageControlsAreOffAfterADeletion) {
  SettingInfo settings = GetSettingInfo();
  settings.ColorFormat = 1;  // JPEG files: no PDF library needed
  settings.DeleteFile = 1;
  SetSettingInfo(settings);
  struct Case {
    const char* name;
    bool save;  // delete after save; else the list's right-click Delete
    int rowsAfter;
    const char* shot;
  };
  const Case cases[] = {
      {"delete after save", true, 3, "wx-main-deleted-page-controls-greyed.png"},
      {"right-click Delete", false, 2, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CMainDlg main;
    wx_->OnDialogShown([&](CDialog& shown) {
      if (&shown == &main.m_progressDlg) {
        CDialog& p = shown;
        const std::size_t ok = IndexOf(p, res::IDC_PROGRESS_OK);
        ASSERT_TRUE(PumpUntil(*wx_, [&] { return wx_->ViewControl(p, ok)->enabled; }));
        EXPECT_TRUE(wx_->Click(p, ok));
        return;
      }
      CMainDlg& d = main;
      const std::size_t listIndex = IndexOf(d, res::IDC_MAIN_DOCUMENT_LIST);
      const HTREEITEM scans = d.m_treeBoxes->GetChildItem(d.m_treeBoxes->GetRootItem());
      ASSERT_TRUE(wx_->ClickTreeItem(d, IndexOf(d, res::IDC_MAIN_BOX_TREE), scans));
      ASSERT_TRUE(wx_->Click(d, IndexOf(d, res::IDC_MAIN_PREVIEW)));
      ASSERT_TRUE(wx_->ClickListRow(d, listIndex, 1, false));
      wx_->Pump(200ms);
      ASSERT_FALSE(d.m_previewImage.IsNull());
      ASSERT_TRUE(wx_->ViewControl(d, IndexOf(d, res::IDC_MAIN_NEXT_PAGE))->enabled);
      ASSERT_EQ(d.m_bDeleteAfterSave, TRUE);

      if (c.save) {
        SaveAsLater answer("scan");
        ASSERT_TRUE(wx_->Click(d, IndexOf(d, res::IDC_MAIN_SAVE)));
      } else {
        KeysLater keys({WXK_DOWN, WXK_RETURN});  // the popup's "Delete"
        ASSERT_TRUE(wx_->ClickListRow(d, listIndex, 1, true));
      }
      ASSERT_TRUE(PumpUntil(*wx_, [&] { return d.m_listDocuments->GetItemCount() == c.rowsAfter; }));
      ExpectPageControlsOff(d);
      // The picture stays until something drops it.
      EXPECT_FALSE(d.m_previewImage.IsNull());
      if (c.shot) ShootScreen(d, c.shot);

      ClickOnScreen(d, res::IDC_MAIN_NEXT_PAGE);
      EXPECT_EQ(wx_->ViewControl(d, IndexOf(d, res::IDC_MAIN_PAGE))->text, "1");
      ExpectPageControlsOff(d);
      d.InputEscape();
    });
    EXPECT_EQ(main.DoModal(), IDCANCEL);
  }
  EXPECT_EQ(test::FilesIn(program_.File("out")).size(), 2u);  // the two pages saved
}

// The tree's root and its boxes, in order.
std::vector<HTREEITEM> TreeItems(const CMainDlg& d) {
  std::vector<HTREEITEM> items;
  const HTREEITEM root = d.m_treeBoxes->GetRootItem();
  if (!root) return items;
  items.push_back(root);
  for (HTREEITEM box = d.m_treeBoxes->GetChildItem(root); box;
       box = d.m_treeBoxes->GetNextSiblingItem(box)) {
    items.push_back(box);
  }
  return items;
}

struct TreeCase {
  const char* name;
  const char* store;
  bool wider;  // a name is wider than the tree
  const char* shot;
};

class WxBoxTreeTest : public WxMainWindowTest, public ::testing::WithParamInterface<TreeCase> {
 protected:
  WxBoxTreeTest() { store_ = GetParam().store; }

  // Pixels along the tree's bottom edge on the screen that are neither its
  // white background nor its black border: those of a scroll bar.
  static int ScrollBarPixels(const CMainDlg& d) {
    const Rect tree = d.m_treeBoxes->GetWindowRect();
    const std::optional<ScreenPixels> band =
        GrabScreen(Rect{tree.x + 2, tree.bottom() - 14, tree.cx - 4, 12});
    if (!band) return -1;
    int count = 0;
    for (std::size_t i = 0; i + 2 < band->rgb.size(); i += 3) {
      const int luminance = (band->rgb[i] * 3 + band->rgb[i + 1] * 6 + band->rgb[i + 2]) / 10;
      if (luminance > 40 && luminance < 235) ++count;
    }
    return count;
  }

  // Whether the tree's bottom edge on the screen is its black line along
  // its whole width: the border goes round the scroll bar, as round the list.
  static bool BottomLineIsBlack(const CMainDlg& d) {
    const Rect tree = d.m_treeBoxes->GetWindowRect();
    const std::optional<ScreenPixels> line = GrabScreen(Rect{tree.x, tree.bottom() - 1, tree.cx, 1});
    if (!line || line->rgb.empty()) return false;
    for (std::size_t i = 0; i + 2 < line->rgb.size(); i += 3) {
      if (line->rgb[i] > 40 || line->rgb[i + 1] > 40 || line->rgb[i + 2] > 40) return false;
    }
    return true;
  }
};

// The horizontal scroll bar is on the screen when a name is wider than the
// tree, and not when none is; scrolled to its end it shows each name whole.
TEST_P(WxBoxTreeTest, HorizontalScrollBarReachesEveryWholeName) {
  const TreeCase& c = GetParam();
  CMainDlg main;
  wx_->OnDialogShown([&](CDialog&) {
    CMainDlg& d = main;
    const std::size_t treeIndex = IndexOf(d, res::IDC_MAIN_BOX_TREE);
    const std::vector<HTREEITEM> items = TreeItems(d);
    ASSERT_GE(items.size(), 3u);
    wx_->Pump(200ms);
    const std::optional<WxDriver::ScrollView> scroll = wx_->ViewTreeScroll(d, treeIndex);
    ASSERT_TRUE(scroll);
    EXPECT_EQ(scroll->range > scroll->page, c.wider);
    // On the screen, the bar's trough and thumb fill the bottom band.
    const auto barShown = [&] { return ScrollBarPixels(d) > d.m_treeBoxes->GetWindowRect().cx * 2; };
    PumpUntil(*wx_, [&] { return barShown() == c.wider; });
    EXPECT_EQ(barShown(), c.wider) << ScrollBarPixels(d);
    EXPECT_TRUE(BottomLineIsBlack(d));

    ASSERT_TRUE(wx_->ScrollTree(d, treeIndex, scroll->range - scroll->page));
    wx_->Pump(200ms);
    for (HTREEITEM item : items) {
      const std::string text = ToAnsi(d.m_treeBoxes->GetItemText(item));
      SCOPED_TRACE(text);
      const std::optional<Rect> label = wx_->TreeItemRect(d, treeIndex, item);
      ASSERT_TRUE(label);
      EXPECT_GE(label->cx, wx_->MeasureText(d, treeIndex, text)->cx);
      EXPECT_LE(label->right(), scroll->page);
    }
    if (c.shot) ShootScreen(d, c.shot);
    d.InputEscape();
  });
  EXPECT_EQ(main.DoModal(), IDCANCEL);
}

INSTANTIATE_TEST_SUITE_P(
    Names, WxBoxTreeTest,
    ::testing::Values(TreeCase{"Long", test::kLongBoxNamesStore, true, "wx-tree-long-name-scrollbar.png"},
                      TreeCase{"Short", kStore, false, nullptr}),
    [](const auto& info) { return info.param.name; });

class WxLongBoxNamesTest : public WxMainWindowTest {
 protected:
  WxLongBoxNamesTest() { store_ = test::kLongBoxNamesStore; }
};

// Clicks of the mouse on the screen, the pointer having rested on a cut
// name first: each selects the box under the pointer and lists it.
TEST_F(WxLongBoxNamesTest, EachClickSelectsTheBoxUnderThePointer) {
  CMainDlg main;
  wx_->OnDialogShown([&](CDialog&) {
    CMainDlg& d = main;
    const std::size_t treeIndex = IndexOf(d, res::IDC_MAIN_BOX_TREE);
    const std::vector<HTREEITEM> items = TreeItems(d);
    ASSERT_EQ(items.size(), 4u);
    const int rows[] = {0, 1, 2, 0};  // each box's documents
    // On the label of box |i|, |dx| pixels into it, on the screen.
    const auto pointOn = [&](std::size_t i, int dx) {
      const std::optional<Rect> label = wx_->TreeItemRect(d, treeIndex, items[i]);
      Point at = label ? Point{label->x + std::min(label->cx / 2, dx), label->y + label->cy / 2}
                       : Point{};
      d.m_treeBoxes->ClientToScreen(&at);
      return at;
    };
    // The move and the click reach the X server before the program has
    // seen either, as a quick hand's do.
    test::XInput hand(getenv("DISPLAY"));
    ASSERT_TRUE(hand.ok());
    const auto click = [&](std::size_t i) {
      const Point at = pointOn(i, 30);
      hand.Click(at.x, at.y);
      return PumpUntil(*wx_, [&] { return d.m_treeBoxes->GetSelectedItem() == items[i]; });
    };
    ASSERT_TRUE(click(1));
    // The pointer moved along the cut name, and resting there.
    const Point along = pointOn(1, 40);
    wxUIActionSimulator().MouseMove(along.x, along.y);
    wx_->Pump(1500ms);
    for (std::size_t i : {2, 3, 1, 2}) {
      SCOPED_TRACE(i);
      EXPECT_TRUE(click(i));
      EXPECT_EQ(d.m_listDocuments->GetItemCount(), rows[i]);
    }
    d.InputEscape();
  });
  EXPECT_EQ(main.DoModal(), IDCANCEL);
}

}  // namespace
}  // namespace tallow::ui::testing
