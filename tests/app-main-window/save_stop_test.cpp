// A save that does not complete, in both modes, over the network and over
// USB: cancelled while a page downloads or while the writer converts, or
// broken by the device in the middle of a download. Nothing counts as
// saved, nothing is deleted on the device, Simple Mode stays on the
// document. And what a save empties when it ends, however it ends. The
// user acts at fixed points of the worker (as it starts a page, inside the
// conversion), never after a wait.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "core/settings.h"
#include "save_fixture.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace tallow::app::testing {
namespace {

using namespace tallow::res;
using namespace tallow::ui;

// Cancel pressed while page 2 downloads: the worker stops after that page,
// empties the save folder and ends the dialog without a message.
TEST_P(SaveTest, CancelDuringADownloadStopsAfterThePageAndSavesNothing) {
  for (bool simple : {false, true}) {
    SCOPED_TRACE(simple ? "Simple" : "Advanced");
    StartSaveDevice(true);
    int pagesStarted = 0;
    ui.onWorkerWait = [&] {
      if (++pagesStarted == 2) {
        SendToUi([&] { window->m_progressDlg.InputClick(IDC_PROGRESS_CANCEL); });
      }
    };
    AnswerFileDialogs({{"cancelled.pdf", 1}});
    RunSaving([&](TestMainDlg& d) {
      ShowNewest(d, simple);
      TakeLog();
      TakeMessages();
      d.InputClick(simple ? IDC_SIMPLE_SAVE : IDC_MAIN_SAVE);
      const std::vector<std::string> log = TakeLog();
      EXPECT_EQ(PagesIn(log), (std::vector<int>{1, 2}));
      EXPECT_EQ(CountIn(log, "DELETE"), 0);
      EXPECT_TRUE(TakeMessages().empty());
      EXPECT_FALSE(progressCompletedSeen);
      ExpectSaving(progressAtClose, 90 * 1 / 5, false);
      EXPECT_TRUE(SaveFolderFiles().empty());
      EXPECT_TRUE(Outputs().empty());
      ExpectStillShown(d, simple);
    });
    ui.onWorkerWait = nullptr;
  }
}

// Cancel pressed while the writer converts: the conversion runs to its end
// and its file stays, but the save does not count: no completion, nothing
// deleted. The writer gets the entries of the range's pages as the device
// described them, and zeros below the range.
TEST_P(SaveTest, CancelDuringTheConversionKeepsTheFileButDoesNotCount) {
  ASSERT_NO_FATAL_FAILURE(UseHookedCodec());
  for (bool cancel : {false, true}) {
    SCOPED_TRACE(cancel ? "cancelled" : "converted");
    StartSaveDevice(true);
    auto pressCancel = [](void* shown) {
      TestMainDlg* d = *static_cast<TestMainDlg**>(shown);
      SendToUi([d] { d->m_progressDlg.InputClick(IDC_PROGRESS_CANCEL); });
    };
    codec.setHook(cancel ? +pressCancel : nullptr, &window);
    AnswerFileDialogs({{"converted.pdf", 1}});
    RunSaving([&](TestMainDlg& d) {
      ASSERT_EQ(OpenBox(d, u"Scans"), 3);
      d.m_listDocuments->InputClick(kRowMono, false);
      ChooseRange(d, 3, 5);
      TakeLog();
      d.InputClick(IDC_MAIN_SAVE);
      const std::vector<std::string> log = TakeLog();
      EXPECT_EQ(PagesIn(log), (std::vector<int>{3, 4, 5}));
      EXPECT_EQ(CountIn(log, "DELETE FILEID=000000B5"), cancel ? 0 : 1);
      EXPECT_EQ(progressCompletedSeen, !cancel);
      EXPECT_EQ(d.m_listDocuments->GetItemCount(), cancel ? 3 : 2);
    });
    codec.setHook(nullptr, nullptr);
    EXPECT_TRUE(TakeMessages().empty());
    EXPECT_EQ(Outputs(), std::vector<std::string>{"converted.pdf"});
    const ImageInfo* given = codec.entries();
    for (int page = 0; page <= 5; ++page) {
      const ImageInfo expected = page < 3 ? ImageInfo{} : ImageInfo{320, 240, 100, 100};
      EXPECT_EQ(std::memcmp(&given[page], &expected, sizeof expected), 0) << page;
    }
    std::remove(Out("converted.pdf").c_str());
  }
}

// The writer's work folder names a folder of the user's when the save ends:
// its codec library left that folder in the buffer it was handed, or the
// writer missed its SetWorkFolder and kept TEMP from Open. Whether the save
// completes, is cancelled or its conversion fails, that folder keeps its
// files, and the save folder, where the pages went, is emptied.
TEST_P(SaveTest, AFolderTheWriterNamesKeepsItsFilesTheSaveFolderIsEmptied) {
  ASSERT_NO_FATAL_FAILURE(UseHookedCodec());
  enum class End { kSaved, kCancelled, kConversionFailed };
  struct Case {
    const char* name;
    bool byCodec;  // else by TEMP, taken on the first page
    End end;
  };
  const Case cases[] = {
      {"left by the codec, saved", true, End::kSaved},
      {"left by the codec, conversion failed", true, End::kConversionFailed},
      {"TEMP, saved", false, End::kSaved},
      {"TEMP, cancelled on page 2", false, End::kCancelled},
      {"TEMP, conversion failed", false, End::kConversionFailed},
  };
  // Shorter than the save folder's path, so that the codec's buffer holds it.
  const WString mine = program_.Wide("mine");
  const test::ScopedEnv temp("TEMP", program_.File("mine"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::create_directories(program_.File("mine/sub"));
    test::WriteFile(program_.File("mine/keep.txt"), "mine");
    test::WriteFile(program_.File("mine/sub/keep.txt"), "mine too");
    StartSaveDevice(false);
    codec.setWorkFolder(c.byCodec ? mine.c_str() : nullptr);
    codec.setFailure(c.end == End::kConversionFailed ? -1 : 0);
    int pagesStarted = 0;
    ui.onWorkerWait = [&] {
      ++pagesStarted;
      // The worker alone uses the writer while it runs.
      if (!c.byCodec && pagesStarted == 1) window->m_convertContext.pJob->SetWorkFolder(nullptr);
      if (c.end == End::kCancelled && pagesStarted == 2) {
        SendToUi([&] { window->m_progressDlg.InputClick(IDC_PROGRESS_CANCEL); });
      }
    };
    AnswerFileDialogs({{"kept.pdf", 1}});
    RunSaving([&](TestMainDlg& d) {
      ShowNewest(d, false);
      TakeMessages();
      d.InputClick(IDC_MAIN_SAVE);
      ASSERT_NE(d.m_pConvertor, nullptr);
      EXPECT_EQ(d.m_pConvertor->m_workFolder, mine);
      EXPECT_EQ(progressCompletedSeen, c.end == End::kSaved);
      EXPECT_EQ(TakeMessages(), c.end == End::kConversionFailed
                                    ? std::vector<WString>{u"Failed to save the file."}
                                    : std::vector<WString>{});
      // Looked at before the window's exit empties the working folders.
      EXPECT_EQ(test::ReadFile(program_.File("mine/keep.txt")), "mine");
      EXPECT_EQ(test::ReadFile(program_.File("mine/sub/keep.txt")), "mine too");
      EXPECT_TRUE(SaveFolderFiles().empty());
    });
    ui.onWorkerWait = nullptr;
    EXPECT_EQ(test::ReadFile(program_.File("mine/keep.txt")), "mine");
    EXPECT_EQ(Outputs(), c.end == End::kSaved ? std::vector<std::string>{"kept.pdf"}
                                              : std::vector<std::string>{});
    std::remove(Out("kept.pdf").c_str());
  }
}

// The device breaks down in the middle of a download (page 2): a cut reply,
// a stall longer than the transfer may wait, or a failing code for the
// page's image information. The save says it could not download, leaves no
// output and deletes nothing.
TEST_P(SaveTest, DeviceFaultInTheMiddleOfADownloadSavesAndDeletesNothing) {
  struct Case {
    const char* name;
    const char* network;
    const char* usb;
    bool simple;
    int atPage = 2;  // the page whose download meets the fault
  };
  const Case cases[] = {
      {"cut reply", "loadimg cut", "getdata cut", false},
      {"stall", "loadimg stall-mid 8000", "getdata stall 8000", false},
      {"failing code of the image information", "imageinfo code 333", "imageinfo code 333", false},
      {"failing code of the image information, Simple Mode", "imageinfo code 333",
       "imageinfo code 333", true},
      // Reported as early as may be, also before the dialog's window exists.
      {"the first page refused", "loadimg status 500", "getfile code 334", false, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StartSaveDevice(true);
    int pagesStarted = 0;
    ui.onWorkerWait = [&] {
      if (++pagesStarted == c.atPage) sim_->SetFaults({Usb() ? c.usb : c.network});
    };
    AnswerFileDialogs({{"broken.pdf", 1}});
    RunSaving([&](TestMainDlg& d) {
      ShowNewest(d, c.simple);
      TakeLog();
      TakeMessages();
      {
        // A transfer gives up after a second without progress, for the
        // save only: the stalled one well before the simulator answers.
        const test::ScopedEnv stall("KIVOR_STALL_TIMEOUT_MS", "1000");
        const test::ScopedEnv usbStall("TALLOWMERE_STI_TIMEOUT_MS", "1000");
        d.InputClick(c.simple ? IDC_SIMPLE_SAVE : IDC_MAIN_SAVE);
      }
      ui.onWorkerWait = nullptr;
      sim_->SetFaults({});
      EXPECT_EQ(TakeMessages(), std::vector<WString>{u"Unable to download the file."});
      EXPECT_EQ(ui.MessageBoxes().back().caption, u"Communication");
      EXPECT_EQ(ui.MessageBoxes().back().ownerWindow, &d.m_progressDlg);
      EXPECT_FALSE(progressCompletedSeen);
      EXPECT_EQ(progressAtClose.status, u"Failed to save the file.");
      const std::vector<std::string> log = TakeLog();
      const std::vector<int> pages = PagesIn(log);
      ASSERT_FALSE(pages.empty());
      EXPECT_EQ(pages.front(), 1);
      EXPECT_EQ(CountIn(log, "DELETE"), 0);
      EXPECT_TRUE(Outputs().empty());
      ExpectStillShown(d, c.simple);
    });
  }
}

// The whole save runs before the progress window is made: what the worker
// reported meanwhile shows once it opens, the completion (confirmed with OK)
// or the failure (its box, then the close), never the one for the other.
TEST_P(SaveTest, ReportsMadeBeforeTheProgressWindowExistsShowOnceItOpens) {
  struct Case {
    const char* name;
    const char* network;  // fault; null: none
    const char* usb;
  };
  const Case cases[] = {
      {"completed", nullptr, nullptr},
      {"failed", "loadimg status 500", "getfile code 334"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StartSaveDevice(true);
    if (c.network) sim_->SetFaults({Usb() ? c.usb : c.network});
    onProgressMaking = [&] {
      ui::CWinThread* worker = window->m_convertContext.pThread.get();
      ASSERT_NE(worker, nullptr);
      while (!worker->IsFinished()) std::this_thread::yield();
    };
    AnswerFileDialogs({{"early.pdf", 1}});
    RunSaving([&](TestMainDlg& d) {
      ShowNewest(d, false);
      TakeLog();
      TakeMessages();
      d.InputClick(IDC_MAIN_SAVE);
      onProgressMaking = nullptr;
      const bool fails = c.network != nullptr;
      EXPECT_EQ(progressCompletedSeen, !fails);
      EXPECT_EQ(TakeMessages(), fails ? std::vector<WString>{u"Unable to download the file."}
                                      : std::vector<WString>{});
      EXPECT_EQ(progressAtClose.status,
                fails ? u"Failed to save the file." : u"Saved successfully");
      EXPECT_EQ(CountIn(TakeLog(), "DELETE"), fails ? 0 : 1);
      EXPECT_EQ(Outputs(),
                fails ? std::vector<std::string>{} : std::vector<std::string>{"early.pdf"});
    });
    std::remove(Out("early.pdf").c_str());
  }
}

}  // namespace
}  // namespace tallow::app::testing
