// What the fuzzers of the page writers share: pages and output kept in
// memory, so that an input costs no file written, read back or synced.
// (The writers' handling of files on the disk has tests of its own.)
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "codec_files.h"

namespace fuzz {

// Pages given as bytes, page 1 first.
class MemoryPages final : public dumel::PageSource {
 public:
  explicit MemoryPages(std::vector<std::string_view> pages) : pages_(std::move(pages)) {}
  const dumel::PageReader* Open(int number, std::string& reason) override {
    if (number < 1 || static_cast<std::size_t>(number) > pages_.size()) {
      reason = "no such page";
      return nullptr;
    }
    reader_ = dumel::MemoryReader(pages_[static_cast<std::size_t>(number) - 1]);
    return &reader_;
  }

 private:
  std::vector<std::string_view> pages_;
  dumel::MemoryReader reader_{{}};
};

class MemoryOutput final : public dumel::ByteOutput {
 public:
  bool Write(const void* data, std::size_t size) override {
    bytes.append(static_cast<const char*>(data), size);
    return true;
  }
  std::string bytes;
};

}  // namespace fuzz
