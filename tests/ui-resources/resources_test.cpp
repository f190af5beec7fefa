// Checks on the resource data itself: the faults a back end would only show
// as a missing control, a dead radio group or a garbled icon, and a text
// table that names a control its dialog lacks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "core/dialog_texts.h"
#include "platform/ui/dialog_template.h"
#include "res/resource_ids.h"

namespace tallow::res {
namespace {

using namespace tallow::ui;

struct DialogCase {
  int id;
  const char* name;
  // False where controls of different modes share the same space.
  bool oneLayout;
  // True where WS_GROUP on the control after each radio group ends it.
  bool radioGroupsClosed;
};

constexpr DialogCase kDialogs[] = {
    {IDD_ABOUTBOX, "About", true, true},
    {IDD_SELECT_MFP, "Select MFP", true, true},
    {IDD_PASSWORD, "Password", true, true},
    {IDD_BASIC_SETTING, "Basic Settings", true, true},
    {IDD_PROGRESS, "Progress", true, true},
    {IDD_MAIN, "Main", false, false},
};

const DialogTemplate& Template(const DialogCase& c) {
  const DialogTemplate* t = FindDialogTemplate(c.id);
  if (t == nullptr) throw std::runtime_error(std::string("no template ") + c.name);
  return *t;
}

bool HasStyle(const ControlTemplate& control, DWORD style) {
  return (control.style & style) == style;
}

// What a closed drop-down list shows; the rest of its rectangle is the list.
Rect VisibleRect(const ControlTemplate& control) {
  Rect r = control.rect;
  if (control.kind == ControlKind::kComboBox) r.cy = std::min(r.cy, 14);
  return r;
}

bool Inside(const Rect& inner, const Rect& outer) {
  return inner.x >= outer.x && inner.y >= outer.y && inner.right() <= outer.right() &&
         inner.bottom() <= outer.bottom();
}

bool Overlap(const Rect& a, const Rect& b) {
  return a.x < b.right() && b.x < a.right() && a.y < b.bottom() && b.y < a.bottom();
}

TEST(DialogTemplates, EachIsFoundByItsIdAndUnknownIdsAreNot) {
  for (const DialogCase& c : kDialogs) {
    SCOPED_TRACE(c.name);
    const DialogTemplate* t = FindDialogTemplate(c.id);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->id, c.id);
    EXPECT_FALSE(t->controls.empty());
  }
  for (int id : {0, -1, 101, 201, 204, 208, 402}) {
    EXPECT_EQ(FindDialogTemplate(id), nullptr) << id;
  }
}

TEST(DialogTemplates, ControlIdsAreUniqueWithinADialog) {
  for (const DialogCase& c : kDialogs) {
    SCOPED_TRACE(c.name);
    std::set<int> seen;
    for (const ControlTemplate& control : Template(c).controls) {
      if (control.id == IDC_STATIC) continue;
      EXPECT_TRUE(seen.insert(control.id).second) << "id " << control.id << " twice";
    }
  }
}

TEST(DialogTemplates, EveryControlIsAVisibleChildInsideItsDialog) {
  for (const DialogCase& c : kDialogs) {
    SCOPED_TRACE(c.name);
    const DialogTemplate& t = Template(c);
    const Rect client{0, 0, t.rect.cx, t.rect.cy};
    for (const ControlTemplate& control : t.controls) {
      SCOPED_TRACE(control.id);
      EXPECT_TRUE(HasStyle(control, WS_CHILD | WS_VISIBLE));
      EXPECT_NE(control.text, nullptr);
      EXPECT_GT(control.rect.cx, 0);
      EXPECT_GT(control.rect.cy, 0);
      EXPECT_TRUE(Inside(control.rect, client));
    }
  }
}

TEST(DialogTemplates, StylesMatchTheControlKinds) {
  for (const DialogCase& c : kDialogs) {
    SCOPED_TRACE(c.name);
    int defaultButtons = 0;
    for (const ControlTemplate& control : Template(c).controls) {
      SCOPED_TRACE(control.id);
      const DWORD button = control.style & BS_TYPEMASK;
      switch (control.kind) {
        case ControlKind::kRadio: EXPECT_EQ(button, BS_AUTORADIOBUTTON); break;
        case ControlKind::kCheckBox: EXPECT_EQ(button, BS_AUTOCHECKBOX); break;
        case ControlKind::kGroupBox: EXPECT_EQ(button, BS_GROUPBOX); break;
        case ControlKind::kButton:
          EXPECT_TRUE(button == BS_PUSHBUTTON || button == BS_DEFPUSHBUTTON);
          if (button == BS_DEFPUSHBUTTON) ++defaultButtons;
          break;
        case ControlKind::kComboBox:
          // The rectangle is the closed box plus its list; a short one drops
          // down no list at all.
          EXPECT_GE(control.rect.cy, 50);
          break;
        default: break;
      }
    }
    EXPECT_LE(defaultButtons, 1);
  }
}

TEST(DialogTemplates, EachRadioGroupStartsWithGroupStyle) {
  for (const DialogCase& c : kDialogs) {
    SCOPED_TRACE(c.name);
    const auto controls = Template(c).controls;
    for (std::size_t i = 0; i < controls.size(); ++i) {
      const ControlTemplate& control = controls[i];
      if (control.kind != ControlKind::kRadio) continue;
      SCOPED_TRACE(control.id);
      const bool firstOfRun = i == 0 || controls[i - 1].kind != ControlKind::kRadio;
      // Without WS_GROUP a first radio joins the group before it; with it a
      // later radio splits its own group in two.
      EXPECT_EQ(HasStyle(control, WS_GROUP), firstOfRun);
      const bool hasNext = i + 1 < controls.size();
      if (c.radioGroupsClosed && hasNext && controls[i + 1].kind != ControlKind::kRadio) {
        EXPECT_TRUE(HasStyle(controls[i + 1], WS_GROUP)) << "not ended by " << controls[i + 1].id;
      }
    }
  }
}

TEST(DialogTemplates, ControlsOfOneLayoutOverlapOnlyInsideGroupBoxes) {
  for (const DialogCase& c : kDialogs) {
    if (!c.oneLayout) continue;
    SCOPED_TRACE(c.name);
    const auto controls = Template(c).controls;
    for (std::size_t i = 0; i < controls.size(); ++i) {
      for (std::size_t j = i + 1; j < controls.size(); ++j) {
        const Rect a = VisibleRect(controls[i]);
        const Rect b = VisibleRect(controls[j]);
        if (!Overlap(a, b)) continue;
        const bool contained =
            (controls[i].kind == ControlKind::kGroupBox && Inside(b, a)) ||
            (controls[j].kind == ControlKind::kGroupBox && Inside(a, b));
        EXPECT_TRUE(contained) << controls[i].id << " and " << controls[j].id << " overlap";
      }
    }
  }
}

TEST(DialogTemplates, ReferencedMenusAndIconsExist) {
  for (const DialogCase& c : kDialogs) {
    SCOPED_TRACE(c.name);
    const DialogTemplate& t = Template(c);
    if (t.menuId != 0) {
      EXPECT_NE(FindMenuTemplate(t.menuId), nullptr) << t.menuId;
    }
    for (const ControlTemplate& control : t.controls) {
      if (control.kind == ControlKind::kIcon) {
        EXPECT_NE(FindIconImage(control.resourceId), nullptr) << control.resourceId;
      }
    }
  }
  EXPECT_EQ(FindDialogTemplate(IDD_MAIN)->menuId, IDR_MAIN_MENU);
}

// The main window shows one of these sets and hides the other; a control in
// neither keeps its template visibility in both modes.
const std::vector<int> kSimpleModeControls = {
    IDC_SIMPLE_DOCUMENT_GROUP, IDC_SIMPLE_DEVICE_LABEL, IDC_SIMPLE_DEVICE_NAME,
    IDC_SIMPLE_BOX_LABEL, IDC_SIMPLE_BOX_NAME, IDC_SIMPLE_FILE_NUMBER_LABEL,
    IDC_SIMPLE_FILE_NUMBER, IDC_SIMPLE_DATE_TIME_LABEL, IDC_SIMPLE_DATE_TIME,
    IDC_SIMPLE_PAGES_LABEL, IDC_SIMPLE_PAGES, IDC_SIMPLE_COLOR_LABEL, IDC_SIMPLE_COLOR,
    IDC_SIMPLE_DESTINATION_GROUP, IDC_SIMPLE_FOLDER_LABEL, IDC_SIMPLE_FOLDER,
    IDC_SIMPLE_FORMAT_LABEL, IDC_SIMPLE_FORMAT, IDC_SIMPLE_SAVE, IDC_SIMPLE_EXIT};
const std::vector<int> kAdvancedModeControls = {
    IDC_MAIN_BOX_TREE, IDC_MAIN_DOCUMENT_LIST, IDC_MAIN_PREVIEW, IDC_MAIN_PREV_PAGE,
    IDC_MAIN_NEXT_PAGE, IDC_MAIN_PAGE, IDC_MAIN_RANGE_GROUP, IDC_MAIN_RANGE_ALL,
    IDC_MAIN_RANGE_CURRENT, IDC_MAIN_RANGE_PAGES, IDC_MAIN_PAGE_FROM, IDC_MAIN_PAGE_FROM_SPIN,
    IDC_MAIN_PAGE_TO, IDC_MAIN_PAGE_TO_SPIN, IDC_MAIN_ERASE_GROUP, IDC_MAIN_DELETE_AFTER_SAVE,
    IDC_MAIN_SAVE, IDC_MAIN_REFRESH, IDC_MAIN_EXIT, IDC_MAIN_PAGE_COUNT, IDC_MAIN_PREVIEW_FRAME};

TEST(MainTemplate, ModeTablesNameEveryControlButTheDash) {
  std::multiset<int> inTables(kSimpleModeControls.begin(), kSimpleModeControls.end());
  inTables.insert(kAdvancedModeControls.begin(), kAdvancedModeControls.end());

  std::multiset<int> inTemplate;
  int unnamed = 0;
  for (const ControlTemplate& control : FindDialogTemplate(IDD_MAIN)->controls) {
    if (control.id == IDC_STATIC) {
      ++unnamed;
      EXPECT_TRUE(std::u16string_view(control.text) == u"-");
    } else {
      inTemplate.insert(control.id);
    }
  }
  EXPECT_EQ(unnamed, 1);
  EXPECT_EQ(inTemplate, inTables);  // each id once, in exactly one table
}

// Answers that it has every control, and records those a text table names.
class AnyControls : public DialogWindow {
 public:
  void SetCaption(WStringView) override {}
  bool HasControl(int) const override { return true; }
  void SetControlText(int controlId, WStringView) override { named.push_back(controlId); }
  std::vector<int> named;
};

std::set<int> NamedControlsOf(int templateId) {
  std::set<int> ids;
  if (const DialogTemplate* t = FindDialogTemplate(templateId)) {
    for (const ControlTemplate& control : t->controls) {
      if (control.id != IDC_STATIC) ids.insert(control.id);
    }
  }
  return ids;
}

// At run time a control the dialog lacks is skipped without a word, so a
// wrong id in a table would only show as a text left untranslated; each of
// the main window's tables names only controls of its own mode.
TEST(ControlTextTables, NameOnlyControlsOfTheirDialog) {
  struct Case {
    const char* name;
    std::function<void(DialogWindow&)> apply;
    std::set<int> controls;
  };
  const Case cases[] = {
      {"About", SetAboutLanguageText, NamedControlsOf(IDD_ABOUTBOX)},
      {"Select MFP", SetSelectMfpDlgTexts, NamedControlsOf(IDD_SELECT_MFP)},
      {"Advanced Mode", SetAdvancedDlgTexts,
       {kAdvancedModeControls.begin(), kAdvancedModeControls.end()}},
      {"Simple Mode", SetSimpleDlgTexts, {kSimpleModeControls.begin(), kSimpleModeControls.end()}},
      {"Basic Settings", SetBasicSettingDlgTexts, NamedControlsOf(IDD_BASIC_SETTING)},
      {"Password", SetPasswordDlgTexts, NamedControlsOf(IDD_PASSWORD)},
      {"Progress", [](DialogWindow& d) { SetDlgItemTexts(kProgressDlgTexts, d); },
       NamedControlsOf(IDD_PROGRESS)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AnyControls dialog;
    c.apply(dialog);
    EXPECT_FALSE(dialog.named.empty());
    for (int id : dialog.named) EXPECT_EQ(c.controls.count(id), 1u) << "no control " << id;
  }
}

struct MenuCase {
  int menuId;
  std::size_t popup;
  std::vector<int> commands;
  std::vector<UINT> states;  // MF_CHECKED / MF_GRAYED of each command
};

TEST(Menus, PopupsHoldTheirCommandsInOrder) {
  const MenuCase cases[] = {
      {IDR_MAIN_MENU, 0, {ID_SETTINGS_SELECT_MFP, ID_SETTINGS_BASIC}, {0, 0}},
      {IDR_MAIN_MENU, 1, {ID_MODE_ADVANCED, ID_MODE_SIMPLE}, {MF_CHECKED | MF_GRAYED, 0}},
      {IDR_DOCUMENT_MENU, 0, {ID_DOCUMENT_DELETE}, {0}},
  };
  for (const MenuCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << "menu " << c.menuId << " popup " << c.popup);
    const MenuTemplate* menu = FindMenuTemplate(c.menuId);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->id, c.menuId);
    ASSERT_LT(c.popup, menu->items.size());
    const MenuItemTemplate& popup = menu->items[c.popup];
    EXPECT_NE(popup.flags & MF_POPUP, 0u);
    ASSERT_EQ(popup.items.size(), c.commands.size());
    for (std::size_t i = 0; i < c.commands.size(); ++i) {
      const MenuItemTemplate& item = popup.items[i];
      EXPECT_EQ(item.id, c.commands[i]);
      EXPECT_EQ(item.flags & (MF_CHECKED | MF_GRAYED), c.states[i]) << item.id;
      EXPECT_EQ(item.flags & (MF_POPUP | MF_SEPARATOR), 0u) << item.id;
      EXPECT_TRUE(item.items.empty()) << item.id;
      ASSERT_NE(item.text, nullptr);
      EXPECT_NE(item.text[0], u'\0') << item.id;
    }
  }
  EXPECT_EQ(FindMenuTemplate(IDR_MAIN_MENU)->items.size(), 2u);
  EXPECT_EQ(FindMenuTemplate(IDR_DOCUMENT_MENU)->items.size(), 1u);
  EXPECT_EQ(FindMenuTemplate(0), nullptr);
  EXPECT_EQ(FindMenuTemplate(IDD_MAIN), nullptr);
}

struct IconCase {
  int id;
  int size;
};

TEST(Icons, EachIsASquareOfItsSizeInAtLeastTwoColours) {
  const IconCase cases[] = {
      {IDI_APPLICATION_ICON, 32}, {IDI_DOCUMENT, 16},  {IDI_BOX, 16},       {IDI_BOX_SELECTED, 16},
      {IDI_ROOT, 16},             {IDI_PREV_PAGE, 16}, {IDI_NEXT_PAGE, 16},
  };
  for (const IconCase& c : cases) {
    SCOPED_TRACE(c.id);
    const IconImage* icon = FindIconImage(c.id);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->id, c.id);
    EXPECT_EQ(icon->size, c.size);
    ASSERT_EQ(icon->rows.size(), static_cast<std::size_t>(c.size));
    std::set<char> keys;
    for (const IconColour& colour : icon->palette) {
      EXPECT_TRUE(keys.insert(colour.key).second) << "key '" << colour.key << "' twice";
      EXPECT_NE(colour.argb >> 24, 0u) << "key '" << colour.key << "' is invisible";
    }
    std::set<char> used;
    for (const char* row : icon->rows) {
      ASSERT_NE(row, nullptr);
      EXPECT_EQ(std::strlen(row), static_cast<std::size_t>(c.size)) << row;
      for (const char* p = row; *p != '\0'; ++p) {
        if (keys.count(*p) != 0) used.insert(*p);
      }
    }
    EXPECT_GE(used.size(), 2u);
  }
  EXPECT_EQ(FindIconImage(0), nullptr);
  EXPECT_EQ(FindIconImage(300), nullptr);
}

}  // namespace
}  // namespace tallow::res
