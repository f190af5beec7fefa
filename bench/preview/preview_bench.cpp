// Where a page step of the preview spends its time, on the real window back
// end against the simulator on loopback: a 200-dpi A4 colour page (JPEG)
// and a black-and-white one (G4 TIFF). Each stage is taken through the path
// the program uses, the median of several runs:
//   download     DownloadPageForPreview, the page file written
//   load         the main window's picture loaded from that file
//                (CImage::Load: the layer and the back end's DecodeImage)
//   first paint  the main window invalidated as ShowPreview does and painted
//                (OnPaint stretches the picture into the frame, HALFTONE):
//                the back end puts a picture it has not drawn before on the
//                screen
//   repaint      the same again, the picture drawn before
//   page step    a click on the next or previous page button until the
//                frame is painted: the user's wait
// With each figure the minor page faults: fresh memory is dear where page
// faults are.
// Painting is done as the window system's next frame would do it
// (WxDriver::PaintNow), so that the frame clock's wait is left out.
#include <stdlib.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window/main_dlg.h"
#include "core/settings.h"
#include "core/texts.h"
#include "device/channel_layer.h"
#include "platform/app_profile.h"
#include "platform/ui/image.h"
#include "platform/ui/paint.h"
#include "platform/ui/wx/testing/wx_driver.h"
#include "platform/ui/wx/wx_backend.h"
#include "res/resource_ids.h"
#include "res/resources.h"
#include "support/kivor_loader.h"
#include "support/program_folder.h"
#include "support/sim_process.h"
#include "support/xvfb_server.h"

// After the project's headers: wx defines TRUE and FALSE as macros.
#include <wx/bitmap.h>
#include <wx/image.h>
#include <wx/mstream.h>

using namespace tallow;
using namespace tallow::ui;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRuns = 11;
constexpr int kPages = 4;
constexpr double kTargetMs = 100.0;

constexpr const char* kStore = R"(<mfp name="Bench">
  <box id="1" name="Scans">
    <doc id="C0" name="Colour" pages="4" color="1" width="1654" height="2339" dpi="200"/>
    <doc id="B0" name="Mono" pages="4" color="0" width="1654" height="2339" dpi="200"/>
  </box>
</mfp>)";

double Ms(Clock::time_point from) {
  return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
}

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Ended on a failure, whose exit runs no destructors: the simulator would
// stay behind.
test::SimProcess* g_sim = nullptr;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "bench_preview: %s\n", what);
  if (g_sim) g_sim->Terminate();
  std::exit(1);
}

std::size_t IndexOf(const CDialog& d, int id) {
  const auto& controls = d.Controls();
  for (std::size_t i = 0; i < controls.size(); ++i) {
    if (controls[i]->GetDlgCtrlID() == id) return i;
  }
  Fail("a control is missing");
}

struct Stage {
  std::vector<double> ms;
  std::vector<double> faults;  // minor page faults: fresh memory touched
};

struct Figures {
  Stage download, load, firstPaint, repaint, step;
  Stage wxDecode, wxScale;  // for comparison, wx on its own
};

long MinorFaults() {
  rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_minflt;
}

// Times |work| into |stage|.
template <class Work>
void Time(Stage& stage, Work&& work) {
  const long faults = MinorFaults();
  const auto start = Clock::now();
  work();
  stage.ms.push_back(Ms(start));
  stage.faults.push_back(static_cast<double>(MinorFaults() - faults));
}

// Paints what is due and checks that the preview frame was among it.
void PaintFrame(testing::WxDriver& wx, const CDialog& d, std::size_t frame) {
  const unsigned before = wx.PaintCount(d, frame);
  if (!wx.PaintNow(d)) Fail("the main window is not on the screen");
  // Should the window system hold the paint back, the loop brings it.
  const auto end = Clock::now() + std::chrono::seconds(5);
  while (wx.PaintCount(d, frame) == before) {
    if (Clock::now() > end) Fail("the preview frame was not painted");
    wx.Pump(std::chrono::milliseconds(1));
  }
}

std::vector<char> ReadWhole(const std::string& path) {
  std::vector<char> bytes;
  FILE* in = std::fopen(path.c_str(), "rb");
  if (!in) Fail("page file missing");
  char chunk[65536];
  for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, in)) > 0;) {
    bytes.insert(bytes.end(), chunk, chunk + n);
  }
  std::fclose(in);
  return bytes;
}

// wx's own decoding of the whole page and its high-quality resampling, as
// the back end once did them.
void WxAlone(const std::string& path, const Rect& fit, Figures& f) {
  const std::vector<char> bytes = ReadWhole(path);
  wxImage image;
  Time(f.wxDecode, [&] {
    wxMemoryInputStream stream(bytes.data(), bytes.size());
    if (!image.LoadFile(stream, wxBITMAP_TYPE_ANY)) Fail("wx did not decode the page");
  });
  Time(f.wxScale, [&] {
    const wxImage scaled = image.Scale(fit.cx, fit.cy, wxIMAGE_QUALITY_HIGH);
    const wxBitmap bitmap(scaled);
  });
}

void Measure(app::CMainDlg& d, testing::WxDriver& wx, const char* name, Figures& f) {
  const std::size_t listIndex = IndexOf(d, res::IDC_MAIN_DOCUMENT_LIST);
  const std::size_t frame = IndexOf(d, res::IDC_MAIN_PREVIEW_FRAME);
  int row = -1;
  for (int r = 0; r < d.m_listDocuments->GetItemCount(); ++r) {
    if (d.m_listDocuments->GetItemText(r, 0) == FromAnsi(name)) row = r;
  }
  if (row < 0) Fail("document not listed");
  if (!wx.ClickListRow(d, listIndex, row, false)) Fail("no click on the row");
  PaintFrame(wx, d, frame);
  if (d.m_previewImage.IsNull()) Fail("no preview after the click");
  const int doc = static_cast<int>(d.m_listDocuments->GetItemData(row));

  // The stages of ShowPreview one by one, on the main window's own picture.
  for (int r = 0; r < kRuns; ++r) {
    const int page = 1 + r % kPages;
    Time(f.download, [&] {
      if (!DownloadPageForPreview(d.m_mfpInfo, doc, page)) Fail("download failed");
    });
    const WString path = PreviewPageFilePath(d.m_mfpInfo, doc, page);
    Time(f.load, [&] {
      d.m_previewImage.Destroy();
      if (d.m_previewImage.Load(path) != S_OK) Fail("the page did not load");
    });
    Time(f.firstPaint, [&] {
      d.Invalidate(TRUE);
      PaintFrame(wx, d, frame);
    });
    Time(f.repaint, [&] {
      d.Invalidate(TRUE);
      PaintFrame(wx, d, frame);
    });
  }

  // The user's page steps, back and forth.
  const std::size_t next = IndexOf(d, res::IDC_MAIN_NEXT_PAGE);
  const std::size_t prev = IndexOf(d, res::IDC_MAIN_PREV_PAGE);
  for (int r = 0; r < kRuns; ++r) {
    const int before = d.m_nPage;
    const void* shown = d.m_previewImage.Data().get();
    Time(f.step, [&] {
      if (!wx.Click(d, before < kPages ? next : prev)) Fail("no click on a page button");
      PaintFrame(wx, d, frame);
    });
    if (d.m_nPage == before || d.m_previewImage.Data().get() == shown) {
      Fail("the page did not change");
    }
  }

  const Rect fit = d.m_previewRect;
  for (int r = 0; r < kRuns; ++r) {
    WxAlone(ToAnsi(PreviewPageFilePath(d.m_mfpInfo, doc, d.m_nPage)), fit, f);
  }
}

// The median, and the slowest run with its page faults.
void Line(const char* name, const Stage& stage, const char* note = "") {
  const std::size_t slowest = static_cast<std::size_t>(
      std::max_element(stage.ms.begin(), stage.ms.end()) - stage.ms.begin());
  std::printf("  %-12s %7.1f ms (slowest %6.1f ms, %5.0f faults)%s\n", name, Median(stage.ms),
              stage.ms[slowest], stage.faults[slowest], note);
}

void Report(const char* what, const Figures& f) {
  const double step = Median(f.step.ms);
  std::printf("%s, median of %d runs (and the slowest):\n", what, kRuns);
  Line("download", f.download);
  Line("load", f.load);
  Line("first paint", f.firstPaint);
  Line("repaint", f.repaint);
  Line("page step", f.step, step < kTargetMs ? "  (target < 100 ms: met)" : "  (target < 100 ms: MISSED)");
  std::printf("  for comparison, wx on its own:\n");
  Line("decode", f.wxDecode);
  Line("scale (HQ)", f.wxScale);
}

}  // namespace

int main() {
  std::unique_ptr<test::XvfbServer> xvfb;
  if (!getenv("DISPLAY")) {
    xvfb = std::make_unique<test::XvfbServer>();
    if (!xvfb->ok()) Fail("no display and no Xvfb");
    setenv("DISPLAY", xvfb->Display().c_str(), 1);
  }
  setenv("GSETTINGS_BACKEND", "memory", 0);
  res::RegisterProgramResources();
  LoadMessageTable(MessageTable());
  LoadMessageTable(ProgressTextTable());
  LoadMessageTable(LabelTable());

  test::ScratchProgramFolder program{"kivor.so"};
  test::KivorLibrary kivor;
  if (!kivor.ok()) Fail("kivor.so did not load");
  test::SimOptions options;
  options.config = kStore;
  test::SimProcess sim(options);
  g_sim = &sim;
  SetAppProfilePath(program.Wide("setting/tallowmere.ini"));
  std::filesystem::create_directories(program.File("setting"));
  std::filesystem::create_directories(program.File("out"));
  SettingInfo settings;
  settings.folderPath = program.Wide("out");
  SetSettingInfo(settings);
  MFPInfo mfp;
  mfp.IPv4Address = u"127.0.0.1";
  mfp.httpPortNumber = sim.Port();
  SetMFPInfo(mfp);
  WStringList names;
  if (RefreshFolderList(mfp, names) != 1) Fail("the boxes were not listed");

  Figures colour, mono;
  {
    WxBackend backend;
    if (!backend.Ok()) Fail("wx did not start");
    testing::WxDriver wx(backend);
    wx.SetModalTimeout(std::chrono::minutes(5));
    app::CMainDlg main;
    wx.OnDialogShown([&](CDialog&) {
      app::CMainDlg& d = main;
      wx.Pump(std::chrono::milliseconds(300));
      const HTREEITEM scans = d.m_treeBoxes->GetChildItem(d.m_treeBoxes->GetRootItem());
      if (!wx.ClickTreeItem(d, IndexOf(d, res::IDC_MAIN_BOX_TREE), scans)) Fail("no box");
      if (!d.m_bPreview && !wx.Click(d, IndexOf(d, res::IDC_MAIN_PREVIEW))) Fail("no preview");
      Measure(d, wx, "Colour", colour);
      Measure(d, wx, "Mono", mono);
      const Rect fit = d.m_previewRect;
      std::printf("preview: A4 pages of 1654 x 2339 pixels at 200 dpi into %d x %d\n", fit.cx,
                  fit.cy);
      d.InputEscape();
    });
    main.DoModal();
  }
  Report("colour JPEG page", colour);
  Report("black-and-white G4 TIFF page", mono);
  SetAppProfilePath({});
  return 0;
}
