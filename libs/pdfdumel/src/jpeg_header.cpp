#include "jpeg_header.h"

#include <cstring>
#include <vector>

namespace dumel {

namespace {

// Sequential reads through a window of the file, so that scanning the
// markers costs few system calls.
class ByteReader {
 public:
  explicit ByteReader(const InputFile& file) : file_(file) {}

  std::uint64_t Position() const { return position_; }
  bool AtEnd() const { return position_ >= file_.Size(); }

  bool Byte(std::uint8_t& out) {
    if (position_ >= file_.Size()) return false;
    if (position_ < windowStart_ || position_ >= windowStart_ + window_.size()) {
      const std::uint64_t left = file_.Size() - position_;
      window_.resize(left < kWindow ? static_cast<std::size_t>(left) : kWindow);
      if (!file_.ReadAt(position_, window_.data(), window_.size())) return false;
      windowStart_ = position_;
    }
    out = window_[static_cast<std::size_t>(position_ - windowStart_)];
    ++position_;
    return true;
  }

  bool Bytes(std::uint8_t* out, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
      if (!Byte(out[i])) return false;
    }
    return true;
  }

  bool Skip(std::uint64_t n) {
    if (n > file_.Size() - position_) return false;
    position_ += n;
    return true;
  }

 private:
  static constexpr std::size_t kWindow = 64 * 1024;
  const InputFile& file_;
  std::uint64_t position_ = 0;
  std::uint64_t windowStart_ = 0;
  std::vector<std::uint8_t> window_;
};

unsigned Be16(const std::uint8_t* p) { return (unsigned{p[0]} << 8) | p[1]; }

bool IsFrameMarker(std::uint8_t m) {
  return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
}

// The end-of-image marker closes the file, perhaps followed by padding.
bool EndsWithEndOfImage(const InputFile& file) {
  constexpr std::size_t kTail = 4096;
  const std::uint64_t size = file.Size();
  const std::size_t n = size < kTail ? static_cast<std::size_t>(size) : kTail;
  std::vector<std::uint8_t> tail(n);
  if (!file.ReadAt(size - n, tail.data(), n)) return false;
  std::size_t end = n;
  while (end > 0 && tail[end - 1] == 0x00) --end;
  return end >= 2 && tail[end - 2] == 0xFF && tail[end - 1] == 0xD9;
}

void ReadJfif(const std::uint8_t* p, std::size_t n, JpegHeader& header) {
  // "JFIF\0", version (2), units (1), X density (2), Y density (2)
  if (n < 12 || std::memcmp(p, "JFIF\0", 5) != 0) return;
  header.jfif = true;
  const unsigned units = p[7];
  const double x = Be16(p + 8);
  const double y = Be16(p + 10);
  if (units == 1) {
    header.xDensity = x;
    header.yDensity = y;
  } else if (units == 2) {  // dots per centimetre
    header.xDensity = x * 2.54;
    header.yDensity = y * 2.54;
  }
}

void ReadAdobe(const std::uint8_t* p, std::size_t n, JpegHeader& header) {
  // "Adobe", version (2), flags0 (2), flags1 (2), transform (1)
  if (n < 12 || std::memcmp(p, "Adobe", 5) != 0) return;
  header.adobe = true;
  header.adobeTransform = p[11];
}

}  // namespace

bool ReadJpegHeader(const InputFile& file, JpegHeader& header, std::string& reason) {
  header = JpegHeader();
  ByteReader in(file);
  std::uint8_t soi[2];
  if (!in.Bytes(soi, 2) || soi[0] != 0xFF || soi[1] != 0xD8) {
    reason = "not a JPEG file";
    return false;
  }
  bool haveFrame = false;
  for (;;) {
    std::uint8_t byte = 0;
    if (!in.Byte(byte)) break;
    if (byte != 0xFF) {
      reason = "bytes outside a segment before the scan";
      return false;
    }
    std::uint8_t marker = 0xFF;
    while (marker == 0xFF) {  // fill bytes
      if (!in.Byte(marker)) {
        reason = "cut inside a marker";
        return false;
      }
    }
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;  // no length
    if (marker == 0xD8 || marker == 0xD9 || marker == 0x00) {
      reason = "image ends before its scan";
      return false;
    }
    std::uint8_t lengthBytes[2];
    if (!in.Bytes(lengthBytes, 2)) break;
    const unsigned length = Be16(lengthBytes);
    if (length < 2) {
      reason = "bad segment length";
      return false;
    }
    const std::size_t payload = length - 2;
    if (marker == 0xDA) {  // start of scan
      if (!haveFrame) {
        reason = "scan without a frame";
        return false;
      }
      if (!in.Skip(payload)) break;
      if (!EndsWithEndOfImage(file)) {
        reason = "cut short: no end-of-image marker";
        return false;
      }
      return true;
    }
    if (IsFrameMarker(marker)) {
      if (haveFrame) {
        reason = "more than one frame";
        return false;
      }
      // Baseline, extended and progressive Huffman: what DCTDecode reads.
      if (marker > 0xC2) {
        reason = "lossless, hierarchical or arithmetic-coded JPEG";
        return false;
      }
      std::uint8_t frame[6 + 3 * 255];
      if (payload < 6 || payload > sizeof frame || !in.Bytes(frame, payload)) {
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
      haveFrame = true;
      continue;
    }
    if (marker == 0xE0 || marker == 0xEE) {
      std::uint8_t head[16];
      const std::size_t n = payload < sizeof head ? payload : sizeof head;
      if (!in.Bytes(head, n) || !in.Skip(payload - n)) break;
      if (marker == 0xE0 && !header.jfif) ReadJfif(head, n, header);
      if (marker == 0xEE && !header.adobe) ReadAdobe(head, n, header);
      continue;
    }
    if (!in.Skip(payload)) break;
  }
  reason = "cut short before the scan";
  return false;
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
