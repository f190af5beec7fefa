// The format and pixel size of a page file from the device, read from its
// header alone, so that a page can be laid out before it is decoded. Page
// files are untrusted: anything malformed is refused, never guessed at.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "contracts/page_limits.h"
#include "platform/text.h"

namespace tallow {

enum class ImageFormat { kJpeg, kTiff };

struct ImageHeader {
  ImageFormat format;
  int width;
  int height;
};

// The bounds of a page that the codec libraries hold too. Larger files are
// refused unread.
inline constexpr std::uint64_t kMaxImageFileBytes = PAGE_MAX_FILE_BYTES;
// No page is wider or taller than kMaxImageSide pixels, nor has more than
// kMaxImagePixels: a larger size is a broken or hostile file, and decoding
// it would ask for the memory it declares.
inline constexpr int kMaxImageSide = static_cast<int>(PAGE_MAX_SIDE);
inline constexpr std::uint64_t kMaxImagePixels = PAGE_MAX_PIXELS;

// The format and pixel size of the image in |data| (a whole file), or nullopt
// when it is neither a JPEG nor a TIFF whose first image has a positive size
// within the bounds above.
std::optional<ImageHeader> ReadImageHeader(std::span<const std::uint8_t> data);

// A page file read whole, with its header: what a decoder needs, so that the
// file is read once.
struct ImageFile {
  ImageHeader header;
  std::shared_ptr<const std::vector<std::uint8_t>> bytes;  // never null
};

// Reads the file (regular files only, at most kMaxImageFileBytes) and parses
// it; nullopt when it cannot be read or parsed.
std::optional<ImageFile> ReadImageFile(WStringView path);
std::optional<ImageHeader> ReadImageFileHeader(WStringView path);

}  // namespace tallow
