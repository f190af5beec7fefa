// Saving in Advanced Mode against the simulated MFP, over the network and
// over USB: every format each colour class takes, with the pages in the
// output as the device sent them; the file dialog and the names it gives;
// the checks of the range and of the targets; delete after save.
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
// which the user confirms; the save folder is emptied.
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
  RunSaving([&](TestMainDlg& d) {
    ASSERT_EQ(OpenBox(d, u"Scans"), 2);
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
    EXPECT_EQ(d.m_listDocuments->GetItemCount(), 2);  // nothing deleted
  });
  EXPECT_EQ(TakeDeletes(), 0);
}

INSTANTIATE_TEST_SUITE_P(BothChannels, SaveTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "Usb" : "Network";
                         });

}  // namespace
}  // namespace tallow::app::testing
