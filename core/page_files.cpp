#include "core/page_files.h"

#include "platform/path.h"

namespace tallow {

WString PageFileName(WStringView folder, std::uint32_t fileId, int page, std::int32_t imageFormat) {
  const char* ext = nullptr;
  if (imageFormat == kImageFormatMono) ext = "tif";
  else if (imageFormat == kImageFormatColor) ext = "jpg";
  else return {};
  WString name(folder);
  name += kPathSeparator;
  name += FromAnsi(Format("%08X_%d.%s", fileId, page, ext));
  return name;
}

}  // namespace tallow
