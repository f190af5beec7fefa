// Page images of the simulated documents, generated on first use and kept.
// Colour pages are JPEG, black-and-white pages CCITT G4 TIFF, both carrying
// the document's size and resolution so that GETIMAGEINFO tells the truth.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "store.h"

namespace tallow::mfpsim {

// A reply body made of shared pieces, so that cached page bytes go out
// without being copied for each request.
class Body {
 public:
  void Append(std::shared_ptr<const std::string> owner, std::size_t offset, std::size_t length);
  void Append(std::shared_ptr<const std::string> owner);
  void Append(std::string text);

  std::size_t Size() const { return size_; }
  // Hands the bytes [from, to) to |write| piece by piece; stops and returns
  // false as soon as |write| does.
  bool Write(std::size_t from, std::size_t to,
             const std::function<bool(const char*, std::size_t)>& write) const;
  std::string Flatten() const;

 private:
  struct Piece {
    std::shared_ptr<const std::string> owner;
    std::size_t offset;
    std::size_t length;
  };
  std::vector<Piece> pieces_;
  std::size_t size_ = 0;
};

struct PageImage {
  const char* contentType;  // "image/jpeg" or "image/tiff"
  Body body;
};

class PageCache {
 public:
  // The image of page |page| (from 1) of |doc|; nothing when the page is
  // outside the document or the image could not be made.
  std::optional<PageImage> Page(const Doc& doc, int page);

 private:
  struct Slot {
    std::once_flag once;
    std::shared_ptr<const std::string> bytes;  // null when generation failed
    std::size_t insertAt = 0;                   // JPEG: where the page's comment goes
  };
  std::shared_ptr<Slot> GetSlot(std::uint64_t key, std::size_t& cachedBytes);

  std::mutex mutex_;
  std::map<std::uint64_t, std::shared_ptr<Slot>> slots_;
  std::size_t cachedBytes_ = 0;
};

// The generators themselves, exposed for the tests of the simulator.
// |seed| makes documents differ; |page| makes black-and-white pages differ.
std::string MakeColorJpeg(std::uint32_t seed, int width, int height, int dpi);
std::string MakeBwTiff(std::uint32_t seed, int page, int width, int height, int dpi);

}  // namespace tallow::mfpsim
