#include "app/dialogs/basic_setting_dlg.h"

#include <filesystem>
#include <optional>
#include <string>

#include "app_fixture.h"
#include "support/temp_dir.h"

namespace tallow::app::testing {
namespace {

using namespace tallow::res;
using namespace tallow::ui;
using tallow::test::TempDir;

const WString kTooDeep = u"The path is too deep.";
const WString kNoFolder = u"The specified folder does not exist.";
const WString kNotKept = u"Unable to access folder.";

class BasicSettingDlgTest : public AppDialogTest {
 protected:
  void SetUp() override {
    AppDialogTest::SetUp();
    current_.machineName = u"Office MFP";
    current_.boxIndex = 2;
    current_.folderPath = dir_.Wide();
    current_.ColorFormat = 1;
    current_.MonoFormat = 0;
    current_.DeleteFile = 1;
    current_.SimpleMode = 0;
    SetSettingInfo(current_);
  }
  void TearDown() override { SetSettingInfo(SettingInfo{}); }

  int Run(std::function<void(CDialog&)> act, const WStringList& boxes = kBoxes) {
    ui.OnDialog(std::move(act));
    return RunBasicSettingDlg(settings_, nullptr, boxes);
  }
  static CComboBox* Combo(CDialog& d) {
    return dynamic_cast<CComboBox*>(d.GetDlgItem(IDC_SETTING_BOX));
  }
  static std::vector<WString> ComboRows(CDialog& d) {
    std::vector<WString> rows;
    for (int i = 0; i < Combo(d)->GetCount(); ++i) rows.push_back(Combo(d)->GetLBText(i));
    return rows;
  }
  static int Checked(CDialog& d, int id) { return d.GetDlgItem(id)->GetCheck(); }
  // An existing folder below the scratch folder whose path is |length| long.
  WString FolderOfLength(std::size_t length) const {
    std::string path = dir_.Path();
    // Whole steps of 100 while more than one step and a "/d" are left.
    while (length - path.size() > 101) path += "/" + std::string(99, 'd');
    path += "/" + std::string(length - path.size() - 1, 'd');
    std::filesystem::create_directories(path);
    EXPECT_EQ(path.size(), length);
    return FromAnsi(path);
  }
  // An existing folder below the scratch folder named |name|.
  WString FolderNamed(const std::string& name) const {
    std::filesystem::create_directories(dir_.File(name));
    return dir_.Wide(name);
  }
  static void EqualRecords(const SettingInfo& a, const SettingInfo& b) {
    EXPECT_EQ(a.machineName, b.machineName);
    EXPECT_EQ(a.boxIndex, b.boxIndex);
    EXPECT_EQ(a.folderPath, b.folderPath);
    EXPECT_EQ(a.ColorFormat, b.ColorFormat);
    EXPECT_EQ(a.MonoFormat, b.MonoFormat);
    EXPECT_EQ(a.DeleteFile, b.DeleteFile);
    EXPECT_EQ(a.SimpleMode, b.SimpleMode);
  }

  // The root first, then the boxes in the MFP's order, which is not sorted.
  inline static const WStringList kBoxes = {u"Front office", u"Scans", u"Archive", u"Mail"};
  TempDir dir_;
  SettingInfo current_;
  AppSettings settings_;
};

TEST_F(BasicSettingDlgTest, OpensWithItsTextsAndTheCurrentRecord) {
  EXPECT_EQ(Run([&](CDialog& d) {
              EXPECT_EQ(d.GetWindowText(), u"Basic Settings");
              EXPECT_EQ(d.GetDlgItemText(IDC_SETTING_ERASE_GROUP), u"Erase document(s)");
              EXPECT_EQ(d.GetDlgItemText(IDC_SETTING_BROWSE), u"Browse");
              // The device name is shown in a static: it cannot be edited.
              EXPECT_EQ(d.GetDlgItem(IDC_SETTING_DEVICE_NAME)->Kind(), ControlKind::kStatic);
              EXPECT_EQ(d.GetDlgItemText(IDC_SETTING_DEVICE_NAME), u"Office MFP");
              EXPECT_EQ(d.GetDlgItemText(IDC_SETTING_FOLDER), dir_.Wide());
              EXPECT_EQ(d.GetDlgItem(IDC_SETTING_FOLDER)->GetLimitText(), 240);
              EXPECT_EQ(ComboRows(d), (std::vector<WString>{u"Scans", u"Archive", u"Mail"}));
              EXPECT_EQ(Combo(d)->GetCurSel(), 1);
              EXPECT_EQ(Checked(d, IDC_SETTING_COLOR_JPEG), BST_CHECKED);
              EXPECT_EQ(Checked(d, IDC_SETTING_COLOR_PDF), BST_UNCHECKED);
              EXPECT_EQ(Checked(d, IDC_SETTING_MONO_PDF), BST_CHECKED);
              EXPECT_EQ(Checked(d, IDC_SETTING_DELETE_AFTER_SAVE), BST_CHECKED);
              EXPECT_EQ(Checked(d, IDC_SETTING_MODE_ADVANCED), BST_CHECKED);
              d.InputClick(IDC_SETTING_OK);
            }),
            1);
  // OK with nothing changed writes the record back as it was.
  EqualRecords(GetSettingInfo(), current_);
  EqualRecords(settings_.GetSettingInfo(), current_);
}

// Row r is box r + 1; 0 also selects the first row, an index beyond the
// list none, and OK without a selected row stores 1.
TEST_F(BasicSettingDlgTest, TheBoxIndexSelectsItsRowAndOkStoresTheRowChosen) {
  struct Case {
    std::uint16_t stored;
    WStringList boxes;
    int row;
    std::uint16_t kept;
  };
  const Case cases[] = {
      {0, kBoxes, 0, 1},  {1, kBoxes, 0, 1},  {3, kBoxes, 2, 3},
      {4, kBoxes, -1, 1}, {65535, kBoxes, -1, 1},
      {1, {u"Front office"}, -1, 1},  // only the root: no box names
      {2, {}, -1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.stored) + " of " + std::to_string(c.boxes.size()));
    SettingInfo stored = current_;
    stored.boxIndex = c.stored;
    SetSettingInfo(stored);
    EXPECT_EQ(Run(
                  [&](CDialog& d) {
                    EXPECT_EQ(Combo(d)->GetCount(),
                              c.boxes.empty() ? 0 : static_cast<int>(c.boxes.size()) - 1);
                    EXPECT_EQ(Combo(d)->GetCurSel(), c.row);
                    d.InputClick(IDC_SETTING_OK);
                  },
                  c.boxes),
              1);
    EXPECT_EQ(GetSettingInfo().boxIndex, c.kept);
  }
  // A row the user picks.
  EXPECT_EQ(Run([&](CDialog& d) {
              Combo(d)->InputSelect(2);
              d.InputClick(IDC_SETTING_OK);
            }),
            1);
  EXPECT_EQ(GetSettingInfo().boxIndex, 3);
}

// The folder must exist, hold at most 240 characters, and come back from
// the settings file as it is.
TEST_F(BasicSettingDlgTest, TheFolderMustExistFitAndBeKeptByTheSettingsFile) {
  const std::string file = dir_.Write("file.txt", "x");
  struct Case {
    const char* what;
    WString folder;
    std::optional<WString> message;  // none: accepted
  };
  const Case cases[] = {
      {"240 characters", FolderOfLength(240), std::nullopt},
      {"241 characters", FolderOfLength(241), kTooDeep},
      {"missing", dir_.Wide("missing"), kNoFolder},
      {"a file", FromAnsi(file), kNoFolder},
      {"empty", u"", kNoFolder},
      {"a line break", FolderNamed("two\nlines"), kNotKept},
      {"a carriage return", FolderNamed("cr\r"), kNotKept},
      {"a blank at its end", FolderNamed("blank "), kNotKept},
      {"blanks inside", FolderNamed("a\tb c"), std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // Longer than the edit takes: only the record (or Browse) gives such a text.
    SettingInfo stored = current_;
    stored.folderPath = c.folder;
    stored.SimpleMode = 1;
    SetSettingInfo(stored);
    const std::size_t boxes = ui.MessageBoxes().size();
    EXPECT_EQ(Run([&](CDialog& d) {
                EXPECT_EQ(d.GetDlgItemText(IDC_SETTING_FOLDER), c.folder);
                d.InputClick(IDC_SETTING_MODE_ADVANCED);
                d.InputClick(IDC_SETTING_OK);
                if (c.message) {
                  EXPECT_FALSE(d.IsEnded());
                  d.InputClick(IDC_SETTING_CANCEL);
                }
              }),
              c.message ? 0 : 1);
    if (c.message) {
      ASSERT_EQ(ui.MessageBoxes().size(), boxes + 1);
      EXPECT_EQ(ui.MessageBoxes().back().text, *c.message);
      EXPECT_EQ(ui.MessageBoxes().back().caption, u"Basic Settings");
      EXPECT_EQ(ui.MessageBoxes().back().type, MB_ICONERROR | MB_OK);
      EXPECT_EQ(GetSettingInfo().SimpleMode, 1);  // nothing published
    } else {
      EXPECT_EQ(GetSettingInfo().folderPath, c.folder);
      EXPECT_EQ(GetSettingInfo().SimpleMode, 0);
    }
  }
}

TEST_F(BasicSettingDlgTest, BrowseTakesTheFolderAndKeepsTheOtherChanges) {
  const WString chosen = FolderOfLength(dir_.Path().size() + 8);
  HWND owner = nullptr;
  ui.OnFolderDialog([&](HWND o, WString* folder) {
    owner = o;
    *folder = chosen;
    return IDOK;
  });
  EXPECT_EQ(Run([&](CDialog& d) {
              d.InputClick(IDC_SETTING_COLOR_PDF);
              d.InputClick(IDC_SETTING_MONO_TIFF);
              d.InputClick(IDC_SETTING_DELETE_AFTER_SAVE);
              d.InputClick(IDC_SETTING_MODE_SIMPLE);
              Combo(d)->InputSelect(0);
              d.InputClick(IDC_SETTING_BROWSE);
              EXPECT_EQ(owner, d.GetSafeHwnd());
              EXPECT_EQ(d.GetDlgItemText(IDC_SETTING_FOLDER), chosen);
              EXPECT_EQ(Checked(d, IDC_SETTING_COLOR_PDF), BST_CHECKED);
              EXPECT_EQ(Checked(d, IDC_SETTING_MONO_TIFF), BST_CHECKED);
              EXPECT_EQ(Checked(d, IDC_SETTING_DELETE_AFTER_SAVE), BST_UNCHECKED);
              EXPECT_EQ(Checked(d, IDC_SETTING_MODE_SIMPLE), BST_CHECKED);
              EXPECT_EQ(Combo(d)->GetCurSel(), 0);
              d.InputClick(IDC_SETTING_OK);
            }),
            1);
  const SettingInfo published = GetSettingInfo();
  EXPECT_EQ(published.folderPath, chosen);
  EXPECT_EQ(published.ColorFormat, 0);
  EXPECT_EQ(published.MonoFormat, 1);
  EXPECT_EQ(published.DeleteFile, 0);
  EXPECT_EQ(published.SimpleMode, 1);
  EXPECT_EQ(published.boxIndex, 1);
  EXPECT_EQ(published.machineName, u"Office MFP");
}

// Browse is not bound by the edit's limit; a cancelled browser changes
// nothing, a path that cannot be had is reported with its error code, and
// one the settings file could not keep is refused.
TEST_F(BasicSettingDlgTest, BrowseResultsThatChangeNothingOrCannotBeSaved) {
  struct Case {
    const char* what;
    int answer;
    WString folder;
    WString shown;  // the folder edit afterwards
    std::vector<WString> messages;
    int result;  // of OK after it
  };
  const WString deep = FolderOfLength(300);
  const Case cases[] = {
      {"cancelled", IDCANCEL, u"", dir_.Wide(), {}, 1},
      {"no path", IDOK, u"", dir_.Wide(), {u"Path/File access error(8)"}, 1},
      {"too deep", IDOK, deep, deep, {kTooDeep}, 0},
      // The settings file could not hold it: not taken.
      {"a line break", IDOK, FolderNamed("two\nlines"), dir_.Wide(), {kNotKept}, 1},
      {"a blank at its end", IDOK, FolderNamed("blank "), dir_.Wide(), {kNotKept}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ui.OnFolderDialog([&](HWND, WString* folder) {
      *folder = c.folder;
      return c.answer;
    });
    const std::size_t boxes = ui.MessageBoxes().size();
    EXPECT_EQ(Run([&](CDialog& d) {
                d.InputClick(IDC_SETTING_MODE_SIMPLE);
                d.InputClick(IDC_SETTING_BROWSE);
                EXPECT_EQ(d.GetDlgItemText(IDC_SETTING_FOLDER), c.shown);
                EXPECT_EQ(Checked(d, IDC_SETTING_MODE_SIMPLE), BST_CHECKED);
                d.InputClick(IDC_SETTING_OK);
                if (!d.IsEnded()) d.InputEscape();
              }),
              c.result);
    std::vector<WString> shown;
    for (std::size_t i = boxes; i < ui.MessageBoxes().size(); ++i) {
      shown.push_back(ui.MessageBoxes()[i].text);
      EXPECT_EQ(ui.MessageBoxes()[i].caption, u"Basic Settings");
    }
    EXPECT_EQ(shown, c.messages);
    SetSettingInfo(current_);
  }
}

TEST_F(BasicSettingDlgTest, CancelEscAndTheCloseBoxLeaveTheCurrentRecord) {
  const std::function<void(CDialog&)> ways[] = {
      [](CDialog& d) { d.InputClick(IDC_SETTING_CANCEL); },
      [](CDialog& d) { d.InputEscape(); },
      [](CDialog& d) { d.InputCloseBox(); },
  };
  for (const auto& leave : ways) {
    EXPECT_EQ(Run([&](CDialog& d) {
                d.InputClick(IDC_SETTING_COLOR_PDF);
                d.InputClick(IDC_SETTING_DELETE_AFTER_SAVE);
                d.InputClick(IDC_SETTING_MODE_SIMPLE);
                Combo(d)->InputSelect(2);
                leave(d);
              }),
              0);
    EqualRecords(GetSettingInfo(), current_);
  }
}

}  // namespace
}  // namespace tallow::app::testing
