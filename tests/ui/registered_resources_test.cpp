// The window layer holds no resource of its own: it finds dialogs, menus and
// icons only among the tables registered with it, here a test's own.
#include <cstdint>
#include <vector>

#include "platform/ui/icon.h"
#include "platform/ui/menu.h"
#include "ui_fixture.h"

namespace tallow::ui::testing {
namespace {

constexpr int kTestMenuId = 950;
constexpr int kTestCommand = 951;
constexpr int kTestIconId = 952;

constexpr MenuItemTemplate kTestCommands[] = {{kTestCommand, u"Go", MF_STRING, {}}};
constexpr MenuItemTemplate kTestMenuBar[] = {{0, u"File", MF_POPUP, kTestCommands}};
constexpr MenuTemplate kTestMenu = {kTestMenuId, kTestMenuBar};

// The sample dialog with the test's menu bar.
constexpr DialogTemplate kTestDialog = {
    kSampleTemplate.id, kSampleTemplate.rect, kSampleTemplate.style, 0, u"Registered",
    u"MS Shell Dlg", 8, kSampleControls, kTestMenuId};

constexpr std::uint32_t kRed = 0xFFFF0000u;
constexpr std::uint32_t kBlue = 0xFF0000FFu;
constexpr const char* kTestIconRows[] = {"rb", "b."};
constexpr IconColour kTestIconPalette[] = {{'r', kRed}, {'b', kBlue}};

constexpr const DialogTemplate* kTestDialogs[] = {&kTestDialog};
constexpr const MenuTemplate* kTestMenus[] = {&kTestMenu};
constexpr IconImage kTestIcons[] = {{kTestIconId, 2, kTestIconRows, kTestIconPalette}};
constexpr ResourceTables kTestResources = {kTestDialogs, kTestMenus, kTestIcons};

// The test's tables in place of the program's for one test.
class RegisteredResourcesTest : public UiTest {
 protected:
  void SetUp() override { program_ = RegisterResources(&kTestResources); }
  void TearDown() override { RegisterResources(program_); }
  const ResourceTables* program_ = nullptr;
};

TEST_F(RegisteredResourcesTest, DialogsMenusAndIconsComeOnlyFromTheRegisteredTables) {
  ui.OnDialog([](CDialog& d) {
    EXPECT_EQ(d.GetWindowText(), u"Registered");
    ASSERT_NE(d.GetMenu(), nullptr);
    EXPECT_EQ(d.GetMenu()->GetSubMenu(0)->GetMenuItemID(0), kTestCommand);
    d.InputClick(IDOK);
  });
  CDialog dialog(kTestDialog.id);
  EXPECT_EQ(dialog.DoModal(), IDOK);

  EXPECT_EQ(LoadIconW(kTestIconId), kTestIconId);
  EXPECT_EQ(RenderIcon(kTestIconId, 2), (std::vector<std::uint32_t>{kRed, kBlue, kBlue, 0}));

  // The program's own are out of sight meanwhile, and back afterwards.
  EXPECT_EQ(FindDialogTemplate(res::IDD_ABOUTBOX), nullptr);
  EXPECT_EQ(CMenu::Load(res::IDR_MAIN_MENU), nullptr);
  EXPECT_EQ(LoadIconW(res::IDI_APPLICATION_ICON), 0);
  EXPECT_EQ(RegisterResources(program_), &kTestResources);
  EXPECT_NE(FindDialogTemplate(res::IDD_ABOUTBOX), nullptr);
  EXPECT_EQ(FindDialogTemplate(kTestDialog.id), nullptr);
}

TEST_F(RegisteredResourcesTest, WithNoneRegisteredNothingIsFoundAndNoDialogOpens) {
  RegisterResources(nullptr);
  CDialog dialog(kTestDialog.id);
  EXPECT_EQ(dialog.DoModal(), kModalFailed);
  EXPECT_TRUE(ui.OpenedDialogs().empty());
  EXPECT_EQ(CMenu::Load(kTestMenuId), nullptr);
  EXPECT_EQ(LoadIconW(kTestIconId), 0);
  EXPECT_EQ(RenderIcon(kTestIconId, 2), (std::vector<std::uint32_t>(4, 0)));
}

}  // namespace
}  // namespace tallow::ui::testing
