#include "tiff_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dumel {

namespace {

int Quiet(TIFF*, void*, const char*, const char*, va_list) { return 1; }

int Counted(TIFF*, void* errors, const char*, const char*, va_list) {
  if (errors) ++*static_cast<int*>(errors);
  return 1;
}

struct OptionsDeleter {
  void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

std::unique_ptr<TIFFOpenOptions, OptionsDeleter> QuietOptions(tmsize_t maxSingleAlloc, int* errors) {
  std::unique_ptr<TIFFOpenOptions, OptionsDeleter> options(TIFFOpenOptionsAlloc());
  if (!options) return options;
  if (maxSingleAlloc > 0) TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), maxSingleAlloc);
  TIFFOpenOptionsSetErrorHandlerExtR(options.get(), Counted, errors);
  TIFFOpenOptionsSetWarningHandlerExtR(options.get(), Quiet, nullptr);
  return options;
}

}  // namespace

TiffHandle OpenTiffForReading(const std::string& path, tmsize_t maxSingleAlloc, int* errors) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return nullptr;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  auto options = QuietOptions(maxSingleAlloc, errors);
  if (!options) {
    ::close(fd);
    return nullptr;
  }
  // "m": read, never map the file.
  TIFF* tiff = TIFFFdOpenExt(fd, path.c_str(), "rm", options.get());
  if (!tiff) ::close(fd);
  return TiffHandle(tiff);
}

TiffHandle OpenTiffForWriting(int fd, const std::string& name, bool bigTiff) {
  if (fd < 0) return nullptr;
  auto options = QuietOptions(0, nullptr);
  TIFF* tiff = options ? TIFFFdOpenExt(fd, name.c_str(), bigTiff ? "w8" : "w", options.get())
                       : nullptr;
  if (!tiff) ::close(fd);
  return TiffHandle(tiff);
}

}  // namespace dumel
