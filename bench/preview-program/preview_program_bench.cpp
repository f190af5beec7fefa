// The user's wait for a page in the preview of the built program, measured
// from outside as the user sees it: on a private Xvfb (bare, then under
// openbox when it is installed), against the simulator on loopback, a click
// (XTEST) on a document row or a page button, and the screen read over our
// own X connection until it shows what the click asked for. Each figure is
// the median of several clicks, from the button press to the first screen
// that shows it; a read of the frame takes a millisecond or so, so the
// figure is a little late, never early. A4 pages at 200 dpi:
//   page steps, colour   the next page of a 12-page colour document (JPEG),
//                        each page seen for the first time; then back
//   page steps, B/W      the same for black-and-white pages (G4 TIFF)
//   click on a document  one colour document's row and then another's
// The simulator has made every page before the clock runs, so that what is
// timed is the program's work. The colour pages of one document show the
// same picture, so a colour step is done once the page field shows the new
// number with the picture in the frame.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "res/resource_ids.h"
#include "res/resources.h"
#include "support/program_copy.h"
#include "support/screen_layout.h"
#include "support/sim_process.h"
#include "support/window_manager.h"
#include "support/x_input.h"
#include "support/x_windows.h"
#include "support/xvfb_server.h"

using namespace tallow;
using namespace tallow::test;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRuns = 9;
constexpr int kPages = 12;
constexpr double kTargetMs = 100.0;

// Newest first in the list: Mono, ColourB, ColourA. A4 at 200 dpi is the
// simulator's default page.
constexpr const char* kStore = R"(<mfp name="Bench">
  <box id="1" name="Scans">
    <doc id="CA" name="ColourA" timestamp="2026/12/01 09:00:00" pages="12" color="1"/>
    <doc id="CB" name="ColourB" timestamp="2026/12/02 09:00:00" pages="1" color="1"/>
    <doc id="B1" name="Mono" timestamp="2026/12/03 09:00:00" pages="12" color="0"/>
  </box>
</mfp>)";
constexpr int kRowMono = 0;
constexpr int kRowColourB = 1;
constexpr int kRowColourA = 2;
constexpr const char* kDocIds[] = {"000000CA", "000000CB", "000000B1"};

// Ended on a failure, whose exit runs no destructors: the simulator would
// stay behind.
SimProcess* g_sim = nullptr;

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "bench_preview_program: %s\n", what.c_str());
  if (g_sim) g_sim->Terminate();
  std::exit(1);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// The main window's control |controlId| on the screen, as the
// outside-driven test finds it.
XRect PlaceMain(const Layout& l, int controlId) {
  return l.Place(TemplateRect(res::IDD_MAIN, controlId));
}

std::vector<Band> InkBands(XInput& input, const XRect& area) {
  const auto screen = input.Grab();
  return screen ? InkBands(*screen, area) : std::vector<Band>{};
}

// The mouse and the frame's pixels over a connection of our own, with the
// press timed on its own (XInput's click pauses around it).
class Hands {
 public:
  explicit Hands(const std::string& display) : display_(OpenTestDisplay(display)) {
    if (!display_) Fail("no X connection");
  }
  ~Hands() { XCloseDisplay(display_); }

  void MoveTo(int x, int y) {
    XTestFakeMotionEvent(display_, -1, x, y, CurrentTime);
    XSync(display_, False);
    // GTK learns which widget is under the pointer before the press.
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
  }
  void Click() {
    XTestFakeButtonEvent(display_, 1, True, CurrentTime);
    XTestFakeButtonEvent(display_, 1, False, CurrentTime);
    XSync(display_, False);
  }
  // The pixels of |r|, as 0xRRGGBB.
  std::vector<std::uint32_t> Read(const XRect& r) {
    std::vector<std::uint32_t> out;
    XImage* image = XGetImage(display_, DefaultRootWindow(display_), r.x, r.y, r.width, r.height,
                              AllPlanes, ZPixmap);
    if (!image) return out;
    out.reserve(static_cast<std::size_t>(r.width) * r.height);
    for (int y = 0; y < r.height; ++y) {
      for (int x = 0; x < r.width; ++x) {
        out.push_back(static_cast<std::uint32_t>(XGetPixel(image, x, y) & 0xffffff));
      }
    }
    XDestroyImage(image);
    return out;
  }

 private:
  Display* display_;
};

// The share of pixels that differ visibly.
double Differing(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b) {
  if (a.size() != b.size() || a.empty()) return 1;
  std::size_t n = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    for (int shift : {0, 8, 16}) {
      const int d = static_cast<int>((a[i] >> shift) & 0xff) - static_cast<int>((b[i] >> shift) & 0xff);
      if (d > 24 || d < -24) {
        ++n;
        break;
      }
    }
  }
  return static_cast<double>(n) / static_cast<double>(a.size());
}

// Clicks at |x, y| and watches the frame, and |field| when given, until
// the frame has not changed for a while and the field no longer shows what
// it showed before the click: the time from the press to the first screen
// that showed both as they stay, and the frame's picture then.
struct Shown {
  double ms = 0;
  std::vector<std::uint32_t> picture;
};
Shown ClickAndWatch(Hands& hands, int x, int y, const XRect& frame, const XRect* field = nullptr) {
  constexpr auto kSettled = std::chrono::milliseconds(400);
  const std::vector<std::uint32_t> fieldBefore =
      field ? hands.Read(*field) : std::vector<std::uint32_t>{};
  hands.MoveTo(x, y);
  Shown out{0, hands.Read(frame)};
  const auto start = Clock::now();
  hands.Click();
  auto frameSince = start;  // since when the frame shows |out.picture|
  std::optional<Clock::time_point> fieldSince;
  if (!field) fieldSince = start;
  for (;;) {
    const auto now = Clock::now();
    std::vector<std::uint32_t> picture = hands.Read(frame);
    if (Differing(picture, out.picture) > 0) {
      out.picture = std::move(picture);
      frameSince = now;
    }
    if (!fieldSince && Differing(hands.Read(*field), fieldBefore) > 0.01) fieldSince = now;
    if (fieldSince && now - frameSince > kSettled && now - *fieldSince > kSettled) break;
    if (now - start > std::chrono::seconds(10)) {
      Fail(fieldSince ? "the frame did not settle" : "the page field did not change");
    }
  }
  out.ms = std::chrono::duration<double, std::milli>(std::max(frameSince, *fieldSince) - start).count();
  return out;
}

void Run(bool withWindowManager) {
  XvfbServer xvfb;
  if (!xvfb.ok()) Fail("no Xvfb");
  std::unique_ptr<WindowManager> wm;
  if (withWindowManager) {
    wm = std::make_unique<WindowManager>(xvfb.Display());
    if (!wm->ok()) {
      std::printf("preview of the built program under openbox: no window manager, not run\n");
      return;
    }
  }
  ProgramCopy copy;
  SimOptions options;
  options.config = kStore;
  SimProcess sim(options);
  g_sim = &sim;
  // The simulator makes each page on its first request; made now, the
  // program's downloads take what a device that has the page takes.
  for (const char* id : kDocIds) {
    for (int page = 1; page <= kPages; ++page) {
      sim.Get("/loadimg.cgi?FileID=" + std::string(id) + "&PageNumber=" + std::to_string(page));
    }
  }
  copy.Write("program/setting/tallowmere.ini",
             "[MFPInfo]\nmachineName=Bench\nIPv4Address=127.0.0.1\nhttpPortNumber=" + std::to_string(sim.Port()) +
                 "\nisNotShowDlg=1\n[SettingInfo]\nboxIndex=1\nSimpleMode=0\nDeleteFile=0\nfolderPath=" +
                 copy.File("out") + "\n");
  ProgramProcess program(copy, xvfb.Display());
  XWindows windows(xvfb.Display());
  XInput input(xvfb.Display());
  if (!windows.ok() || !input.ok()) Fail("no X connection");
  const auto main = windows.WaitForWindow(
      program.Pid(), [](const XTopWindow& w) { return w.title == "Tallowmere"; },
      std::chrono::seconds(30));
  if (!main) {
    std::string titles;
    for (const XTopWindow& w : windows.WindowsOf(program.Pid())) titles += " \"" + w.title + "\"";
    Fail("no main window; windows:" + titles + "; " + program.Stderr());
  }
  std::optional<Layout> layout;
  if (!WaitFor([&] {
        layout = MainWindowLayout(input, main->id);
        return layout && layout->clientTop > 0 &&
               InkBands(input, PlaceMain(*layout, res::IDC_MAIN_BOX_TREE)).size() >= 2;
      }, std::chrono::seconds(30))) {
    Fail("no boxes listed");
  }
  const Layout& l = *layout;
  const Band box = InkBands(input, PlaceMain(l, res::IDC_MAIN_BOX_TREE))[1];
  input.Click(box.right - 3, (box.top + box.bottom) / 2);
  const XRect list = PlaceMain(l, res::IDC_MAIN_DOCUMENT_LIST);
  if (!WaitFor([&] { return InkBands(input, list).size() >= 4; }, std::chrono::seconds(30))) {
    Fail("no documents listed");
  }
  const std::vector<Band> rows = InkBands(input, list);
  const auto rowY = [&](int row) { return (rows[row + 1].top + rows[row + 1].bottom) / 2; };
  const int rowX = list.x + list.width / 3;
  const XRect check = PlaceMain(l, res::IDC_MAIN_PREVIEW);
  input.Click(CenterX(check), CenterY(check));
  // The frame's inside, less its border.
  XRect frame = PlaceMain(l, res::IDC_MAIN_PREVIEW_FRAME);
  frame = {frame.x + 3, frame.y + 3, frame.width - 6, frame.height - 6};

  Hands hands(xvfb.Display());
  const XRect next = PlaceMain(l, res::IDC_MAIN_NEXT_PAGE);
  const XRect prev = PlaceMain(l, res::IDC_MAIN_PREV_PAGE);
  const XRect pageField = PlaceMain(l, res::IDC_MAIN_PAGE);
  const std::vector<std::uint32_t> empty = hands.Read(frame);
  const auto changed = [](const Shown& s, const std::vector<std::uint32_t>& before) {
    if (Differing(s.picture, before) < 0.02) Fail("the frame did not show another page");
  };

  // Colour: page 1, each next page for the first time, then back.
  const Shown colourA = ClickAndWatch(hands, rowX, rowY(kRowColourA), frame);
  changed(colourA, empty);
  std::vector<double> colourFirst, colourAgain;
  for (int page = 2; page <= kPages; ++page) {
    colourFirst.push_back(ClickAndWatch(hands, CenterX(next), CenterY(next), frame, &pageField).ms);
  }
  for (int page = kPages - 1; page >= 1; --page) {
    colourAgain.push_back(ClickAndWatch(hands, CenterX(prev), CenterY(prev), frame, &pageField).ms);
  }

  // Black and white, each page a picture of its own.
  Shown mono = ClickAndWatch(hands, rowX, rowY(kRowMono), frame);
  changed(mono, colourA.picture);
  std::vector<double> monoFirst, monoAgain;
  for (int page = 2; page <= kPages; ++page) {
    const std::vector<std::uint32_t> before = mono.picture;
    mono = ClickAndWatch(hands, CenterX(next), CenterY(next), frame, &pageField);
    changed(mono, before);
    monoFirst.push_back(mono.ms);
  }
  for (int page = kPages - 1; page >= 1; --page) {
    const std::vector<std::uint32_t> before = mono.picture;
    mono = ClickAndWatch(hands, CenterX(prev), CenterY(prev), frame, &pageField);
    changed(mono, before);
    monoAgain.push_back(mono.ms);
  }

  // Documents, one and then the other.
  std::vector<double> documentClicks;
  std::vector<std::uint32_t> before = mono.picture;
  for (int r = 0; r < kRuns; ++r) {
    const Shown s = ClickAndWatch(hands, rowX, rowY(r % 2 == 0 ? kRowColourB : kRowColourA), frame);
    changed(s, before);
    before = s.picture;
    documentClicks.push_back(s.ms);
  }
  windows.Close(*main);
  program.WaitForExit(std::chrono::seconds(30));

  const auto report = [](const char* what, const std::vector<double>& v) {
    if (v.empty()) return;
    const double m = Median(v);
    std::printf("  %-22s %6.0f ms (%4.0f to %4.0f)  target < %.0f ms: %s\n", what, m,
                *std::min_element(v.begin(), v.end()), *std::max_element(v.begin(), v.end()),
                kTargetMs, m < kTargetMs ? "met" : "MISSED");
  };
  std::printf("preview of the built program%s, from the press to the page on the screen, medians:\n",
              withWindowManager ? " under openbox" : "");
  report("page step, colour", colourFirst);
  report("  again, back", colourAgain);
  report("page step, B/W", monoFirst);
  report("  again, back", monoAgain);
  report("click on a document", documentClicks);
}

}  // namespace

int main() {
  res::RegisterProgramResources();
  Run(false);
  Run(true);
  return 0;
}
