// What a page picture looks like in the main window's preview frame: the
// device's A4 pages at 200 dpi (the simulator's own), stretched into the
// fit rectangle with HALFTONE as the main window paints them, match on the
// screen the whole page made smaller by exact area averaging, painted first
// and painted again from what the back end kept.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "app/main_window/main_dlg.h"
#include "pages.h"
#include "platform/ui/image.h"
#include "platform/ui/paint.h"
#include "res/resource_ids.h"
#include "tests/ui-wx/wx_fixture.h"
#include "tests/ui-wx/x_screen.h"

// After the project's headers: wx defines TRUE and FALSE as macros.
#include <wx/image.h>
#include <wx/mstream.h>

namespace tallow::ui::testing {
namespace {

using namespace std::chrono_literals;

// The whole page made |cx| x |cy| by plain sums: each pixel the mean of
// the part of the page it covers, pixels cut by its edges weighed by the
// share it covers.
wxImage AreaMean(const wxImage& page, int cx, int cy) {
  wxImage out(cx, cy);
  const double sx = static_cast<double>(page.GetWidth()) / cx;
  const double sy = static_cast<double>(page.GetHeight()) / cy;
  for (int ty = 0; ty < cy; ++ty) {
    for (int tx = 0; tx < cx; ++tx) {
      const double left = tx * sx, right = (tx + 1) * sx, top = ty * sy, bottom = (ty + 1) * sy;
      double sum[3] = {0, 0, 0};
      for (int y = static_cast<int>(top); y < bottom && y < page.GetHeight(); ++y) {
        const double wy = std::min<double>(bottom, y + 1) - std::max<double>(top, y);
        for (int x = static_cast<int>(left); x < right && x < page.GetWidth(); ++x) {
          const double w = wy * (std::min<double>(right, x + 1) - std::max<double>(left, x));
          sum[0] += w * page.GetRed(x, y);
          sum[1] += w * page.GetGreen(x, y);
          sum[2] += w * page.GetBlue(x, y);
        }
      }
      const auto level = [&](double v) { return static_cast<unsigned char>(std::lround(v / (sx * sy))); };
      out.SetRGB(tx, ty, level(sum[0]), level(sum[1]), level(sum[2]));
    }
  }
  return out;
}

struct Difference {
  double mean = 0;   // of the absolute differences of all samples
  double share = 0;  // of the samples that differ by at most kWithin
};
constexpr int kWithin = 16;

Difference Compare(const ScreenPixels& screen, int ox, int oy, const wxImage& reference) {
  long total = 0, close = 0, samples = 0;
  for (int y = 0; y < reference.GetHeight(); ++y) {
    for (int x = 0; x < reference.GetWidth(); ++x) {
      const std::uint8_t* s =
          &screen.rgb[(static_cast<std::size_t>(y + oy) * screen.width + (x + ox)) * 3];
      const int r[3] = {reference.GetRed(x, y), reference.GetGreen(x, y), reference.GetBlue(x, y)};
      for (int c = 0; c < 3; ++c) {
        const int diff = std::abs(s[c] - r[c]);
        total += diff;
        close += diff <= kWithin ? 1 : 0;
        ++samples;
      }
    }
  }
  return {static_cast<double>(total) / samples, static_cast<double>(close) / samples};
}

// The picture should stand at the fit rectangle inside the frame's border;
// it is looked for within two pixels of that, should the window system put
// the frame a pixel off, so that what is compared is the picture itself.
Difference BestMatch(const ScreenPixels& screen, const Rect& fit, const wxImage& reference) {
  Difference best{1e9, 0};
  for (int dy = -2; dy <= 2; ++dy) {
    for (int dx = -2; dx <= 2; ++dx) {
      const int ox = 1 + fit.x + dx, oy = 1 + fit.y + dy;
      if (ox < 0 || oy < 0 || ox + fit.cx > screen.width || oy + fit.cy > screen.height) continue;
      const Difference d = Compare(screen, ox, oy, reference);
      if (d.mean < best.mean) best = d;
    }
  }
  return best;
}

// The main window's preview frame as the screen shows it once |image| is
// drawn as the window paints a preview of a |width| x |height| picture;
// |fit| is where it is drawn.
std::optional<ScreenPixels> PreviewFrameWith(WxDriver& wx, const CImage& image, int width,
                                             int height, Rect& fit) {
  std::optional<ScreenPixels> shot;
  wx.OnDialogShown([&](CDialog& d) {
    Control* picture = d.GetDlgItem(res::IDC_MAIN_PREVIEW_FRAME);
    ASSERT_TRUE(picture);
    const Rect client = picture->GetClientRect();
    fit = app::FitPreviewRect(client.cx - 2, client.cy - 2, width, height);
    {
      CClientDC dc(*picture);
      dc.SetStretchBltMode(HALFTONE);
      image.StretchBlt(dc, fit.x, fit.y, fit.cx, fit.cy, 0, 0, width, height);
    }
    wx.Pump(300ms);
    shot = GrabScreen(picture->GetWindowRect());
    d.InputEscape();
  });
  CDialog dialog(res::IDD_MAIN);
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  return shot;
}

// How many pixels inside |fit| (three in from its edges) differ from the
// frame's own background.
int PixelsDrawnIn(const ScreenPixels& shot, const Rect& fit) {
  const auto at = [&](int x, int y) {
    return &shot.rgb[(static_cast<std::size_t>(y) * shot.width + x) * 3];
  };
  const std::uint8_t* background = at(3, 3);
  int drawn = 0;
  for (int y = fit.y + 3; y < fit.bottom() - 3; ++y) {
    for (int x = fit.x + 3; x < fit.right() - 3; ++x) {
      const std::uint8_t* p = at(x, y);
      drawn += (p[0] != background[0] || p[1] != background[1] || p[2] != background[2]) ? 1 : 0;
    }
  }
  return drawn;
}

// A colour page's edges may stray by a level here and there (the JPEG
// decoder makes the page smaller by blocks before it is averaged); a
// black-and-white page's picture is the mean itself.
TEST_F(WxDialogTest, PreviewOfAnA4PageIsItsAreaMean) {
  struct Case {
    const char* name;
    const char* file;
    std::string bytes;
  };
  const Case cases[] = {
      {"colour JPEG", "page.jpg", mfpsim::MakeColorJpeg(7, 1654, 2339, 200)},
      {"black-and-white G4 TIFF", "page.tif", mfpsim::MakeBwTiff(7, 1, 1654, 2339, 200)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_FALSE(c.bytes.empty());
    CImage image;
    ASSERT_EQ(image.Load(FromAnsi(scratch_.Write(c.file, c.bytes))), S_OK);
    ASSERT_EQ(image.GetWidth(), 1654);

    Rect fit;
    std::optional<ScreenPixels> first, again;
    wx_->OnDialogShown([&](CDialog& d) {
      Control* picture = d.GetDlgItem(res::IDC_MAIN_PREVIEW_FRAME);
      ASSERT_TRUE(picture);
      const Rect client = picture->GetClientRect();
      fit = app::FitPreviewRect(client.cx - 2, client.cy - 2, image.GetWidth(), image.GetHeight());
      const auto draw = [&] {
        CClientDC dc(*picture);
        dc.SetStretchBltMode(HALFTONE);
        EXPECT_TRUE(image.StretchBlt(dc, fit.x, fit.y, fit.cx, fit.cy, 0, 0, image.GetWidth(),
                                     image.GetHeight()));
      };
      draw();
      wx_->Pump(300ms);
      first = GrabScreen(picture->GetWindowRect());
      // Erased and drawn again, as the main window repaints.
      const std::size_t index = IndexOf(d, res::IDC_MAIN_PREVIEW_FRAME);
      const unsigned paints = wx_->PaintCount(d, index);
      d.Invalidate(TRUE);
      draw();
      wx_->Pump(300ms);
      EXPECT_GT(wx_->PaintCount(d, index), paints);
      again = GrabScreen(picture->GetWindowRect());
      d.InputEscape();
    });
    CDialog dialog(res::IDD_MAIN);
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    ASSERT_TRUE(first && again);

    wxImage page;
    wxMemoryInputStream stream(c.bytes.data(), c.bytes.size());
    ASSERT_TRUE(page.LoadFile(stream, wxBITMAP_TYPE_ANY));
    const wxImage reference = AreaMean(page, fit.cx, fit.cy);
    for (const ScreenPixels* shot : {&*first, &*again}) {
      const Difference d = BestMatch(*shot, fit, reference);
      EXPECT_LE(d.mean, 1.0);
      EXPECT_GE(d.share, 0.99);
    }
  }
}

// A page whose header gives its size but whose data cannot be decoded
// loads, and the frame shows nothing of it: no picture, no message.
TEST_F(WxDialogTest, APageWhoseDataDoesNotDecodeDrawsNothing) {
  // The colour page up to its frame header, then its end.
  std::string jpeg = mfpsim::MakeColorJpeg(7, 400, 560, 100);
  const std::size_t frameHeader = jpeg.find("\xFF\xC0");
  ASSERT_NE(frameHeader, std::string::npos);
  jpeg = jpeg.substr(0, frameHeader + 19) + "\xFF\xD9";
  // The black-and-white page with its one strip placed beyond the file's end.
  std::string tiff = mfpsim::MakeBwTiff(7, 1, 400, 560, 100);
  const auto u16 = [&](std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<std::uint8_t>(tiff[at]) |
                                      static_cast<std::uint8_t>(tiff[at + 1]) << 8);
  };
  ASSERT_EQ(tiff.substr(0, 2), "II");
  const std::size_t directory = u16(4) | u16(6) << 16;
  bool moved = false;
  for (std::size_t i = 0; i < u16(directory); ++i) {
    const std::size_t entry = directory + 2 + i * 12;
    if (u16(entry) != 273 || u16(entry + 4) != 1) continue;  // StripOffsets, one of them
    tiff.replace(entry + 8, 4, "\x00\x00\x00\x7F");
    moved = true;
  }
  ASSERT_TRUE(moved);
  for (const auto& [name, bytes] : {std::pair{"page.jpg", jpeg}, std::pair{"page.tif", tiff}}) {
    SCOPED_TRACE(name);
    CImage image;
    ASSERT_EQ(image.Load(FromAnsi(scratch_.Write(name, bytes))), S_OK);
    Rect fit;
    const std::optional<ScreenPixels> shot =
        PreviewFrameWith(*wx_, image, image.GetWidth(), image.GetHeight(), fit);
    ASSERT_TRUE(shot);
    // Inside the fit rectangle, the frame's own background throughout.
    EXPECT_EQ(PixelsDrawnIn(*shot, fit), 0);
  }
}

// A little-endian TIFF of one strip: a directory of |entries| (tag, type,
// count, a value held in the entry), the strip's offset and size added,
// then |strip|.
std::string OneStripTiff(std::vector<std::array<std::uint32_t, 4>> entries,
                         const std::string& strip) {
  constexpr std::uint32_t kShort = 3, kLong = 4;
  const std::size_t count = entries.size() + 2;
  const auto stripAt = static_cast<std::uint32_t>(8 + 2 + count * 12 + 4);
  entries.push_back({273, kLong, 1, stripAt});
  entries.push_back({279, kLong, 1, static_cast<std::uint32_t>(strip.size())});
  std::sort(entries.begin(), entries.end());
  std::string out = "II*";
  const auto put = [&](std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
  };
  out.push_back('\0');
  put(8, 4);
  put(static_cast<std::uint32_t>(count), 2);
  for (const auto& [tag, type, n, value] : entries) {
    put(tag, 2);
    put(type, 2);
    put(n, 4);
    put(value, type == kShort ? 2 : 4);
    if (type == kShort) put(0, 2);
  }
  put(0, 4);  // no next directory
  return out + strip;
}

// A page whose header declares more pixels than the writers take is no
// picture: it does not load, and the frame shows nothing of it. Nothing
// asks for the memory it declares either: the sanitizer's allocator stops
// this program at any single request above 512 MiB (asan_options.cpp), far
// below what decoding any of these would ask for.
TEST_F(WxDialogTest, APageLargerThanTheWritersTakeIsNoPicture) {
  constexpr std::uint32_t kShort = 3, kLong = 4;
  const std::string garbage(64, '\x5A');
  struct Case {
    const char* name;
    const char* file;
    std::string bytes;
    int width;
    int height;
  };
  const Case cases[] = {
      // Under what wx's own decoder refuses: a raster of 3.6 GB.
      {"RGB TIFF", "page.tif",
       OneStripTiff({{256, kLong, 1, 30000}, {257, kLong, 1, 30000}, {258, kShort, 1, 8},
                     {259, kShort, 1, 1}, {262, kShort, 1, 2}, {277, kShort, 1, 3},
                     {278, kLong, 1, 30000}, {284, kShort, 1, 1}},
                    garbage),
       30000, 30000},
      // Group 4 data that does not decode goes to wx's decoder whole.
      {"Group 4 TIFF", "page.tif",
       OneStripTiff({{256, kLong, 1, 30000}, {257, kLong, 1, 30000}, {258, kShort, 1, 1},
                     {259, kShort, 1, 4}, {262, kShort, 1, 0}, {277, kShort, 1, 1},
                     {278, kLong, 1, 30000}},
                    garbage),
       30000, 30000},
      // A progressive decoder holds every coefficient of the page: 8 GB.
      {"progressive JPEG", "page.jpg",
       std::string("\xFF\xD8"
                   "\xFF\xC2\x00\x0B\x08\xFD\xE8\xFD\xE8\x01\x01\x11\x00"
                   "\xFF\xDA\x00\x08\x01\x01\x00\x00\x00\x00",
                   25) +
           garbage + "\xFF\xD9",
       65000, 65000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CImage image;
    EXPECT_EQ(image.Load(FromAnsi(scratch_.Write(c.file, c.bytes))), E_FAIL);
    EXPECT_TRUE(image.IsNull());
    Rect fit;
    const std::optional<ScreenPixels> shot = PreviewFrameWith(*wx_, image, c.width, c.height, fit);
    ASSERT_TRUE(shot);
    EXPECT_EQ(PixelsDrawnIn(*shot, fit), 0);
  }
}

}  // namespace
}  // namespace tallow::ui::testing
