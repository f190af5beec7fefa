#include "platform/image_header.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/tiff_bytes.h"

namespace tallow {
namespace {

using Bytes = std::span<const std::uint8_t>;

std::optional<ImageHeader> Sized(ImageFormat format, std::uint64_t width, std::uint64_t height) {
  // Within the sides, the product cannot overflow.
  if (width < 1 || width > kMaxImageSide || height < 1 || height > kMaxImageSide ||
      width * height > kMaxImagePixels) {
    return std::nullopt;
  }
  return ImageHeader{format, static_cast<int>(width), static_cast<int>(height)};
}

// ---- JPEG ----

std::uint16_t Big16(Bytes data, std::size_t at) {
  return static_cast<std::uint16_t>((data[at] << 8) | data[at + 1]);
}

// SOF0..SOF15; C4, C8 and CC share the range but are DHT, JPG and DAC.
bool IsStartOfFrame(std::uint8_t marker) {
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

std::optional<ImageHeader> ReadJpeg(Bytes data) {
  std::size_t at = 2;  // past SOI
  for (;;) {
    if (at >= data.size() || data[at] != 0xFF) return std::nullopt;
    while (at < data.size() && data[at] == 0xFF) ++at;  // fill bytes
    if (at >= data.size()) return std::nullopt;
    const std::uint8_t marker = data[at++];
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;  // no length
    // A stuffed zero, a second SOI, EOI, or scan data before any frame
    // header: the size is not known and the decoder would fail too.
    if (marker == 0x00 || marker == 0xD8 || marker == 0xD9 || marker == 0xDA) {
      return std::nullopt;
    }
    if (data.size() - at < 2) return std::nullopt;
    const std::size_t length = Big16(data, at);  // counts its own two bytes
    if (length < 2 || length > data.size() - at) return std::nullopt;
    if (IsStartOfFrame(marker)) {
      // Precision, height, width, component count.
      if (length < 8) return std::nullopt;
      // A zero height is left to a later DNL marker, which we do not follow.
      return Sized(ImageFormat::kJpeg, Big16(data, at + 5), Big16(data, at + 3));
    }
    at += length;
  }
}

// ---- TIFF ----

constexpr std::uint16_t kTagImageWidth = 256;
constexpr std::uint16_t kTagImageLength = 257;
constexpr std::uint16_t kTypeShort = 3;
constexpr std::uint16_t kTypeLong = 4;
constexpr std::size_t kTiffHeaderSize = 8;
constexpr std::size_t kIfdEntrySize = 12;

// The value of a size entry when it is a SHORT or LONG held in the entry
// itself; 0 (never a valid size) otherwise.
std::uint32_t SizeValue(const TiffBytes& tiff, std::size_t entry) {
  const std::uint16_t type = tiff.U16(entry + 2);
  const std::uint32_t count = tiff.U32(entry + 4);
  if (type == kTypeShort && count >= 1 && count <= 2) return tiff.U16(entry + 8);
  if (type == kTypeLong && count == 1) return tiff.U32(entry + 8);
  return 0;
}

std::optional<ImageHeader> ReadTiff(Bytes data, bool bigEndian) {
  const TiffBytes tiff(data, bigEndian);
  const std::uint64_t ifd = tiff.U32(4);
  // Offset 0 means no image at all; the header's own bytes cannot be one.
  if (ifd < kTiffHeaderSize || ifd > data.size() || data.size() - ifd < 2) return std::nullopt;
  const std::uint64_t count = tiff.U16(ifd);
  const std::uint64_t first = ifd + 2;
  if (count * kIfdEntrySize > data.size() - first) return std::nullopt;

  std::uint32_t width = 0, height = 0;
  bool haveWidth = false, haveHeight = false;
  for (std::uint64_t i = 0; i < count; ++i) {
    const std::size_t entry = first + i * kIfdEntrySize;
    const std::uint16_t tag = tiff.U16(entry);
    // The first of repeated tags counts.
    if (tag == kTagImageWidth && !haveWidth) {
      width = SizeValue(tiff, entry);
      haveWidth = true;
    } else if (tag == kTagImageLength && !haveHeight) {
      height = SizeValue(tiff, entry);
      haveHeight = true;
    }
  }
  return Sized(ImageFormat::kTiff, width, height);
}

// Closes the descriptor on every way out.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

std::optional<ImageHeader> ReadImageHeader(std::span<const std::uint8_t> data) {
  if (data.size() >= 2 && data[0] == 0xFF && data[1] == 0xD8) return ReadJpeg(data);
  if (data.size() >= kTiffHeaderSize) {
    if (data[0] == 'I' && data[1] == 'I' && data[2] == 42 && data[3] == 0) {
      return ReadTiff(data, false);
    }
    if (data[0] == 'M' && data[1] == 'M' && data[2] == 0 && data[3] == 42) {
      return ReadTiff(data, true);
    }
  }
  return std::nullopt;
}

std::optional<ImageFile> ReadImageFile(WStringView path) {
  // A NUL would cut the native path short and name another file.
  if (path.empty() || path.find(u'\0') != WStringView::npos) return std::nullopt;
  // Non-blocking, so that a pipe put in the file's place cannot hang us.
  FileDescriptor fd(::open(ToAnsi(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (fd.get() < 0) return std::nullopt;
  struct stat st;
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0 ||
      static_cast<std::uint64_t>(st.st_size) > kMaxImageFileBytes) {
    return std::nullopt;
  }
  // What the file held when we looked: should it grow meanwhile, the rest is
  // not read; should it shrink, we parse what is there.
  auto bytes = std::make_shared<std::vector<std::uint8_t>>(static_cast<std::size_t>(st.st_size));
  std::size_t filled = 0;
  while (filled < bytes->size()) {
    const ssize_t n = ::read(fd.get(), bytes->data() + filled, bytes->size() - filled);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    filled += static_cast<std::size_t>(n);
  }
  bytes->resize(filled);
  const std::optional<ImageHeader> header = ReadImageHeader(*bytes);
  if (!header) return std::nullopt;
  return ImageFile{*header, std::move(bytes)};
}

std::optional<ImageHeader> ReadImageFileHeader(WStringView path) {
  const std::optional<ImageFile> file = ReadImageFile(path);
  if (!file) return std::nullopt;
  return file->header;
}

}  // namespace tallow
