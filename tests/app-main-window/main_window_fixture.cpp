#include "main_window_fixture.h"

#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <string_view>

#include "core/settings.h"
#include "core/texts.h"
#include "device/channel_layer.h"
#include "device/net_channel.h"
#include "device/sti_binding.h"
#include "device/usb_channel.h"
#include "platform/app_profile.h"
#include "res/resource_ids.h"

namespace tallow::app::testing {

using namespace tallow::ui;

void MainWindowTest::SetUp() {
  LoadMessageTable(MessageTable());
  LoadMessageTable(ProgressTextTable());
  LoadMessageTable(LabelTable());
  ASSERT_TRUE(kivor_.ok());
  sti_ = LoadLibraryW(u"sti.dll");
  ASSERT_NE(sti_, nullptr);
  BindStiCreateInstance(GetProcAddress(sti_, "StiCreateInstanceW"));
  SetAppProfilePath(program_.Wide("setting/tallowmere.ini"));
  SettingInfo settings;
  settings.folderPath = program_.Wide("out");
  SetSettingInfo(settings);
  SetMFPInfo(MFPInfo{});
  SetPasswordInfo(PasswordInfo{});
  ui.OnMessageBox([](const MessageBoxRecord&) { return IDOK; });
  onOtherDialog_ = [](CDialog& d) { d.InputEscape(); };
}

void MainWindowTest::TearDown() {
  sim_.reset();
  BindStiCreateInstance(nullptr);
  if (sti_) FreeLibrary(sti_);
  SetAppProfilePath({});
  // The channels' tables are the process's: the next test starts afresh.
  NetBoxTables() = BoxTables{};
  UsbBoxTables() = BoxTables{};
}

void MainWindowTest::StartDevice(bool usb, const std::vector<std::string>& faults,
                                 const char* store) {
  test::SimOptions options;
  options.config = store;
  options.faults = faults;
  options.usb = {"main-usb-0"};
  sim_ = std::make_unique<test::SimProcess>(options);
  setenv("TALLOWMERE_USB_REGISTRY", sim_->UsbRegistry().c_str(), 1);
  MFPInfo mfp;
  mfp.machineName = u"Sim";
  mfp.IPv4Address = u"127.0.0.1";
  mfp.httpPortNumber = sim_->Port();
  mfp.deviceInternalName = u"main-usb-0";
  mfp.isUSB = usb ? TRUE : FALSE;
  SetMFPInfo(mfp);
  WStringList names;
  RefreshFolderList(mfp, names);
  sim_->ClearLog();
}

int MainWindowTest::Run(const std::function<void(TestMainDlg&)>& play) {
  TestMainDlg dialog;
  ui.OnDialog([&](CDialog& d) {
    if (&d != &dialog) {
      onOtherDialog_(d);
      return;
    }
    play(dialog);
    if (!dialog.IsEnded()) dialog.InputEscape();
  });
  return dialog.DoModal();
}

HTREEITEM MainWindowTest::BoxItem(const CTreeCtrl& tree, WStringView name) {
  for (HTREEITEM item = tree.GetChildItem(tree.GetRootItem()); item;
       item = tree.GetNextSiblingItem(item)) {
    if (tree.GetItemText(item) == name) return item;
  }
  return nullptr;
}

void MainWindowTest::ClickTree(CTreeCtrl& tree, HTREEITEM item) {
  if (!item) {
    const int rows = static_cast<int>(tree.VisibleItems().size());
    tree.InputClick(Point{5, rows * CTreeCtrl::kItemHeight + 5});
    return;
  }
  const Rect row = tree.GetItemRect(item);
  const int y = row.y + row.cy / 2;
  for (int x = 0; x < row.cx; ++x) {
    UINT flags = 0;
    if (tree.HitTest(Point{x, y}, &flags) == item && (flags & TVHT_ONITEMLABEL)) {
      tree.InputClick(Point{x + 2, y});
      return;
    }
  }
  ADD_FAILURE() << "no label to click";
}

int MainWindowTest::OpenBox(TestMainDlg& d, WStringView name) {
  const HTREEITEM box = BoxItem(*d.m_treeBoxes, name);
  EXPECT_NE(box, nullptr) << ToAnsi(name);
  ClickTree(*d.m_treeBoxes, box);
  return d.m_listDocuments->GetItemCount();
}

std::vector<std::string> MainWindowTest::TakeLog() {
  std::vector<std::string> log = sim_->Log();
  sim_->ClearLog();
  return log;
}

std::vector<int> MainWindowTest::TakePagesAsked() { return PagesIn(TakeLog()); }

std::vector<int> MainWindowTest::PagesIn(const std::vector<std::string>& log) {
  std::vector<int> pages;
  for (const std::string& line : log) {
    for (const char* key : {"PageNumber=", "PAGENUMBER="}) {
      const std::size_t at = line.find(key);
      if (at != std::string::npos) pages.push_back(std::stoi(line.substr(at + std::strlen(key))));
    }
  }
  return pages;
}

int MainWindowTest::TakeCount(const std::string& what) { return CountIn(TakeLog(), what); }

int MainWindowTest::CountIn(const std::vector<std::string>& log, const std::string& what) {
  int count = 0;
  for (const std::string& line : log) {
    if (line.find(what) != std::string::npos) ++count;
  }
  return count;
}

int MainWindowTest::EmptyPasswordsIn(const std::vector<std::string>& log) {
  constexpr std::string_view kPassword = "PASSWORD=";
  int count = 0;
  for (const std::string& line : log) {
    const std::size_t at = line.find(kPassword);
    if (at == std::string::npos) continue;
    const std::size_t value = at + kPassword.size();
    if (value == line.size() || line[value] == ' ') ++count;
  }
  return count;
}

std::function<void(CDialog&)> MainWindowTest::TypePassword(const char16_t* typed, int* asked) {
  return [typed, asked](CDialog& p) {
    ++*asked;
    ASSERT_EQ(p.TemplateId(), res::IDD_PASSWORD);
    p.InputType(res::IDC_PASSWORD_EDIT, typed);
    p.InputClick(res::IDC_PASSWORD_OK);
  };
}

void MainWindowTest::StartUpWithStoredPassword(const std::string& stored) {
  SetPasswordInfo({u"1234", TRUE});
  // Made when the main window first opened.
  std::filesystem::create_directories(program_.File("setting"));
  ASSERT_TRUE(AppSettings().Save());
  const std::string remembered = "\r\npassword=23289\r\n";
  std::string file = program_.Read("setting/tallowmere.ini");
  const std::size_t at = file.find(remembered);
  ASSERT_NE(at, std::string::npos) << file;
  file.replace(at, remembered.size(), "\r\npassword=" + stored + "\r\n");
  program_.Write("setting/tallowmere.ini", file);
  SetPasswordInfo(PasswordInfo{});
  AppSettings().Load();
}

std::vector<WString> MainWindowTest::TakeMessages() {
  std::vector<WString> texts;
  const auto& boxes = ui.MessageBoxes();
  for (; messagesSeen_ < boxes.size(); ++messagesSeen_) texts.push_back(boxes[messagesSeen_].text);
  return texts;
}

}  // namespace tallow::app::testing
