// Painting: the program's icon art as wx bitmaps, page pictures decoded and
// stretched, and what the layer recorded as drawn into a window.
#include "platform/ui/icon.h"
#include "platform/ui/image.h"
#include "platform/ui/wx/wx_impl.h"

#include <wx/image.h>
#include <wx/log.h>
#include <wx/mstream.h>

#include <deque>
#include <fstream>
#include <iterator>

namespace tallow::ui {

namespace {

// A page picture as wx holds it, with the last few stretched copies: the
// preview is painted again and again at the same size.
class WxDecodedImage : public DecodedImage {
 public:
  explicit WxDecodedImage(wxImage image) : image_(std::move(image)) {}

  // The part |src| stretched to |cx| x |cy|; empty when |src| misses the picture.
  wxImage Stretched(const Rect& src, int cx, int cy, bool filtered) const {
    for (const Entry& e : cache_) {
      if (e.src == src && e.cx == cx && e.cy == cy && e.filtered == filtered) return e.image;
    }
    wxRect part(src.x, src.y, src.cx, src.cy);
    part.Intersect(wxRect(0, 0, image_.GetWidth(), image_.GetHeight()));
    if (part.IsEmpty() || cx <= 0 || cy <= 0) return wxImage();
    const wxImage piece = part == wxRect(image_.GetSize()) ? image_ : image_.GetSubImage(part);
    wxImage scaled =
        piece.Scale(cx, cy, filtered ? wxIMAGE_QUALITY_HIGH : wxIMAGE_QUALITY_NEAREST);
    cache_.push_front(Entry{src, cx, cy, filtered, scaled});
    if (cache_.size() > kCached) cache_.pop_back();
    return scaled;
  }

 private:
  static constexpr std::size_t kCached = 3;
  struct Entry {
    Rect src;
    int cx;
    int cy;
    bool filtered;
    wxImage image;
  };
  wxImage image_;
  mutable std::deque<Entry> cache_;  // UI thread only
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
    const wxImage part =
        pixels->Stretched(op.src, op.dest.cx, op.dest.cy, op.stretchMode == HALFTONE);
    if (part.IsOk()) dc.DrawBitmap(wxBitmap(part), op.dest.x + offset.x, op.dest.y + offset.y);
  }
}

bool WxBackend::DecodeImage(WStringView path, std::shared_ptr<const DecodedImage>* pixels) {
  // Read here rather than by name, so that the file name's encoding is ours.
  std::ifstream in(ToAnsi(path), std::ios::binary);
  if (!in) return false;
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
  if (bytes.empty()) return false;
  wxLogNull quiet;  // a broken file answers false, not a log window
  wxMemoryInputStream stream(bytes.data(), bytes.size());
  wxImage image;
  if (!image.LoadFile(stream, wxBITMAP_TYPE_ANY) || !image.IsOk()) return false;
  if (pixels) *pixels = std::make_shared<WxDecodedImage>(std::move(image));
  return true;
}

void WxBackend::SurfaceChanged(CDialog& dialog, Control* control) {
  Impl::Window* w = impl_->Find(&dialog);
  if (!w) return;
  if (!control) {
    w->client->Refresh();
  } else if (auto it = w->indexOf.find(control); it != w->indexOf.end()) {
    w->slots[it->second].win->Refresh();
  }
  impl_->PresentChange(*w);
}

}  // namespace tallow::ui
