// The Advanced view against the simulated MFP: the box tree, the document
// list, the page buttons and field, the preview and its fit, the page range,
// protected boxes, deletion and Refresh, with what each asks of the device.
#include <string>
#include <vector>

#include "core/settings.h"
#include "main_window_fixture.h"
#include "platform/cursor.h"
#include "platform/ui/paint.h"

namespace tallow::app::testing {
namespace {

using namespace tallow::res;
using namespace tallow::ui;

// The preview frame's client area, one pixel in on every side, on the
// headless back end: 180 x 225 pixels.
constexpr Rect kPortraitFit{35, 1, 113, 225};  // a 100 x 200 page
constexpr Rect kLandscapeFit{1, 68, 180, 90};  // a 200 x 100 page

class AdvancedViewTest : public MainWindowTest, public ::testing::WithParamInterface<bool> {
 protected:
  bool Usb() const { return GetParam(); }
};

bool PageControlsEnabled(CDialog& d) {
  return d.GetDlgItem(IDC_MAIN_PREV_PAGE)->IsEnabled() &&
         d.GetDlgItem(IDC_MAIN_NEXT_PAGE)->IsEnabled() && d.GetDlgItem(IDC_MAIN_PAGE)->IsEnabled();
}

void TypeOver(CDialog& d, int id, WStringView text) {
  d.GetDlgItem(id)->SetSel(0, static_cast<DWORD>(-1));
  d.InputType(id, text);
}

// The listing in reverse table order with each row's table index, and a
// three-page document stepped through: every page shown is downloaded once,
// a step past either end downloads nothing, Enter in the page field goes to
// the page typed (held within the document) without pressing Save.
TEST_P(AdvancedViewTest, ListsABoxAndStepsThroughThePagesOfADocument) {
  StartDevice(Usb());
  Run([&](TestMainDlg& d) {
    EXPECT_EQ(d.m_treeBoxes->GetItemText(d.m_treeBoxes->GetRootItem()),
              Usb() ? u"USB" : u"127.0.0.1");
    ASSERT_EQ(OpenBox(d, u"Scans"), 3);
    EXPECT_EQ(TakeCount("LIST FOLDERID=00000001"), 1);
    CListCtrl& list = *d.m_listDocuments;
    struct Shown {
      const char16_t* name;
      const char16_t* stamp;
      const char16_t* pages;
      const char16_t* colour;
      LPARAM index;
    };
    const Shown rows[] = {
        {u"Blank", u"2026/12/03 09:00:00", u"0", u"Color", 2},
        {u"Landscape", u"2026/12/02 09:00:00", u"2", u"B/W", 1},
        {u"Portrait", u"2026/12/01 09:00:00", u"3", u"Color", 0},
    };
    for (int row = 0; row < 3; ++row) {
      SCOPED_TRACE(row);
      EXPECT_EQ(list.GetItemText(row, 0), rows[row].name);
      EXPECT_EQ(list.GetItemText(row, 1), rows[row].stamp);
      EXPECT_EQ(list.GetItemText(row, 2), rows[row].pages);
      EXPECT_EQ(list.GetItemText(row, 3), rows[row].colour);
      EXPECT_EQ(list.GetItemData(row), rows[row].index);
      EXPECT_EQ(list.GetItemImage(row), 3);
    }
    EXPECT_EQ(list.GetSelectedCount(), 0);

    d.InputClick(IDC_MAIN_PREVIEW);  // nothing selected: nothing to show
    EXPECT_TRUE(TakePagesAsked().empty());
    list.InputClick(kRowPortrait, false);
    EXPECT_EQ(d.GetDlgItemText(IDC_MAIN_PAGE_COUNT), u"3page(s)");
    EXPECT_EQ(d.GetDlgItemText(IDC_MAIN_PAGE), u"1");
    EXPECT_TRUE(PageControlsEnabled(d));
    EXPECT_EQ(TakePagesAsked(), std::vector<int>{1});
    EXPECT_EQ(d.m_previewImage.GetWidth(), 100);
    EXPECT_EQ(d.m_previewImage.GetHeight(), 200);
    EXPECT_EQ(d.m_previewRect, kPortraitFit);
    ui.RunPosted();  // the paint
    const std::vector<DrawOp>& ops = d.GetDlgItem(IDC_MAIN_PREVIEW_FRAME)->GetSurface().Ops();
    ASSERT_FALSE(ops.empty());
    EXPECT_EQ(ops.back().kind, DrawOp::Kind::kImage);
    EXPECT_EQ(ops.back().dest, kPortraitFit);
    EXPECT_EQ(ops.back().src, Rect(0, 0, 100, 200));
    EXPECT_EQ(ops.back().stretchMode, HALFTONE);

    struct Step {
      int button;
      const char16_t* page;
      std::vector<int> asked;
    };
    const Step steps[] = {
        {IDC_MAIN_NEXT_PAGE, u"2", {2}}, {IDC_MAIN_NEXT_PAGE, u"3", {3}},
        {IDC_MAIN_NEXT_PAGE, u"3", {}},  {IDC_MAIN_PREV_PAGE, u"2", {2}},
        {IDC_MAIN_PREV_PAGE, u"1", {1}}, {IDC_MAIN_PREV_PAGE, u"1", {}},
    };
    for (const Step& s : steps) {
      d.InputClick(s.button);
      EXPECT_EQ(d.GetDlgItemText(IDC_MAIN_PAGE), s.page);
      EXPECT_EQ(TakePagesAsked(), s.asked);
    }

    TypeOver(d, IDC_MAIN_PAGE, u"99");
    d.InputEnter();
    EXPECT_EQ(d.GetDlgItemText(IDC_MAIN_PAGE), u"3");
    EXPECT_EQ(TakePagesAsked(), std::vector<int>{3});
    EXPECT_EQ(d.okPressed, 0);
    EXPECT_FALSE(d.IsEnded());

    // An emptied page field gets the page back when it is left.
    d.GetDlgItem(IDC_MAIN_PAGE)->SetText(u"");
    d.GetDlgItem(IDC_MAIN_PREVIEW)->SetFocus();
    EXPECT_EQ(d.GetDlgItemText(IDC_MAIN_PAGE), u"3");
    TakePagesAsked();

    list.InputClick(kRowLandscape, false);
    EXPECT_EQ(d.GetDlgItemText(IDC_MAIN_PAGE_COUNT), u"2page(s)");
    EXPECT_EQ(TakePagesAsked(), std::vector<int>{1});
    EXPECT_EQ(d.m_previewRect, kLandscapeFit);

    // A document without pages asks for none, and shows nothing.
    list.InputClick(kRowBlank, false);
    EXPECT_EQ(d.GetDlgItemText(IDC_MAIN_PAGE_COUNT), u"0page(s)");
    EXPECT_TRUE(d.m_previewImage.IsNull());
    for (int button : {IDC_MAIN_NEXT_PAGE, IDC_MAIN_PREV_PAGE}) d.InputClick(button);
    EXPECT_TRUE(TakePagesAsked().empty());
    EXPECT_TRUE(TakeMessages().empty());
    EXPECT_EQ(d.GetDlgItem(IDC_MAIN_PREVIEW)->GetCheck(), BST_CHECKED);

    // A lost selection takes the page controls, the label and the picture.
    list.InputClick(kRowPortrait, false);
    list.InputClick(-1, false);
    EXPECT_FALSE(PageControlsEnabled(d));
    EXPECT_EQ(d.GetDlgItemText(IDC_MAIN_PAGE_COUNT), u"");
    EXPECT_TRUE(d.m_previewImage.IsNull());
  });
}

// The tree's keys are those of the channel in use; a protected box lists
// with the one remembered password, else after the password dialog.
TEST_P(AdvancedViewTest, ProtectedBoxTakesTheRememberedPasswordOrAsksForIt) {
  struct Case {
    const char* name;
    PasswordInfo remembered;
    const char16_t* typed;  // into the password dialog; null: cancelled
    int dialogs;
    int rows;
    const char* request;  // the listing's, if any
  };
  const Case cases[] = {
      {"remembered", {u"1234", TRUE}, nullptr, 0, 1, "LIST PASSWORD=1234 FOLDERID=00000002"},
      {"typed", {u"", FALSE}, u"1234", 1, 1, "LIST PASSWORD=1234 FOLDERID=00000002"},
      {"cancelled", {u"", FALSE}, nullptr, 1, 0, nullptr},
  };
  StartDevice(Usb());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetPasswordInfo(c.remembered);
    int dialogs = 0;
    onOtherDialog_ = [&](CDialog& p) {
      ++dialogs;
      ASSERT_EQ(p.TemplateId(), IDD_PASSWORD);
      if (!c.typed) return p.InputEscape();
      p.InputType(IDC_PASSWORD_EDIT, c.typed);
      p.InputClick(IDC_PASSWORD_OK);
    };
    Run([&](TestMainDlg& d) {
      TakeLog();
      EXPECT_EQ(OpenBox(d, u"Locked"), c.rows);
      EXPECT_EQ(d.m_treeBoxes->GetItemText(d.m_treeBoxes->GetSelectedItem()), u"Locked");
      const std::vector<std::string> log = TakeLog();
      EXPECT_EQ(log.size(), c.request ? 1u : 0u);
      if (c.request && !log.empty()) {
        EXPECT_NE(log[0].find(c.request), std::string::npos) << log[0];
      }
      EXPECT_TRUE(TakeMessages().empty());
    });
    EXPECT_EQ(dialogs, c.dialogs);
  }
}

// The device refuses a remembered password: 807, the password is no longer
// remembered, and the next click asks for it.
TEST_P(AdvancedViewTest, RefusedRememberedPasswordIsDroppedAndAskedForNextTime) {
  StartDevice(Usb());
  SetPasswordInfo({u"9999", TRUE});
  int dialogs = 0;
  onOtherDialog_ = [&](CDialog& p) {
    ++dialogs;
    p.InputEscape();
  };
  Run([&](TestMainDlg& d) {
    EXPECT_EQ(OpenBox(d, u"Locked"), 0);
    EXPECT_EQ(TakeMessages(), std::vector<WString>{u"Authentication failed. (Error Code: 807)"});
    EXPECT_EQ(GetPasswordInfo().savePassword, FALSE);
    EXPECT_EQ(dialogs, 0);
    OpenBox(d, u"Locked");
    EXPECT_EQ(dialogs, 1);
  });
}

// A settings file that remembers a password that is none (edited by hand,
// or damaged): a protected box asks for the password as on a first use
// instead of listing with an empty one.
TEST_P(AdvancedViewTest, StoredPasswordThatIsNoneIsAskedFor) {
  for (const char* stored : {"abcd", "", "0"}) {
    SCOPED_TRACE(stored);
    StartDevice(Usb());
    StartUpWithStoredPassword(stored);
    int dialogs = 0;
    onOtherDialog_ = TypePassword(u"1234", &dialogs);
    Run([&](TestMainDlg& d) {
      TakeLog();
      EXPECT_EQ(OpenBox(d, u"Locked"), 1);
      EXPECT_EQ(dialogs, 1);
      EXPECT_TRUE(TakeMessages().empty());
      const std::vector<std::string> log = TakeLog();
      EXPECT_EQ(EmptyPasswordsIn(log), 0);
      EXPECT_EQ(CountIn(log, "PASSWORD=1234"), 1);
    });
  }
}

// A failed download unchecks Preview and leaves no picture.
TEST_P(AdvancedViewTest, FailedPreviewUnchecksPreview) {
  StartDevice(Usb());
  Run([&](TestMainDlg& d) {
    ASSERT_EQ(OpenBox(d, u"Scans"), 3);
    d.InputClick(IDC_MAIN_PREVIEW);
    d.m_listDocuments->InputClick(kRowPortrait, false);
    ASSERT_FALSE(d.m_previewImage.IsNull());
    sim_->SetFaults({Usb() ? "getfile code 334" : "loadimg status 500"});
    TakeMessages();
    d.InputClick(IDC_MAIN_NEXT_PAGE);
    EXPECT_EQ(TakeMessages(), std::vector<WString>{u"Unable to download the file."});
    EXPECT_EQ(ui.MessageBoxes().back().caption, u"Communication");
    EXPECT_EQ(d.GetDlgItem(IDC_MAIN_PREVIEW)->GetCheck(), BST_UNCHECKED);
    EXPECT_TRUE(d.m_previewImage.IsNull());
    TakeLog();
    d.InputClick(IDC_MAIN_NEXT_PAGE);  // Preview off: nothing downloaded
    EXPECT_TRUE(TakePagesAsked().empty());
  });
}

// Delete from the context menu: the document goes, the box is listed again
// and the list refilled with nothing selected, under one wait cursor.
TEST_P(AdvancedViewTest, DeleteFromTheContextMenuListsTheBoxAgain) {
  StartDevice(Usb());
  std::vector<WString> menuTexts;
  ui.OnPopupMenu([&](const CMenu& menu, Point, CDialog*) {
    for (const CMenu::Item& item : menu.Items()) menuTexts.push_back(item.text);
    return ID_DOCUMENT_DELETE;
  });
  Run([&](TestMainDlg& d) {
    ASSERT_EQ(OpenBox(d, u"Scans"), 3);
    CListCtrl& list = *d.m_listDocuments;
    list.InputClick(-1, true);  // no row: no menu
    EXPECT_EQ(ui.PopupMenusShown(), 0);
    list.InputClick(kRowPortrait, true);
    TakeLog();
    SetCursor(IDC_ARROW);
    const std::size_t cursorsBefore = ui.CursorsShown().size();
    ui.RunPosted();  // the command chosen
    const std::vector<HCURSOR> cursors = ui.CursorsShown();
    EXPECT_EQ(std::vector<HCURSOR>(cursors.begin() + cursorsBefore, cursors.end()),
              (std::vector<HCURSOR>{IDC_WAIT, IDC_ARROW}));
    EXPECT_EQ(menuTexts, std::vector<WString>{u"Delete"});
    const std::vector<std::string> log = TakeLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_NE(log[0].find("DELETE FILEID=000000A1"), std::string::npos) << log[0];
    EXPECT_NE(log[1].find("LIST FOLDERID=00000001"), std::string::npos) << log[1];
    ASSERT_EQ(list.GetItemCount(), 2);
    EXPECT_EQ(list.GetItemText(0, 0), u"Blank");
    EXPECT_EQ(list.GetItemText(1, 0), u"Landscape");
    EXPECT_EQ(list.GetSelectedCount(), 0);
    EXPECT_FALSE(PageControlsEnabled(d));
    EXPECT_EQ(d.GetDlgItemText(IDC_MAIN_PAGE_COUNT), u"");
  });
}

// The page field never shows a page 0: Next, Previous and a page typed
// keep page 1 for a document without pages, and with no document selected
// after a deletion (the commands given as the window's, since the greyed
// controls send none).
TEST_F(MainWindowTest, PageFieldNeverShowsPageZero) {
  StartDevice(false);
  ui.OnPopupMenu([](const CMenu&, Point, CDialog*) { return ID_DOCUMENT_DELETE; });
  Run([&](TestMainDlg& d) {
    ASSERT_EQ(OpenBox(d, u"Scans"), 3);
    CListCtrl& list = *d.m_listDocuments;
    const auto pagesShown = [&] {
      std::vector<WString> shown;
      for (int button : {IDC_MAIN_NEXT_PAGE, IDC_MAIN_PREV_PAGE}) {
        d.SendMessageW(WM_COMMAND, static_cast<WPARAM>(button));
        shown.push_back(d.GetDlgItemText(IDC_MAIN_PAGE));
      }
      d.SetDlgItemText(IDC_MAIN_PAGE, u"5");
      d.GoToPage();
      shown.push_back(d.GetDlgItemText(IDC_MAIN_PAGE));
      return shown;
    };
    const std::vector<WString> pageOne{u"1", u"1", u"1"};
    list.InputClick(kRowBlank, false);
    EXPECT_EQ(pagesShown(), pageOne);
    list.InputClick(kRowPortrait, true);
    ui.RunPosted();  // "Delete"
    ASSERT_EQ(list.GetItemCount(), 2);
    ASSERT_EQ(list.GetSelectedCount(), 0);
    EXPECT_EQ(pagesShown(), pageOne);
    EXPECT_TRUE(TakePagesAsked().empty());
  });
}

INSTANTIATE_TEST_SUITE_P(BothChannels, AdvancedViewTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Usb" : "Network"; });

// A deletion that fails changes nothing; a listing after it that fails
// empties the list, whose rows would name documents the channel's table no
// longer holds.
TEST_F(MainWindowTest, FailedDeletionOrListingAfterIt) {
  struct Case {
    const char* fault;
    const char16_t* message;
    int rows;
    BOOL passwordKept;
  };
  const Case cases[] = {
      {"delete code 801", u"Unable to connect to the scanner.", 3, TRUE},
      {"list-docs code 802", u"Unable to connect to the scanner.", 0, TRUE},
      {"list-docs drop", u"Unable to connect to the scanner.", 0, TRUE},
      {"list-docs code 807", u"Authentication failed. (Error Code: 807)", 0, FALSE},
  };
  ui.OnPopupMenu([](const CMenu&, Point, CDialog*) { return ID_DOCUMENT_DELETE; });
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    StartDevice(false);
    SetPasswordInfo({u"1234", TRUE});
    Run([&](TestMainDlg& d) {
      ASSERT_EQ(OpenBox(d, u"Scans"), 3);
      d.m_listDocuments->InputClick(kRowLandscape, true);
      sim_->SetFaults({c.fault});
      TakeMessages();
      ui.RunPosted();
      EXPECT_EQ(TakeMessages(), std::vector<WString>{c.message});
      EXPECT_EQ(d.m_listDocuments->GetItemCount(), c.rows);
      EXPECT_EQ(GetPasswordInfo().savePassword, c.passwordKept);
      if (c.rows > 0) return;
      // What a row kept would have named is not there: nothing is shown,
      // nothing asked of the device.
      TakeLog();
      d.m_bPreview = TRUE;
      d.ShowPreview(kRowLandscape);
      EXPECT_TRUE(d.m_previewImage.IsNull());
      EXPECT_TRUE(TakeLog().empty());
      EXPECT_TRUE(TakeMessages().empty());
    });
  }
}

// Clicking empty space in the tree or the root empties the list and asks the
// device nothing; a box is listed.
TEST_F(MainWindowTest, TreeClicksOnEmptySpaceTheRootAndABox) {
  struct Case {
    const char* name;
    const char16_t* box;  // null: the root; empty: empty space
    bool selected;
    int requests;
  };
  const Case cases[] = {
      {"empty space", u"", false, 0},
      {"root", nullptr, true, 0},
      {"empty box", u"Empty", true, 1},
  };
  StartDevice(false);
  Run([&](TestMainDlg& d) {
    CTreeCtrl& tree = *d.m_treeBoxes;
    for (const Case& c : cases) {
      SCOPED_TRACE(c.name);
      ASSERT_EQ(OpenBox(d, u"Scans"), 3);
      TakeLog();
      HTREEITEM target = c.box == nullptr ? tree.GetRootItem() : BoxItem(tree, c.box);
      ClickTree(tree, target);
      EXPECT_EQ(tree.GetSelectedItem(), c.selected ? target : nullptr);
      EXPECT_EQ(d.m_listDocuments->GetItemCount(), 0);
      EXPECT_EQ(TakeLog().size(), static_cast<std::size_t>(c.requests));
      EXPECT_TRUE(TakeMessages().empty());
    }
  });
}

// "Pages" sets both range fields to 1 with their spinners, also when chosen
// again; the other two choices disable them.
TEST_F(MainWindowTest, PageRangeRadios) {
  Run([&](TestMainDlg& d) {
    const int fields[] = {IDC_MAIN_PAGE_FROM, IDC_MAIN_PAGE_TO, IDC_MAIN_PAGE_FROM_SPIN,
                          IDC_MAIN_PAGE_TO_SPIN};
    struct Case {
      int radio;
      int range;
      bool enabled;
    };
    for (const Case& c :
         {Case{IDC_MAIN_RANGE_PAGES, kRangePages, true},
          Case{IDC_MAIN_RANGE_PAGES, kRangePages, true}, Case{IDC_MAIN_RANGE_ALL, kRangeAll, false},
          Case{IDC_MAIN_RANGE_PAGES, kRangePages, true},
          Case{IDC_MAIN_RANGE_CURRENT, kRangeCurrentPage, false}}) {
      SCOPED_TRACE(c.radio);
      d.InputClick(c.radio);
      EXPECT_EQ(d.m_nPageRange, c.range);
      for (int id : fields) EXPECT_EQ(d.GetDlgItem(id)->IsEnabled(), c.enabled) << id;
      if (!c.enabled) continue;
      EXPECT_EQ(d.GetDlgItemText(IDC_MAIN_PAGE_FROM), u"1");
      EXPECT_EQ(d.GetDlgItemText(IDC_MAIN_PAGE_TO), u"1");
      EXPECT_EQ(d.m_strPageFrom, u"1");
      EXPECT_EQ(d.m_strPageTo, u"1");
      TypeOver(d, IDC_MAIN_PAGE_FROM, u"5");
      TypeOver(d, IDC_MAIN_PAGE_TO, u"7");
    }
  });
}

// Refresh lists the boxes anew: without a device address it says so; a
// device that does not answer leaves the tree empty; one that answers with
// a failing code gives the root alone, without a message.
TEST_F(MainWindowTest, RefreshFromTheDevice) {
  struct Case {
    const char* name;
    bool usb;
    bool address;
    const char* fault;  // null: none
    std::vector<WString> messages;
    UINT items;
  };
  const Case cases[] = {
      {"no network address", false, false, nullptr, {u"No Device Selected."}, 0},
      {"no USB device", true, false, nullptr, {u"No Device Selected."}, 0},
      {"silent", false, true, "list-boxes drop", {u"Unable to connect to the scanner."}, 0},
      {"failing code", false, true, "list-boxes code 801", {}, 1},
      {"answering over USB", true, true, nullptr, {}, 4},
      {"answering", false, true, nullptr, {}, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StartDevice(c.usb);
    MFPInfo mfp = GetMFPInfo();
    if (!c.address) (c.usb ? mfp.deviceInternalName : mfp.IPv4Address).clear();
    SetMFPInfo(mfp);
    Run([&](TestMainDlg& d) {
      ASSERT_EQ(d.m_treeBoxes->GetCount(), 4u);
      if (c.address) {
        ASSERT_EQ(OpenBox(d, u"Scans"), 3);
      }
      if (c.fault) sim_->SetFaults({c.fault});
      TakeMessages();
      d.InputClick(IDC_MAIN_REFRESH);
      EXPECT_EQ(TakeMessages(), c.messages);
      if (!c.messages.empty()) {
        const MessageBoxRecord& box = ui.MessageBoxes().back();
        EXPECT_EQ(box.caption, c.address ? u"Communication" : u"Select MFP");
        EXPECT_EQ(box.type, static_cast<UINT>(MB_ICONERROR));
      }
      EXPECT_EQ(d.m_treeBoxes->GetCount(), c.items);
      EXPECT_EQ(d.m_listDocuments->GetItemCount(), 0);
      if (c.items == 4) {
        EXPECT_EQ(OpenBox(d, u"Scans"), 3);
      }
    });
  }
}

TEST(FitPreviewRect, AsLargeAsFitsCentredTheOtherWay) {
  struct Case {
    int areaWidth, areaHeight, pictureWidth, pictureHeight;
    Rect expected;
  };
  const Case cases[] = {
      {100, 120, 200, 100, {1, 36, 100, 50}},     // landscape
      {120, 100, 100, 200, {36, 1, 50, 100}},     // portrait
      {100, 120, 50, 50, {1, 11, 100, 100}},      // square counts as landscape
      {180, 225, 1654, 2339, {12, 1, 159, 225}},  // A4 in the window's frame
      {100, 120, 1000, 1, {1, 61, 100, 0}},       // a hairline
      {100, 120, 0, 100, {}},                     // no picture
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FitPreviewRect(c.areaWidth, c.areaHeight, c.pictureWidth, c.pictureHeight),
              c.expected)
        << c.pictureWidth << " x " << c.pictureHeight;
  }
}

}  // namespace
}  // namespace tallow::app::testing
