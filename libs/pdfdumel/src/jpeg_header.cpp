#include "jpeg_header.h"

#include <cstring>

namespace dumel {

// ---- PageWindow

PageWindow::PageWindow(const PageReader& page, std::vector<std::uint8_t>& buffer)
    : page_(page), buffer_(buffer) {}

bool PageWindow::Fill(std::uint64_t offset) {
  filled_ = 0;
  start_ = offset;
  if (offset >= page_.Size()) return false;
  const std::uint64_t left = page_.Size() - offset;
  const std::size_t n = left < kSize ? static_cast<std::size_t>(left) : kSize;
  // Grows to the largest piece needed, never beyond kSize.
  if (buffer_.size() < n) buffer_.resize(n);
  if (!page_.ReadAt(offset, buffer_.data(), n)) return false;
  filled_ = n;
  return true;
}

std::size_t PageWindow::Bytes(std::uint64_t offset, const std::uint8_t** data) {
  if (offset < start_ || offset >= start_ + filled_) {
    if (!Fill(offset)) return 0;
  }
  const auto at = static_cast<std::size_t>(offset - start_);
  *data = buffer_.data() + at;
  return filled_ - at;
}

bool PageWindow::Span(std::uint64_t offset, std::size_t n, const std::uint8_t** data) {
  if (n > kSize || offset > page_.Size() || n > page_.Size() - offset) return false;
  if (n == 0) {
    *data = buffer_.data();
    return true;
  }
  if (offset < start_ || offset + n > start_ + filled_) {
    if (!Fill(offset)) return false;
  }
  *data = buffer_.data() + (offset - start_);
  return true;
}

namespace {

unsigned Be16(const std::uint8_t* p) { return (unsigned{p[0]} << 8) | p[1]; }

bool IsFrameMarker(std::uint8_t m) {
  return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
}

// Markers that stand alone, without a length: TEM and the restart markers.
bool StandsAlone(std::uint8_t m) { return m == 0x01 || (m >= 0xD0 && m <= 0xD7); }

struct Density {
  double x = 0;
  double y = 0;
};

// "JFIF\0", version (2), units (1), X density (2), Y density (2). Units 0
// give only the shape of the pixels.
bool ReadJfif(const std::uint8_t* p, std::size_t n, Density& density) {
  if (n < 12 || std::memcmp(p, "JFIF\0", 5) != 0) return false;
  const unsigned units = p[7];
  const double x = Be16(p + 8);
  const double y = Be16(p + 10);
  if (units == 1) {
    density = {x, y};
  } else if (units == 2) {  // dots per centimetre
    density = {x * 2.54, y * 2.54};
  }
  return true;
}

// "Exif\0\0", then a TIFF header and its first directory, whose
// XResolution, YResolution and ResolutionUnit (inches unless it says
// otherwise) describe the image.
void ReadExif(const std::uint8_t* p, std::size_t n, Density& density) {
  if (n < 6 + 8 || std::memcmp(p, "Exif\0\0", 6) != 0) return;
  const std::uint8_t* t = p + 6;
  const std::size_t size = n - 6;
  bool little;
  if (t[0] == 'I' && t[1] == 'I') little = true;
  else if (t[0] == 'M' && t[1] == 'M') little = false;
  else return;
  auto u16 = [&](std::size_t o) -> unsigned {
    return little ? (t[o] | (unsigned{t[o + 1]} << 8)) : Be16(t + o);
  };
  auto u32 = [&](std::size_t o) -> std::uint32_t {
    return little ? (u16(o) | (std::uint32_t{u16(o + 2)} << 16)) : ((std::uint32_t{u16(o)} << 16) | u16(o + 2));
  };
  if (u16(2) != 42) return;
  const std::uint32_t ifd = u32(4);
  if (ifd < 8 || ifd > size - 2) return;
  const unsigned count = u16(ifd);
  if (std::size_t{count} * 12 > size - ifd - 2) return;
  double x = 0, y = 0;
  unsigned unit = 2;
  for (unsigned i = 0; i < count; ++i) {
    const std::size_t e = ifd + 2 + std::size_t{i} * 12;
    const unsigned tag = u16(e), type = u16(e + 2);
    const std::uint32_t values = u32(e + 4);
    if (values == 0) continue;
    if ((tag == 0x011A || tag == 0x011B) && type == 5) {  // RATIONAL, kept elsewhere
      const std::uint32_t at = u32(e + 8);
      if (size < 8 || at > size - 8) continue;
      const std::uint32_t numerator = u32(at), denominator = u32(at + 4);
      if (denominator == 0) continue;
      (tag == 0x011A ? x : y) = static_cast<double>(numerator) / denominator;
    } else if (tag == 0x0128 && type == 3) {  // SHORT, kept in the entry
      unit = u16(e + 8);
    }
  }
  const double scale = unit == 2 ? 1.0 : unit == 3 ? 2.54 : 0.0;
  density = {x * scale, y * scale};
}

void ReadAdobe(const std::uint8_t* p, std::size_t n, JpegHeader& header) {
  // "Adobe", version (2), flags0 (2), flags1 (2), transform (1)
  if (n < 12 || std::memcmp(p, "Adobe", 5) != 0) return;
  header.adobe = true;
  header.adobeTransform = p[11];
}

bool ReadFrame(std::uint8_t marker, const std::uint8_t* frame, std::size_t payload, JpegHeader& header,
               std::string& reason) {
  // Baseline, extended and progressive Huffman: what DCTDecode reads.
  if (marker > 0xC2) {
    reason = "lossless, hierarchical or arithmetic-coded JPEG";
    return false;
  }
  if (payload < 6) {
    reason = "bad frame header";
    return false;
  }
  const unsigned precision = frame[0];
  header.height = Be16(frame + 1);
  header.width = Be16(frame + 3);
  header.components = frame[5];
  if (payload != 6 + 3 * static_cast<std::size_t>(header.components)) {
    reason = "bad frame header";
    return false;
  }
  if (precision != 8) {
    reason = "not 8 bits per sample";
    return false;
  }
  if (header.width == 0 || header.height == 0) {
    reason = "no image size in the frame header";
    return false;
  }
  if (header.components != 1 && header.components != 3 && header.components != 4) {
    reason = "unsupported number of colour components";
    return false;
  }
  if (header.components == 3) {
    header.rgbComponentIds = frame[6] == 'R' && frame[9] == 'G' && frame[12] == 'B';
  }
  return true;
}

}  // namespace

bool ReadJpegHeader(PageWindow& page, JpegHeader& header, std::string& reason) {
  header = JpegHeader();
  const std::uint8_t* p = nullptr;
  if (!page.Span(0, 2, &p) || p[0] != 0xFF || p[1] != 0xD8) {
    reason = "not a JPEG file";
    return false;
  }
  Density jfif, exif;
  bool haveFrame = false;
  bool haveExif = false;
  std::uint64_t at = 2;
  for (;;) {
    if (!page.Span(at, 1, &p)) break;
    if (*p != 0xFF) {
      reason = "bytes outside a segment before the scan";
      return false;
    }
    std::uint8_t marker = 0xFF;
    while (marker == 0xFF) {  // fill bytes
      if (!page.Span(++at, 1, &p)) {
        reason = "cut inside a marker";
        return false;
      }
      marker = *p;
    }
    ++at;
    if (StandsAlone(marker)) continue;
    if (marker == 0xD8 || marker == 0xD9 || marker == 0x00) {
      reason = "image ends before its scan";
      return false;
    }
    if (!page.Span(at, 2, &p)) break;
    const unsigned length = Be16(p);
    if (length < 2) {
      reason = "bad segment length";
      return false;
    }
    const std::size_t payload = length - 2;
    at += 2;
    if (!page.Span(at, payload, &p)) break;
    at += payload;
    if (marker == 0xDA) {  // start of scan
      if (!haveFrame) {
        reason = "scan without a frame";
        return false;
      }
      header.scanData = at;
      const Density& d = jfif.x > 0 || jfif.y > 0 || !haveExif ? jfif : exif;
      header.xDensity = d.x;
      header.yDensity = d.y;
      return true;
    }
    if (IsFrameMarker(marker)) {
      if (haveFrame) {
        reason = "more than one frame";
        return false;
      }
      if (!ReadFrame(marker, p, payload, header, reason)) return false;
      haveFrame = true;
    } else if (marker == 0xE0 && !header.jfif) {
      header.jfif = ReadJfif(p, payload, jfif);
    } else if (marker == 0xE1 && !haveExif) {
      haveExif = payload >= 6 && std::memcmp(p, "Exif\0\0", 6) == 0;
      if (haveExif) ReadExif(p, payload, exif);
    } else if (marker == 0xEE && !header.adobe) {
      ReadAdobe(p, payload, header);
    }
  }
  reason = "cut short before the scan";
  return false;
}

bool CopyJpegImage(PageWindow& page, const JpegHeader& header, const JpegSink& sink, std::string& reason) {
  // Past the first scan's header: coded data, where 0xFF is followed by a
  // stuffed 0x00, a restart marker or fill; and between the scans of a
  // progressive image, segments with a length. The end-of-image marker
  // ends it all.
  enum class State { kData, kMarker, kLength1, kLength2, kSegment };
  State state = State::kData;
  std::uint64_t segmentLeft = 0;
  unsigned lengthHigh = 0;
  std::uint64_t at = 0;
  for (;;) {
    const std::uint8_t* p = nullptr;
    const std::size_t n = page.Bytes(at, &p);
    if (n == 0) {
      reason = at >= page.Size() ? "cut short: no end-of-image marker" : "page file cut short";
      return false;
    }
    std::size_t i = at < header.scanData ? static_cast<std::size_t>(std::min<std::uint64_t>(n, header.scanData - at)) : 0;
    bool ended = false;
    while (i < n && !ended) {
      switch (state) {
        case State::kData: {
          const void* ff = std::memchr(p + i, 0xFF, n - i);
          if (!ff) {
            i = n;
          } else {
            i = static_cast<std::size_t>(static_cast<const std::uint8_t*>(ff) - p) + 1;
            state = State::kMarker;
          }
          break;
        }
        case State::kMarker: {
          const std::uint8_t m = p[i++];
          if (m == 0xD9) {
            ended = true;
          } else if (m == 0x00 || StandsAlone(m)) {
            state = State::kData;
          } else if (m != 0xFF) {
            if (m == 0xD8) {
              reason = "a second image start inside the image";
              return false;
            }
            state = State::kLength1;
          }
          break;
        }
        case State::kLength1:
          lengthHigh = p[i++];
          state = State::kLength2;
          break;
        case State::kLength2: {
          const unsigned length = (lengthHigh << 8) | p[i++];
          if (length < 2) {
            reason = "bad segment length";
            return false;
          }
          segmentLeft = length - 2;
          state = segmentLeft > 0 ? State::kSegment : State::kData;
          break;
        }
        case State::kSegment: {
          const std::uint64_t take = std::min<std::uint64_t>(segmentLeft, n - i);
          i += static_cast<std::size_t>(take);
          segmentLeft -= take;
          if (segmentLeft == 0) state = State::kData;
          break;
        }
      }
    }
    if (!sink(p, i)) {
      reason = "output cannot be written";
      return false;
    }
    at += i;
    if (ended) return true;
  }
}

bool JpegUsesColorTransform(const JpegHeader& header) {
  // The decision of the common decoders: an Adobe segment says it; else
  // JFIF means YCbCr; else component ids "RGB" mean no transform.
  if (header.components == 3) {
    if (header.adobe) return header.adobeTransform != 0;
    if (header.jfif) return true;
    return !header.rgbComponentIds;
  }
  if (header.components == 4) return header.adobe && header.adobeTransform == 2;
  return false;
}

}  // namespace dumel
