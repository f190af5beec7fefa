#include "pages.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>
#include <tiffio.h>

#include "wire.h"

namespace tallow::mfpsim {

// ---- Body ------------------------------------------------------------------

void Body::Append(std::shared_ptr<const std::string> owner, std::size_t offset, std::size_t length) {
  if (!owner || offset > owner->size()) return;
  length = std::min(length, owner->size() - offset);
  if (length == 0) return;
  pieces_.push_back({std::move(owner), offset, length});
  size_ += length;
}

void Body::Append(std::shared_ptr<const std::string> owner) {
  std::size_t n = owner ? owner->size() : 0;
  Append(std::move(owner), 0, n);
}

void Body::Append(std::string text) {
  Append(std::make_shared<const std::string>(std::move(text)));
}

bool Body::Write(std::size_t from, std::size_t to,
                 const std::function<bool(const char*, std::size_t)>& write) const {
  to = std::min(to, size_);
  std::size_t pos = 0;  // start of the current piece within the body
  for (const Piece& p : pieces_) {
    std::size_t end = pos + p.length;
    if (end > from && pos < to) {
      std::size_t a = std::max(from, pos) - pos;
      std::size_t b = std::min(to, end) - pos;
      if (!write(p.owner->data() + p.offset + a, b - a)) return false;
    }
    pos = end;
    if (pos >= to) break;
  }
  return true;
}

std::string Body::Flatten() const {
  std::string out;
  out.reserve(size_);
  Write(0, size_, [&](const char* d, std::size_t n) {
    out.append(d, n);
    return true;
  });
  return out;
}

// ---- Drawing helpers ---------------------------------------------------------

namespace {

// SplitMix64: cheap, good enough to make textures and layouts.
std::uint64_t Mix(std::uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

struct Rng {
  std::uint64_t state;
  std::uint32_t Next() {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return static_cast<std::uint32_t>(state >> 32);
  }
  int Range(int lo, int hi) {  // [lo, hi]
    return lo + static_cast<int>(Next() % static_cast<std::uint32_t>(hi - lo + 1));
  }
};

struct Rect {
  int x0, y0, x1, y1;
  unsigned char r, g, b;
};

// The layout of a colour document: coloured blocks on paper, the same on
// every page (pages differ by their comment segment).
std::vector<Rect> ColorLayout(std::uint32_t seed, int w, int h) {
  Rng rng{Mix(seed) | 1};
  std::vector<Rect> rects;
  int n = 4 + static_cast<int>(seed % 4);
  for (int i = 0; i < n; ++i) {
    Rect r;
    r.x0 = rng.Range(0, std::max(0, w - 1));
    r.y0 = rng.Range(0, std::max(0, h - 1));
    r.x1 = std::min(w, r.x0 + rng.Range(1, std::max(1, w / 2)));
    r.y1 = std::min(h, r.y0 + rng.Range(1, std::max(1, h / 4)));
    r.r = static_cast<unsigned char>(rng.Range(20, 235));
    r.g = static_cast<unsigned char>(rng.Range(20, 235));
    r.b = static_cast<unsigned char>(rng.Range(20, 235));
    rects.push_back(r);
  }
  return rects;
}

void ColorRow(std::uint32_t seed, const std::vector<Rect>& rects, int w, int h, int y, int noise,
              unsigned char* row) {
  // Paper with a faint diagonal gradient.
  for (int x = 0; x < w; ++x) {
    int shade = 236 + ((x + y) * 16) / std::max(1, w + h);
    row[3 * x] = static_cast<unsigned char>(shade);
    row[3 * x + 1] = static_cast<unsigned char>(shade - 2);
    row[3 * x + 2] = static_cast<unsigned char>(shade - 8);
  }
  for (const Rect& r : rects) {
    if (y < r.y0 || y >= r.y1) continue;
    for (int x = r.x0; x < r.x1; ++x) {
      row[3 * x] = r.r;
      row[3 * x + 1] = r.g;
      row[3 * x + 2] = r.b;
    }
  }
  if (noise <= 0) return;
  // Grain: gives the page the weight of a real scan.
  Rng rng{Mix((static_cast<std::uint64_t>(seed) << 32) ^ static_cast<std::uint64_t>(y)) | 1};
  std::uint32_t span = static_cast<std::uint32_t>(2 * noise + 1);
  for (int x = 0; x < w; ++x) {
    int d = static_cast<int>(rng.Next() % span) - noise;
    for (int c = 0; c < 3; ++c) {
      int v = row[3 * x + c] + d;
      row[3 * x + c] = static_cast<unsigned char>(std::clamp(v, 0, 255));
    }
  }
}

struct JpegError {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
};

void JpegErrorExit(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1);
}

// Encodes rows [y0, y0 + rows) of the page as a JPEG of that many rows.
// Kept free of C++ objects with destructors between setjmp and longjmp.
bool EncodeJpeg(std::uint32_t seed, const std::vector<Rect>& rects, int w, int h, int y0, int rows,
                int dpi, int noise, unsigned char* rowBuffer, unsigned char** out,
                unsigned long* outSize) {
  jpeg_compress_struct cinfo;
  JpegError err;
  cinfo.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = JpegErrorExit;
  *out = nullptr;
  *outSize = 0;
  if (setjmp(err.jump)) {
    jpeg_destroy_compress(&cinfo);
    std::free(*out);
    *out = nullptr;
    return false;
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, out, outSize);
  cinfo.image_width = static_cast<JDIMENSION>(w);
  cinfo.image_height = static_cast<JDIMENSION>(rows);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 90, TRUE);
  cinfo.write_JFIF_header = TRUE;
  cinfo.density_unit = 1;  // dots per inch
  cinfo.X_density = static_cast<UINT16>(dpi);
  cinfo.Y_density = static_cast<UINT16>(dpi);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    ColorRow(seed, rects, w, h, y0 + static_cast<int>(cinfo.next_scanline), noise, rowBuffer);
    JSAMPROW rowPtr = rowBuffer;
    jpeg_write_scanlines(&cinfo, &rowPtr, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return true;
}

std::string EncodeJpegString(std::uint32_t seed, const std::vector<Rect>& rects, int w, int h,
                             int y0, int rows, int dpi, int noise) {
  std::vector<unsigned char> rowBuffer(static_cast<std::size_t>(w) * 3);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  if (!EncodeJpeg(seed, rects, w, h, y0, rows, dpi, noise, rowBuffer.data(), &out, &size)) return {};
  std::string bytes(reinterpret_cast<const char*>(out), size);
  std::free(out);
  return bytes;
}

// About 1 MiB for an A4 page at 200 dpi and above; smaller pages keep the
// same weight per pixel.
constexpr double kTargetBytesPerPixel = 0.27;
constexpr double kTargetPageBytes = 1024.0 * 1024.0;

}  // namespace

std::string MakeColorJpeg(std::uint32_t seed, int width, int height, int dpi) {
  std::vector<Rect> rects = ColorLayout(seed, width, height);
  double pixels = static_cast<double>(width) * height;
  double targetPerPixel = std::min(kTargetBytesPerPixel, kTargetPageBytes / pixels);
  // Find the grain that gives the target weight on a band of the page, then
  // encode the page once with it.
  int bandRows = std::min(height, 256);
  int bandY = (height - bandRows) / 2;
  double bandPixels = static_cast<double>(width) * bandRows;
  int lo = 0, hi = 64;
  while (lo < hi) {
    int mid = (lo + hi + 1) / 2;
    std::string band = EncodeJpegString(seed, rects, width, height, bandY, bandRows, dpi, mid);
    if (band.empty()) return {};
    if (static_cast<double>(band.size()) / bandPixels <= targetPerPixel) {
      lo = mid;
    } else {
      hi = mid - 1;
    }
  }
  return EncodeJpegString(seed, rects, width, height, 0, height, dpi, lo);
}

// ---- Black-and-white pages ----------------------------------------------------

namespace {

struct MemFile {
  std::string data;
  std::size_t pos = 0;
};

tmsize_t MemRead(thandle_t h, void* buf, tmsize_t size) {
  auto* f = static_cast<MemFile*>(h);
  if (size < 0 || f->pos >= f->data.size()) return 0;
  std::size_t n = std::min(static_cast<std::size_t>(size), f->data.size() - f->pos);
  std::memcpy(buf, f->data.data() + f->pos, n);
  f->pos += n;
  return static_cast<tmsize_t>(n);
}

tmsize_t MemWrite(thandle_t h, void* buf, tmsize_t size) {
  auto* f = static_cast<MemFile*>(h);
  if (size < 0) return -1;
  std::size_t n = static_cast<std::size_t>(size);
  if (f->pos + n > f->data.size()) f->data.resize(f->pos + n);
  std::memcpy(f->data.data() + f->pos, buf, n);
  f->pos += n;
  return size;
}

toff_t MemSeek(thandle_t h, toff_t off, int whence) {
  auto* f = static_cast<MemFile*>(h);
  std::int64_t base = whence == SEEK_CUR ? static_cast<std::int64_t>(f->pos)
                      : whence == SEEK_END ? static_cast<std::int64_t>(f->data.size())
                                           : 0;
  std::int64_t target = base + static_cast<std::int64_t>(off);
  if (target < 0 || target > (std::int64_t{1} << 32)) return static_cast<toff_t>(-1);
  f->pos = static_cast<std::size_t>(target);
  return static_cast<toff_t>(target);
}

int MemClose(thandle_t) { return 0; }
toff_t MemSize(thandle_t h) { return static_cast<MemFile*>(h)->data.size(); }
int MemMap(thandle_t, void**, toff_t*) { return 0; }
void MemUnmap(thandle_t, void*, toff_t) {}

void SetBit(std::vector<unsigned char>& row, int x0, int x1) {
  for (int x = std::max(0, x0); x < x1; ++x) row[x >> 3] |= static_cast<unsigned char>(0x80 >> (x & 7));
}

// One row of a page of "text": a bar code of the document id and page at the
// top, then lines of words whose lengths depend on document, page and line.
void BwRow(std::uint32_t seed, int page, int w, int h, int dpi, int y,
           std::vector<unsigned char>& row) {
  std::fill(row.begin(), row.end(), 0);  // 0 is white (min-is-white)
  int margin = std::max(1, w / 12);
  int top = std::max(1, h / 20);
  int codeHeight = std::max(1, dpi / 4);
  if (y >= top && y < top + codeHeight) {
    std::uint64_t code = (static_cast<std::uint64_t>(seed) << 16) | static_cast<std::uint16_t>(page);
    int bar = std::max(1, (w - 2 * margin) / 100);
    for (int i = 0; i < 48; ++i) {
      int x = margin + i * 2 * bar;
      int width = (code >> (47 - i)) & 1 ? 2 * bar - 1 : std::max(1, bar / 2);
      SetBit(row, x, std::min(w, x + width));
    }
    return;
  }
  int lineHeight = std::max(4, dpi / 6);
  int textTop = top + codeHeight + lineHeight;
  if (y < textTop || y >= h - top) return;
  int line = (y - textTop) / lineHeight;
  int inLine = (y - textTop) % lineHeight;
  if (inLine >= lineHeight * 3 / 5) return;  // the gap between lines
  Rng rng{Mix((static_cast<std::uint64_t>(seed) << 32) ^ (static_cast<std::uint64_t>(page) << 16) ^
              static_cast<std::uint64_t>(line)) |
          1};
  int x = margin;
  int right = w - margin;
  if (rng.Range(0, 9) == 0) right = margin + (right - margin) / 3;  // end of a paragraph
  int glyph = std::max(2, lineHeight / 3);
  while (x < right) {
    int word = glyph * rng.Range(1, 9);
    SetBit(row, x, std::min(right, x + word));
    // Letters: a thin white cut every glyph width, varying by row.
    for (int c = x + glyph - 1; c < x + word && c < right; c += glyph) {
      if (((c / glyph + inLine) % 3) != 0) row[c >> 3] &= static_cast<unsigned char>(~(0x80 >> (c & 7)));
    }
    x += word + glyph;
  }
}

}  // namespace

std::string MakeBwTiff(std::uint32_t seed, int page, int width, int height, int dpi) {
  MemFile file;
  TIFF* tif = TIFFClientOpen("page", "w", &file, MemRead, MemWrite, MemSeek, MemClose, MemSize,
                             MemMap, MemUnmap);
  if (!tif) return {};
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(width));
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(height));
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  TIFFSetField(tif, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, static_cast<std::uint32_t>(height));  // one strip
  TIFFSetField(tif, TIFFTAG_XRESOLUTION, static_cast<float>(dpi));
  TIFFSetField(tif, TIFFTAG_YRESOLUTION, static_cast<float>(dpi));
  TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
  std::vector<unsigned char> row((static_cast<std::size_t>(width) + 7) / 8);
  bool ok = true;
  for (int y = 0; y < height && ok; ++y) {
    BwRow(seed, page, width, height, dpi, y, row);
    ok = TIFFWriteScanline(tif, row.data(), static_cast<std::uint32_t>(y), 0) == 1;
  }
  ok = ok && TIFFWriteDirectory(tif) == 1;
  TIFFClose(tif);
  return ok ? std::move(file.data) : std::string{};
}

// ---- Cache ---------------------------------------------------------------------

namespace {

// Past this, the cache starts again from nothing: a simple bound for
// configurations with very many or very large pages.
constexpr std::size_t kCacheLimit = std::size_t{768} << 20;

// End of the JFIF APP0 segment that must follow SOI; the page's comment goes
// right after it. Falls back to just after SOI.
std::size_t CommentPlace(const std::string& jpeg) {
  auto b = [&](std::size_t i) { return static_cast<unsigned char>(jpeg[i]); };
  if (jpeg.size() >= 6 && b(2) == 0xFF && b(3) == 0xE0) {
    std::size_t end = 4 + (static_cast<std::size_t>(b(4)) << 8 | b(5));
    if (end <= jpeg.size()) return end;
  }
  return 2;
}

std::string CommentSegment(std::uint32_t docId, int page) {
  std::string text = "FileID=" + FormatId(docId) + " PageNumber=" + std::to_string(page);
  std::size_t len = text.size() + 2;
  std::string seg = {static_cast<char>(0xFF), static_cast<char>(0xFE),
                     static_cast<char>((len >> 8) & 0xFF), static_cast<char>(len & 0xFF)};
  return seg + text;
}

}  // namespace

std::optional<PageImage> PageCache::Page(const Doc& doc, int page) {
  if (page < 1 || page > doc.pages) return std::nullopt;
  // Colour documents share one image for all their pages.
  std::uint64_t key = (static_cast<std::uint64_t>(doc.id) << 32) |
                      static_cast<std::uint32_t>(doc.color ? 0 : page);
  std::shared_ptr<Slot> slot;
  {
    std::lock_guard lock(mutex_);
    std::shared_ptr<Slot>& s = slots_[key];
    if (!s) s = std::make_shared<Slot>();
    slot = s;
  }
  bool made = false;
  std::call_once(slot->once, [&] {
    std::string bytes = doc.color ? MakeColorJpeg(doc.id, doc.width, doc.height, doc.dpi)
                                  : MakeBwTiff(doc.id, page, doc.width, doc.height, doc.dpi);
    if (bytes.empty()) return;
    if (doc.color) slot->insertAt = CommentPlace(bytes);
    slot->bytes = std::make_shared<const std::string>(std::move(bytes));
    made = true;
  });
  if (!slot->bytes) return std::nullopt;
  if (made) {
    std::lock_guard lock(mutex_);
    cachedBytes_ += slot->bytes->size();
    if (cachedBytes_ > kCacheLimit) {
      slots_.clear();
      cachedBytes_ = 0;
    }
  }
  PageImage image;
  if (doc.color) {
    image.contentType = "image/jpeg";
    image.body.Append(slot->bytes, 0, slot->insertAt);
    image.body.Append(CommentSegment(doc.id, page));
    image.body.Append(slot->bytes, slot->insertAt, slot->bytes->size() - slot->insertAt);
  } else {
    image.contentType = "image/tiff";
    image.body.Append(slot->bytes);
  }
  return image;
}

}  // namespace tallow::mfpsim
