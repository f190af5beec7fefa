#include "device/page_picture.h"

#include <cstdio>
#include <cstring>

#include "device/box_tables.h"
#include "platform/path.h"

namespace tallow {

bool BeginsAsPage(std::int32_t imageFormat, const std::uint8_t* head, std::size_t size) {
  auto startsWith = [&](const char* signature, std::size_t n) {
    return size >= n && std::memcmp(head, signature, n) == 0;
  };
  if (imageFormat == kImageFormatColor) return startsWith("\xFF\xD8\xFF", 3);
  if (imageFormat == kImageFormatMono) return startsWith("II*\0", 4) || startsWith("MM\0*", 4);
  return false;
}

bool KeepPageFileIfPicture(WStringView path, std::int32_t imageFormat) {
  const std::string file = NativePath(path);
  std::uint8_t head[kPageSignatureSize] = {};
  std::size_t size = 0;
  if (std::FILE* f = std::fopen(file.c_str(), "rb")) {
    size = std::fread(head, 1, sizeof head, f);
    std::fclose(f);
  }
  if (BeginsAsPage(imageFormat, head, size)) return true;
  std::remove(file.c_str());
  return false;
}

}  // namespace tallow
