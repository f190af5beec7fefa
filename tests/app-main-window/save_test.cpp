// Saving in Advanced Mode against the simulated MFP, over the network and
// over USB: every format each colour class takes, with the pages in the
// output as the device sent them; the file dialog and the names it gives;
// the checks of the range and of the targets; delete after save.
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "core/settings.h"
#include "core/texts.h"
#include "page_maker.h"
#include "pdfdumel/pdf_tools.h"
#include "save_fixture.h"
#include "support/temp_dir.h"

namespace tallow::app::testing {
namespace {

using namespace tallow::res;
using namespace tallow::ui;

const std::string kColourId = "000000C5";
const std::string kMonoId = "000000B5";

std::vector<int> Range(int first, int last) {
  std::vector<int> pages;
  for (int page = first; page <= last; ++page) pages.push_back(page);
  return pages;
}

// The compressed data of a black-and-white page: its one strip.
std::string Strip(const test::TempDir& scratch, const std::string& page) {
  test::WriteFile(scratch.File("page.tif"), page);
  return test::ReadTiffStrips(scratch.File("page.tif")).strips.at(0);
}

// A PDF that qpdf finds sound, with one image per page, each the page's
// JPEG file or CCITT strip unchanged.
void ExpectPdfOfPages(const std::string& pdf, const std::vector<std::string>& pages, bool colour,
                      const test::TempDir& scratch) {
  EXPECT_TRUE(test::QpdfChecks(pdf));
  const std::vector<test::ListedImage> images = test::ListImages(pdf);
  ASSERT_EQ(images.size(), pages.size());
  for (std::size_t i = 0; i < images.size(); ++i) {
    EXPECT_EQ(images[i].page, static_cast<int>(i) + 1);
    EXPECT_EQ(images[i].encoding, colour ? "jpeg" : "ccitt");
  }
  const std::string prefix = scratch.File(pdf.substr(pdf.find_last_of('/') + 1));
  const std::vector<std::string> files = test::ExtractImages(pdf, prefix);
  ASSERT_EQ(files.size(), pages.size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE(files[i]);
    EXPECT_EQ(test::ReadFile(files[i]), colour ? pages[i] : Strip(scratch, pages[i]));
  }
}

// A TIFF file that tiffinfo reads, one directory per page, each with the
// page's strip unchanged.
void ExpectTiffOfPages(const std::string& tiff, const std::vector<std::string>& pages,
                       const test::TempDir& scratch) {
  int status = -1;
  const std::string info = test::RunCommand("tiffinfo '" + tiff + "' 2>&1", &status);
  EXPECT_EQ(status, 0) << info;
  ASSERT_EQ(test::CountTiffDirectories(tiff), static_cast<int>(pages.size()));
  for (std::size_t i = 0; i < pages.size(); ++i) {
    EXPECT_EQ(test::ReadTiffStrips(tiff, static_cast<int>(i)).strips,
              std::vector<std::string>{Strip(scratch, pages[i])})
        << i;
  }
}

// The document selected, the range chosen and the name given: the writer
// of the name's type writes the range's pages as they came from the device;
// the file dialog offers the document's two types starting in the
// destination folder; the progress dialog runs from 0 to its completion,
// which the user confirms; the save folder is emptied. The worker waits at
// its first page for the dialog to open: what a dialog shows at its opening
// depends on how far the worker got by then.
TEST_P(SaveTest, SavesEveryFormatOfEachColourClassWithThePagesUnchanged) {
  StartSaveDevice(false);
  std::vector<std::string> colourPages;
  std::vector<std::string> monoPages;
  for (int page = 1; page <= 5; ++page) {
    colourPages.push_back(Page(kColourId, page));
    monoPages.push_back(Page(kMonoId, page));
  }
  enum Kind { kPdf, kTiff, kJpeg };
  struct Case {
    const char* name;
    SaveRow row;
    int first, last;  // 0, 0: "All"
    int filterIndex;
    const char* typed;
    Kind kind;
  };
  const Case cases[] = {
      {"colour as PDF, all pages", kRowColour, 0, 0, 1, "colour.pdf", kPdf},
      {"colour as JPEG, pages 3-5", kRowColour, 3, 5, 2, "colour.jpg", kJpeg},
      {"black-and-white as PDF, pages 3-5", kRowMono, 3, 5, 1, "mono.pdf", kPdf},
      {"black-and-white as TIFF, all pages", kRowMono, 0, 0, 2, "mono.tif", kTiff},
  };
  test::TempDir scratch;
  HoldFirstPageUntilProgressOpens();
  RunSaving([&](TestMainDlg& d) {
    ASSERT_EQ(OpenBox(d, u"Scans"), 3);
    for (const Case& c : cases) {
      SCOPED_TRACE(c.name);
      const bool colour = c.row == kRowColour;
      const int first = c.first ? c.first : 1;
      const int last = c.last ? c.last : 5;
      const std::vector<std::string>& all = colour ? colourPages : monoPages;
      const std::vector<std::string> pages(all.begin() + first - 1, all.begin() + last);
      d.m_listDocuments->InputClick(c.row, false);
      ChooseRange(d, c.first, c.last);
      AnswerFileDialogs({{c.typed, c.filterIndex}});
      TakeLog();
      const std::size_t asked = ui.FileDialogs().size();
      d.InputClick(IDC_MAIN_SAVE);

      ASSERT_EQ(ui.FileDialogs().size(), asked + 1);
      const FileDialogRequest& r = ui.FileDialogs().back();
      EXPECT_TRUE(r.save);
      EXPECT_EQ(r.owner, d.GetSafeHwnd());
      EXPECT_EQ(r.defaultExtension, u"pdf");
      EXPECT_EQ(r.initialFolder, FromAnsi(Out()));
      EXPECT_EQ(r.filterIndex, 1);  // the settings' format: PDF
      EXPECT_EQ(r.flags, static_cast<DWORD>(OFN_HIDEREADONLY));
      ASSERT_EQ(r.filters.size(), 2u);
      EXPECT_EQ(r.filters[0].description, u"PDF Files (*.pdf)");
      EXPECT_EQ(r.filters[0].patterns, u"*.pdf");
      EXPECT_EQ(r.filters[1].description,
                colour ? u"JPEG Files (*.jpg;*.jpeg)" : u"TIFF Files (*.tif;*.tiff)");
      EXPECT_EQ(r.filters[1].patterns, colour ? u"*.jpg;*.jpeg" : u"*.tif;*.tiff");

      ExpectSaving(progressAtOpen, 0);
      ASSERT_TRUE(progressCompletedSeen);
      ExpectCompleted(progressCompleted);
      EXPECT_TRUE(TakeMessages().empty());
      EXPECT_EQ(TakePagesAsked(), Range(first, last));
      EXPECT_TRUE(SaveFolderFiles().empty());

      switch (c.kind) {
        case kPdf:
          ExpectPdfOfPages(Out(c.typed), pages, colour, scratch);
          break;
        case kTiff:
          ExpectTiffOfPages(Out(c.typed), pages, scratch);
          break;
        case kJpeg:
          for (int page = first; page <= last; ++page) {
            EXPECT_EQ(test::ReadFile(Out("colour-" + std::to_string(page) + ".jpg")),
                      all[page - 1])
                << page;
          }
          break;
      }
    }
    EXPECT_EQ(Outputs(), (std::vector<std::string>{"colour-3.jpg", "colour-4.jpg", "colour-5.jpg",
                                                   "colour.pdf", "mono.pdf", "mono.tif"}));
    EXPECT_EQ(d.m_listDocuments->GetItemCount(), 3);  // nothing deleted
  });
  EXPECT_EQ(TakeDeletes(), 0);
}

// A name of a type the document cannot take gets the extension of the
// filter chosen; the dialog starts at the filter of the settings' format.
// "Current page" saves the page the page field shows.
TEST_P(SaveTest, NameTakesTheChosenFiltersTypeAndTheDialogTheSettingsFormat) {
  StartSaveDevice(false);
  struct Case {
    SaveRow row;
    int format;  // the settings' format for the row's colour class
    int filterIndex;
    const char* typed;
    std::vector<std::string> written;
  };
  const Case cases[] = {
      {kRowMono, 1, 2, "scan.jpg", {"scan.jpg.tif"}},
      {kRowMono, 0, 1, "scan.jpg", {"scan.jpg.pdf"}},
      {kRowMono, 1, 2, "report", {"report.tif"}},
      {kRowMono, 0, 1, "Upper.TIFF", {"Upper.TIFF"}},
      {kRowColour, 1, 2, "photo.tiff", {"photo.tiff-2.jpg"}},
      {kRowColour, 0, 1, "photo.jpeg", {"photo-2.jpeg"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    SettingInfo settings = GetSettingInfo();
    settings.MonoFormat = c.format;
    settings.ColorFormat = c.format;
    SetSettingInfo(settings);
    for (const std::string& name : Outputs()) std::remove(Out(name).c_str());
    RunSaving([&](TestMainDlg& d) {
      ASSERT_EQ(OpenBox(d, u"Scans"), 3);
      d.m_listDocuments->InputClick(c.row, false);
      d.InputClick(IDC_MAIN_NEXT_PAGE);
      d.InputClick(IDC_MAIN_RANGE_CURRENT);
      AnswerFileDialogs({{c.typed, c.filterIndex}});
      TakeLog();
      d.InputClick(IDC_MAIN_SAVE);
      EXPECT_EQ(ui.FileDialogs().back().filterIndex, c.format + 1);
      EXPECT_EQ(TakePagesAsked(), std::vector<int>{2});
      EXPECT_TRUE(progressCompletedSeen);
    });
    EXPECT_EQ(Outputs(), c.written);
  }
}

// Nothing is asked of the user or the device when no document is selected,
// the range does not lie within the document or the fields do not hold what
// they must.
TEST_P(SaveTest, NoDocumentOrABadRangeOrBadFieldsSaveNothing) {
  StartSaveDevice(false);
  struct Case {
    const char* name;
    int row;  // -1: none selected
    std::function<void(TestMainDlg&)> choose;
    const char16_t* message;
    const char16_t* caption;
  };
  const auto pages = [](int first, int last) {
    return [first, last](TestMainDlg& d) { ChooseRange(d, first, last); };
  };
  const auto field = [](int id, const char16_t* text) {
    return [id, text](TestMainDlg& d) { d.GetDlgItem(id)->SetText(text); };
  };
  const Case cases[] = {
      {"nothing selected", -1, pages(1, 1), u"No document to save selected.", u"Save"},
      {"from 0", kRowColour, pages(0, 2), u"The page number you entered is invalid.", u"Save"},
      {"to below from", kRowColour, pages(3, 2), u"The page number you entered is invalid.",
       u"Save"},
      {"to above the pages", kRowColour, pages(4, 6), u"The page number you entered is invalid.",
       u"Save"},
      {"all of a document without pages", kRowNoPages, pages(0, 0),
       u"The page number you entered is invalid.", u"Save"},
      {"all of a page count beyond what a save takes", kRowColour,
       [](TestMainDlg& d) {
         d.m_listDocuments->SetItemText(kRowColour, 2, u"2147483647");
         ChooseRange(d, 0, 0);
       },
       u"The page number you entered is invalid.", u"Save"},
      {"a page field that holds no number", kRowColour, field(IDC_MAIN_PAGE, u"x"),
       u"Please enter an integer.", nullptr},
      {"a range field of five digits", kRowColour,
       [](TestMainDlg& d) {
         ChooseRange(d, 1, 2);
         d.GetDlgItem(IDC_MAIN_PAGE_TO)->SetText(u"12345");
       },
       nullptr, nullptr},
  };
  RunSaving([&](TestMainDlg& d) {
    ASSERT_EQ(OpenBox(d, u"Scans"), 3);
    for (const Case& c : cases) {
      SCOPED_TRACE(c.name);
      if (c.row >= 0) {
        d.m_listDocuments->InputClick(c.row, false);
      } else {
        ClickTree(*d.m_treeBoxes, BoxItem(*d.m_treeBoxes, u"Scans"));
      }
      c.choose(d);
      TakeLog();
      TakeMessages();
      const std::size_t asked = ui.FileDialogs().size();
      d.InputClick(IDC_MAIN_SAVE);
      const std::vector<WString> messages = TakeMessages();
      ASSERT_EQ(messages.size(), 1u);
      if (c.message) {
        EXPECT_EQ(messages[0], c.message);
      }
      if (c.caption) {
        EXPECT_EQ(ui.MessageBoxes().back().caption, c.caption);
        EXPECT_EQ(ui.MessageBoxes().back().type, static_cast<UINT>(MB_ICONERROR));
      }
      EXPECT_EQ(ui.FileDialogs().size(), asked);
      EXPECT_TRUE(TakeLog().empty());
      // Back to what the next case sets.
      d.GetDlgItem(IDC_MAIN_PAGE)->SetText(u"1");
      d.InputClick(IDC_MAIN_RANGE_ALL);
    }
    EXPECT_EQ(progressRuns, 0);
  });
  EXPECT_TRUE(Outputs().empty());
}

// Files of the name that exist already: one question for all of them. OK
// writes every page over them; Cancel opens the file dialog again, where
// cancelling saves nothing.
TEST_P(SaveTest, ExistingOutputIsReplacedAfterOneQuestionOrTheNameAskedAgain) {
  StartSaveDevice(false);
  std::vector<std::string> pages;
  for (int page = 3; page <= 5; ++page) pages.push_back(Page(kColourId, page));
  for (int answer : {IDOK, IDCANCEL}) {
    SCOPED_TRACE(answer);
    for (const char* name : {"colour-3.jpg", "colour-5.jpg"}) test::WriteFile(Out(name), "old");
    std::remove(Out("colour-4.jpg").c_str());
    std::vector<MessageBoxRecord> questions;
    ui.OnMessageBox([&](const MessageBoxRecord& box) {
      questions.push_back(box);
      return answer;
    });
    RunSaving([&](TestMainDlg& d) {
      ASSERT_EQ(OpenBox(d, u"Scans"), 3);
      d.m_listDocuments->InputClick(kRowColour, false);
      ChooseRange(d, 3, 5);
      AnswerFileDialogs({{"colour.jpg", 2}});
      TakeLog();
      const std::size_t asked = ui.FileDialogs().size();
      d.InputClick(IDC_MAIN_SAVE);
      ASSERT_EQ(questions.size(), 1u);
      EXPECT_EQ(questions[0].text, u"The file already exists. Replace existing file?");
      EXPECT_EQ(questions[0].caption, u"Save");
      EXPECT_EQ(questions[0].type, static_cast<UINT>(MB_OKCANCEL | MB_ICONWARNING));
      EXPECT_EQ(questions[0].owner, d.GetSafeHwnd());
      EXPECT_EQ(ui.FileDialogs().size(), asked + (answer == IDOK ? 1 : 2));
      EXPECT_EQ(TakePagesAsked(), answer == IDOK ? Range(3, 5) : std::vector<int>{});
    });
    const std::vector<std::string> expected =
        answer == IDOK ? pages : std::vector<std::string>{"old", "", "old"};
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(test::ReadFile(Out("colour-" + std::to_string(i + 3) + ".jpg")), expected[i]) << i;
    }
  }
}

// A folder that takes no file, or a name longer than the folder allows,
// is said, and the name asked for again. The number of the system's error
// goes into the text without a printf-style formatter, whatever the
// language file's text holds.
TEST_P(SaveTest, TargetFolderThatTakesNoFileIsSaidAndTheNameAskedAgain) {
  StartSaveDevice(false);
  MessageTableEntry* access = MessageTable();
  while (access->id != 21017) ++access;
  const std::string longName = std::string(252, 'n') + ".pdf";  // the folder takes 255 bytes
  struct Case {
    const char* name;
    std::string path;
    const char16_t* text;  // 21017 as the language file gives it; null: as shipped
    const char16_t* shown;
  };
  const Case cases[] = {
      {"a folder that takes no file", "/proc/scan.pdf", nullptr, u"Unable to access folder."},
      {"a name too long", longName, nullptr, u"Path/File access error(122)"},
      {"a name too long, a hostile text", longName, u"%s%n%x(%d)%s", u"122%n%x(%d)%s"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoadMessageTable(MessageTable());
    if (c.text) access->text = c.text;
    RunSaving([&](TestMainDlg& d) {
      ASSERT_EQ(OpenBox(d, u"Scans"), 3);
      d.m_listDocuments->InputClick(kRowMono, false);
      AnswerFileDialogs({{c.path, 1}});
      TakeLog();
      TakeMessages();
      const std::size_t asked = ui.FileDialogs().size();
      d.InputClick(IDC_MAIN_SAVE);
      EXPECT_EQ(TakeMessages(), std::vector<WString>{c.shown});
      EXPECT_EQ(ui.MessageBoxes().back().caption, u"Save");
      EXPECT_EQ(ui.MessageBoxes().back().owner, d.GetSafeHwnd());
      EXPECT_EQ(ui.FileDialogs().size(), asked + 2);
      EXPECT_TRUE(TakePagesAsked().empty());
    });
  }
  LoadMessageTable(MessageTable());
  EXPECT_TRUE(Outputs().empty());
}

// Delete after save: the document goes and the box is listed again, also
// when the deletion fails (said by the device's code); unchecked in the
// window, nothing is deleted.
TEST_P(SaveTest, DeleteAfterSaveDeletesTheDocumentAndListsTheBoxAgain) {
  struct Case {
    const char* name;
    bool checked;
    std::vector<std::string> faults;
    int rowsAfter;
    std::vector<WString> messages;
  };
  const Case cases[] = {
      {"deleted", true, {}, 2, {}},
      {"the deletion refused", true, {"delete code 802"}, 3,
       {u"Unable to connect to the scanner."}},
      {"unchecked", false, {}, 3, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StartSaveDevice(true);
    sim_->SetFaults(c.faults);
    AnswerFileDialogs({{"saved.pdf", 1}});
    RunSaving([&](TestMainDlg& d) {
      ASSERT_EQ(OpenBox(d, u"Scans"), 3);
      EXPECT_EQ(d.GetDlgItem(IDC_MAIN_DELETE_AFTER_SAVE)->GetCheck(), BST_CHECKED);
      if (!c.checked) d.InputClick(IDC_MAIN_DELETE_AFTER_SAVE);
      d.m_listDocuments->InputClick(kRowColour, false);
      TakeLog();
      TakeMessages();
      d.InputClick(IDC_MAIN_SAVE);
      EXPECT_TRUE(progressCompletedSeen);
      EXPECT_EQ(TakeMessages(), c.messages);
      const std::vector<std::string> log = TakeLog();
      std::vector<std::string> after;  // what followed the pages
      for (const std::string& line : log) {
        if (line.find("DELETE") != std::string::npos || line.find("LIST") != std::string::npos) {
          after.push_back(line.find("DELETE FILEID=000000C5") != std::string::npos ? "delete"
                          : line.find("LIST FOLDERID=00000001") != std::string::npos ? "list"
                                                                                        : line);
        }
      }
      EXPECT_EQ(after, c.checked ? (std::vector<std::string>{"delete", "list"})
                                 : std::vector<std::string>{});
      ASSERT_EQ(d.m_listDocuments->GetItemCount(), c.rowsAfter);
      // Listed again, the list has nothing selected.
      EXPECT_EQ(d.m_listDocuments->GetSelectedCount(), c.checked ? 0 : 1);
    });
    EXPECT_EQ(Outputs(), std::vector<std::string>{"saved.pdf"});
    std::remove(Out("saved.pdf").c_str());
  }
}

// A range that does not start at page 1: the bar shows the page number over
// the last page as each page is done.
TEST_P(SaveTest, ProgressOfARangeCountsPageNumbersOverTheLastPage) {
  StartSaveDevice(false);
  std::vector<int> positions;
  ui.onWorkerWait = [&] {
    SendToUi([&] {
      positions.push_back(window->m_progressDlg.GetDlgItem(IDC_PROGRESS_BAR)->GetPos());
    });
  };
  AnswerFileDialogs({{"range.pdf", 1}});
  RunSaving([&](TestMainDlg& d) {
    ASSERT_EQ(OpenBox(d, u"Scans"), 3);
    d.m_listDocuments->InputClick(kRowColour, false);
    ChooseRange(d, 3, 5);
    d.InputClick(IDC_MAIN_SAVE);
  });
  ui.onWorkerWait = nullptr;
  EXPECT_EQ(positions, (std::vector<int>{0, 90 * 3 / 5, 90 * 4 / 5}));
  ExpectCompleted(progressCompleted);
}

INSTANTIATE_TEST_SUITE_P(BothChannels, SaveTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "Usb" : "Network";
                         });

}  // namespace
}  // namespace tallow::app::testing
