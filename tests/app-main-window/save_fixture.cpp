#include "save_fixture.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <type_traits>

#include "core/settings.h"
#include "support/temp_dir.h"

namespace tallow::app::testing {

using namespace tallow::ui;

namespace {

bool IsSaveProgress(const CDialog& d) {
  const auto* progress = dynamic_cast<const CProgressDlg*>(&d);
  return progress && progress->m_nMode == kProgressSave;
}

}  // namespace

void SaveTest::SetUp() {
  MainWindowTest::SetUp();
  std::filesystem::create_directories(Out());
  onOtherDialog_ = [this](CDialog& d) {
    if (d.TemplateId() != IDD_PROGRESS) {
      if (onDialog) {
        onDialog(d);
      } else {
        d.InputEscape();
      }
      return;
    }
    progressAtOpen = Take(d);
    {
      const std::lock_guard lock(progressOpenLock_);
      progressOpen_ = true;
    }
    progressOpened_.notify_all();
  };
  ui.onMaking = [this](int templateId) {
    // Only a save has a worker while the dialog is made.
    if (templateId != IDD_PROGRESS || !window || !window->m_convertContext.pThread) return;
    ++progressRuns;
    progressCompletedSeen = false;
    if (onProgressMaking) onProgressMaking();
  };
  // Once the worker's calls have shown the completion, the user confirms it.
  ui.OnIdle([this](CDialog& d) {
    if (d.TemplateId() != IDD_PROGRESS || !d.GetDlgItem(IDC_PROGRESS_OK)->IsEnabled()) return;
    progressCompleted = Take(d);
    progressCompletedSeen = true;
    d.InputClick(IDC_PROGRESS_OK);
  });
  ui.onDestroyed = [this](CDialog& d) {
    if (!IsSaveProgress(d)) return;
    progressAtClose = Take(d);
    const std::lock_guard lock(progressOpenLock_);
    progressOpen_ = false;
  };
}

void SaveTest::HoldFirstPageUntilProgressOpens() {
  ui.onWorkerWait = [this] {
    // Nothing reported beyond page 0 yet: the save's first page. The worker
    // alone writes the count while it runs.
    if (!window || window->m_convertContext.nCurrent != 0) return;
    std::unique_lock lock(progressOpenLock_);
    progressOpened_.wait(lock, [this] { return progressOpen_; });
  };
}

void SaveTest::TearDown() {
  ui.onWorkerWait = nullptr;
  ui.onMaking = nullptr;
  MainWindowTest::TearDown();
  if (codec.module) FreeLibrary(codec.module);
  codec = HookedCodec{};
}

void SaveTest::UseHookedCodec() {
  ASSERT_EQ(std::remove(program_.File("pdfdumel.so").c_str()), 0);
  ASSERT_EQ(::symlink(HOOKED_CODEC_PATH, program_.File("pdfdumel.so").c_str()), 0);
  codec.module = LoadLibraryW(program_.Wide("pdfdumel.so").c_str());
  ASSERT_NE(codec.module, nullptr);
  const auto find = [&](auto& slot, const char* name) {
    slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(
        GetProcAddress(codec.module, name));
    ASSERT_NE(slot, nullptr) << name;
  };
  find(codec.setHook, "HookedCodecSetHook");
  find(codec.setWorkFolder, "HookedCodecSetWorkFolder");
  find(codec.setFailure, "HookedCodecSetFailure");
  find(codec.entries, "HookedCodecEntries");
}

void SaveTest::StartSaveDevice(bool deleteAfterSave, const char* store) {
  StartDevice(Usb(), {}, store);
  SettingInfo settings = GetSettingInfo();
  settings.DeleteFile = deleteAfterSave ? 1 : 0;
  SetSettingInfo(settings);
}

int SaveTest::RunSaving(const std::function<void(TestMainDlg&)>& play) {
  return Run([&](TestMainDlg& d) {
    d.saves = true;
    window = &d;
    play(d);
    window = nullptr;
  });
}

void SaveTest::AnswerFileDialogs(std::vector<FileAnswer> answers) {
  auto next = std::make_shared<std::size_t>(0);
  ui.OnFileDialog([this, answers, next](const FileDialogRequest&, WString* path, int* filter) {
    if (*next >= answers.size()) return IDCANCEL;
    const FileAnswer& a = answers[(*next)++];
    *path = FromAnsi(a.path.starts_with("/") ? a.path : Out(a.path));
    *filter = a.filterIndex;
    return IDOK;
  });
}

void SaveTest::TypeOver(CDialog& d, int id, WStringView text) {
  d.GetDlgItem(id)->SetSel(0, static_cast<DWORD>(-1));
  d.InputType(id, text);
}

void SaveTest::ChooseRange(TestMainDlg& d, int first, int last) {
  if (first == 0 && last == 0) {
    d.InputClick(IDC_MAIN_RANGE_ALL);
    return;
  }
  d.InputClick(IDC_MAIN_RANGE_PAGES);
  TypeOver(d, IDC_MAIN_PAGE_FROM, FromAnsi(std::to_string(first)));
  TypeOver(d, IDC_MAIN_PAGE_TO, FromAnsi(std::to_string(last)));
}

void SaveTest::ShowNewest(TestMainDlg& d, bool simple) {
  if (simple) {
    d.InputMenuCommand(ID_MODE_SIMPLE);
    ASSERT_EQ(d.GetDlgItemText(IDC_SIMPLE_FILE_NUMBER), u"Mono");
    return;
  }
  ASSERT_EQ(OpenBox(d, u"Scans"), 3);
  d.m_listDocuments->InputClick(kRowMono, false);
}

void SaveTest::ExpectStillShown(TestMainDlg& d, bool simple) {
  if (simple) {
    EXPECT_EQ(d.GetDlgItemText(IDC_SIMPLE_FILE_NUMBER), u"Mono");
    EXPECT_EQ(d.m_nSimpleSaved, 0);
  } else {
    EXPECT_EQ(d.m_listDocuments->GetItemCount(), 3);
  }
}

std::string SaveTest::Page(const std::string& fileId, int page) {
  const test::HttpReply reply =
      sim_->Get("/loadimg.cgi?FileID=" + fileId + "&PageNumber=" + std::to_string(page));
  EXPECT_EQ(reply.status, 200) << fileId << " " << page;
  sim_->ClearLog();
  return reply.body;
}

std::string SaveTest::Out(const std::string& name) const {
  return program_.File(name.empty() ? "out" : "out/" + name);
}

std::vector<std::string> SaveTest::Outputs() const { return test::FilesIn(Out()); }

std::vector<std::string> SaveTest::SaveFolderFiles() const {
  return test::FilesIn(program_.File("work/save"));
}

}  // namespace tallow::app::testing
