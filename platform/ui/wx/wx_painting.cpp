// Painting: the program's icon art as wx bitmaps, page pictures decoded and
// stretched, and what the layer recorded as drawn into a window.
#include "platform/area_average.h"
#include "platform/bilevel_tiff.h"
#include "platform/ui/icon.h"
#include "platform/ui/image.h"
#include "platform/ui/wx/wx_impl.h"

#include <wx/image.h>
#include <wx/log.h>
#include <wx/mstream.h>

#include <algorithm>
#include <cmath>
#include <deque>

namespace tallow::ui {

namespace {

// A page picture: the file as read, decoded when it is first drawn, and the
// last few stretched copies as bitmaps: the preview is painted again and
// again at the same size. Black-and-white Group 4 pages made smaller are
// decoded straight to the size drawn. Other pages are decoded by wx once,
// JPEG pages reduced by the decoder itself (1/2 to 1/8) as far as leaves
// two decoded pixels for each one drawn, other TIFF pages whole, and
// area-averaged from there: a page reaches here only within the bounds of
// its header probe, so no decode asks for more than those allow. A file
// whose pixels do not decode draws nothing.
class WxDecodedImage : public DecodedImage {
 public:
  explicit WxDecodedImage(const ImageFile& file) : file_(file) {}

  // The part |src| stretched to |cx| x |cy|; not Ok when |src| misses the
  // picture or the file does not decode.
  const wxBitmap& Stretched(const Rect& src, int cx, int cy, bool filtered) const {
    for (const Entry& e : cache_) {
      if (e.src == src && e.cx == cx && e.cy == cy && e.filtered == filtered) return e.bitmap;
    }
    const wxImage stretched = Stretch(src, cx, cy, filtered);
    cache_.push_front(
        Entry{src, cx, cy, filtered, stretched.IsOk() ? wxBitmap(stretched) : wxBitmap()});
    if (cache_.size() > kCached) cache_.pop_back();
    return cache_.front().bitmap;
  }

 private:
  static constexpr std::size_t kCached = 3;
  struct Entry {
    Rect src;
    int cx;
    int cy;
    bool filtered;
    wxBitmap bitmap;
  };

  wxImage Stretch(const Rect& src, int cx, int cy, bool filtered) const {
    wxRect part(src.x, src.y, src.cx, src.cy);
    part.Intersect(wxRect(0, 0, file_.header.width, file_.header.height));
    if (part.IsEmpty() || cx <= 0 || cy <= 0) return wxImage();
    if (filtered && file_.header.format == ImageFormat::kTiff && !bilevelRefused_) {
      // A Group 4 page straight from its runs to the size drawn.
      wxImage out(cx, cy, false);
      if (AverageBilevelTiff(*file_.bytes, part.x, part.y, part.width, part.height, cx, cy,
                             out.GetData())) {
        return out;
      }
      // Another kind of TIFF, an enlargement, or data this does not
      // decode: wx's decoder.
      bilevelRefused_ = part.width >= cx && part.height >= cy;
    }
    // The decoder's reductions halve; the largest that leaves the part two
    // pixels for each one drawn, so that an edge of the page stays within
    // half a drawn pixel of its place (the decoder reduces by blocks).
    int reduction = 1;
    while (reduction < kMaxReduction && part.width / (reduction * 2) >= 2 * cx &&
           part.height / (reduction * 2) >= 2 * cy) {
      reduction *= 2;
    }
    const wxImage& picture = Decoded(reduction);
    if (!picture.IsOk()) return wxImage();
    // The part in the decoded picture's pixels.
    const double fx = static_cast<double>(picture.GetWidth()) / file_.header.width;
    const double fy = static_cast<double>(picture.GetHeight()) / file_.header.height;
    if (filtered) {
      wxImage out(cx, cy, false);
      const RgbPixels pixels{picture.GetData(), picture.GetWidth(), picture.GetHeight()};
      if (AreaAverage(pixels, part.x * fx, part.y * fy, part.width * fx, part.height * fy, cx, cy,
                      out.GetData())) {
        return out;
      }
    }
    // Enlarged (bicubic), or not filtered (nearest): wx's own resampling
    // of the part.
    wxRect piece(static_cast<int>(part.x * fx), static_cast<int>(part.y * fy),
                 std::max(1, static_cast<int>(std::lround(part.width * fx))),
                 std::max(1, static_cast<int>(std::lround(part.height * fy))));
    piece.Intersect(wxRect(picture.GetSize()));
    if (piece.IsEmpty()) return wxImage();
    const wxImage cut = piece == wxRect(picture.GetSize()) ? picture : picture.GetSubImage(piece);
    return cut.Scale(cx, cy, filtered ? wxIMAGE_QUALITY_HIGH : wxIMAGE_QUALITY_NEAREST);
  }

  // The picture decoded at 1/|reduction| of its size or larger; kept for
  // the next paints until a finer one is needed.
  const wxImage& Decoded(int reduction) const {
    if (decoded_.IsOk() && decodedReduction_ <= reduction) return decoded_;
    if (decodeFailed_) return decoded_;
    wxLogNull quiet;  // a broken file draws nothing, with no log window
    wxMemoryInputStream stream(file_.bytes->data(), file_.bytes->size());
    wxImage image;
    image.SetLoadFlags(image.GetLoadFlags() & ~wxImage::Load_Verbose);  // nor the decoder's own
    const bool jpeg = file_.header.format == ImageFormat::kJpeg;
    if (jpeg && reduction > 1) {
      // wx's JPEG handler has the decoder scale by the power of two that
      // brings the picture within these bounds, and no further.
      image.SetOption(wxIMAGE_OPTION_MAX_WIDTH, (file_.header.width + reduction - 1) / reduction);
      image.SetOption(wxIMAGE_OPTION_MAX_HEIGHT, (file_.header.height + reduction - 1) / reduction);
    }
    if (!image.LoadFile(stream, jpeg ? wxBITMAP_TYPE_JPEG : wxBITMAP_TYPE_TIFF) || !image.IsOk()) {
      decodeFailed_ = true;
      decoded_ = wxImage();
      return decoded_;
    }
    decoded_ = std::move(image);
    decodedReduction_ = jpeg ? reduction : 1;
    return decoded_;
  }

  static constexpr int kMaxReduction = 8;
  ImageFile file_;
  // UI thread only.
  mutable wxImage decoded_;
  mutable int decodedReduction_ = 0;
  mutable bool decodeFailed_ = false;
  mutable bool bilevelRefused_ = false;
  mutable std::deque<Entry> cache_;
};

}  // namespace

wxColour ColourOf(COLORREF c) { return wxColour(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

wxImage IconArt(HICON icon, int size, COLORREF background) {
  const std::vector<std::uint32_t> argb = RenderIcon(icon, size);
  wxImage image(size, size);
  if (background == CLR_NONE) image.InitAlpha();
  const wxColour bg = ColourOf(background == CLR_NONE ? 0 : background);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const std::uint32_t p = argb[static_cast<std::size_t>(y) * size + x];
      const int a = static_cast<int>(p >> 24);
      int r = (p >> 16) & 0xFF;
      int g = (p >> 8) & 0xFF;
      int b = p & 0xFF;
      if (background == CLR_NONE) {
        image.SetAlpha(x, y, static_cast<unsigned char>(a));
      } else {
        r = (r * a + bg.Red() * (255 - a)) / 255;
        g = (g * a + bg.Green() * (255 - a)) / 255;
        b = (b * a + bg.Blue() * (255 - a)) / 255;
      }
      image.SetRGB(x, y, static_cast<unsigned char>(r), static_cast<unsigned char>(g),
                   static_cast<unsigned char>(b));
    }
  }
  return image;
}

int NaturalSize(HICON icon) {
  const IconImage* art = FindIconImage(icon);
  return art && art->size > 0 ? art->size : GetSystemMetrics(SM_CXICON);
}

const wxBitmap& WxBackend::Impl::IconBitmap(HICON icon, int size) {
  auto it = iconCache.find({icon, size});
  if (it == iconCache.end()) {
    it = iconCache.emplace(std::make_pair(icon, size), wxBitmap(IconArt(icon, size))).first;
  }
  return it->second;
}

void WxBackend::Impl::PaintSurface(wxDC& dc, const Surface& surface, const wxPoint& offset) {
  for (const DrawOp& op : surface.Ops()) {
    if (op.kind == DrawOp::Kind::kIcon) {
      if (!op.icon) continue;
      dc.DrawBitmap(IconBitmap(op.icon, GetSystemMetrics(SM_CXICON)), op.dest.x + offset.x,
                    op.dest.y + offset.y, true);
      continue;
    }
    const auto* pixels =
        dynamic_cast<const WxDecodedImage*>(op.image ? op.image->pixels.get() : nullptr);
    if (!pixels) continue;
    const wxBitmap& part =
        pixels->Stretched(op.src, op.dest.cx, op.dest.cy, op.stretchMode == HALFTONE);
    if (part.IsOk()) dc.DrawBitmap(part, op.dest.x + offset.x, op.dest.y + offset.y);
  }
}

bool WxBackend::DecodeImage(const ImageFile& file, std::shared_ptr<const DecodedImage>* pixels) {
  // Decoded when first drawn, at the size it is drawn at.
  if (pixels) *pixels = std::make_shared<WxDecodedImage>(file);
  return true;
}

void WxBackend::SurfaceChanged(CDialog& dialog, Control* control) {
  Impl::Window* w = impl_->Find(&dialog);
  if (!w) return;
  if (!control) {
    // Erasing what was never drawn changes nothing on the screen: the
    // main window erases itself for each page it previews, and repainting
    // all its controls for it took as long as drawing the page.
    const bool drawn = !dialog.GetSurface().Ops().empty();
    if (!drawn && !w->clientDrawn) return;
    w->clientDrawn = drawn;
    w->client->Refresh();
  } else if (auto it = w->indexOf.find(control); it != w->indexOf.end()) {
    w->slots[it->second].win->Refresh();
  }
  impl_->PresentChange(*w);
}

}  // namespace tallow::ui
