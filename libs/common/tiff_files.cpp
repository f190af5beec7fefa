#include "tiff_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "page_limits.h"

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

// ---- libtiff's file procedures over a page reader (read only) and over a
// growing buffer

struct ReaderFile {
  const PageReader* page;
  std::uint64_t position = 0;
};

tmsize_t ReaderRead(thandle_t handle, void* buffer, tmsize_t size) {
  auto* file = static_cast<ReaderFile*>(handle);
  const std::uint64_t total = file->page->Size();
  if (size <= 0 || file->position >= total) return 0;
  std::uint64_t n = total - file->position;
  if (n > static_cast<std::uint64_t>(size)) n = static_cast<std::uint64_t>(size);
  if (!file->page->ReadAt(file->position, buffer, static_cast<std::size_t>(n))) return -1;
  file->position += n;
  return static_cast<tmsize_t>(n);
}

tmsize_t NoWrite(thandle_t, void*, tmsize_t) { return -1; }

toff_t ReaderSeek(thandle_t handle, toff_t offset, int whence) {
  auto* file = static_cast<ReaderFile*>(handle);
  std::uint64_t base = 0;
  if (whence == SEEK_CUR) base = file->position;
  else if (whence == SEEK_END) base = file->page->Size();
  if (offset > std::uint64_t{1} << 62 || base > (std::uint64_t{1} << 62)) return static_cast<toff_t>(-1);
  file->position = base + offset;
  return file->position;
}

int ReaderClose(thandle_t handle) {
  delete static_cast<ReaderFile*>(handle);
  return 0;
}

toff_t ReaderSize(thandle_t handle) { return static_cast<ReaderFile*>(handle)->page->Size(); }

// A page already in memory is handed to libtiff as its mapping: libtiff then
// reads it in place and checks each offset and count against the page's
// size first (read through a plain reader, a count in a damaged directory
// makes it allocate up to a megabyte before it finds the page too short).
// Files are never mapped.
int ReaderMap(thandle_t handle, void** base, toff_t* size) {
  const PageReader* page = static_cast<ReaderFile*>(handle)->page;
  if (!page->Bytes()) return 0;
  // Read only: libtiff never writes to a mapping it reads.
  *base = const_cast<std::uint8_t*>(page->Bytes());
  *size = page->Size();
  return 1;
}

int NoMap(thandle_t, void**, toff_t*) { return 0; }
void NoUnmap(thandle_t, void*, toff_t) {}

tmsize_t MemoryRead(thandle_t handle, void* buffer, tmsize_t size) {
  auto* file = static_cast<MemoryTiff*>(handle);
  if (size <= 0 || file->position >= file->data.size()) return 0;
  std::uint64_t n = file->data.size() - file->position;
  if (n > static_cast<std::uint64_t>(size)) n = static_cast<std::uint64_t>(size);
  std::memcpy(buffer, file->data.data() + file->position, n);
  file->position += n;
  return static_cast<tmsize_t>(n);
}

tmsize_t MemoryWrite(thandle_t handle, void* buffer, tmsize_t size) {
  auto* file = static_cast<MemoryTiff*>(handle);
  if (size < 0) return -1;
  const auto n = static_cast<std::uint64_t>(size);
  if (n > file->limit || file->position > file->limit - n) return -1;
  if (file->position + n > file->data.size()) file->data.resize(file->position + n);
  if (n > 0) std::memcpy(file->data.data() + file->position, buffer, n);
  file->position += n;
  return size;
}

toff_t MemorySeek(thandle_t handle, toff_t offset, int whence) {
  auto* file = static_cast<MemoryTiff*>(handle);
  std::uint64_t base = 0;
  if (whence == SEEK_CUR) base = file->position;
  else if (whence == SEEK_END) base = file->data.size();
  if (offset > file->limit || base > file->limit - offset) return static_cast<toff_t>(-1);
  file->position = base + offset;
  return file->position;
}

int MemoryClose(thandle_t) { return 0; }
toff_t MemorySize(thandle_t handle) { return static_cast<MemoryTiff*>(handle)->data.size(); }

}  // namespace

TiffHandle OpenTiffForReading(const PageReader& page, tmsize_t maxSingleAlloc, int* errors) {
  auto options = QuietOptions(maxSingleAlloc, errors);
  if (!options) return nullptr;
  auto* file = new ReaderFile{&page};
  // The handle's close frees |file|; a failed open leaves it to us.
  TIFF* tiff = TIFFClientOpenExt("page", "r", file, ReaderRead, NoWrite, ReaderSeek, ReaderClose,
                                 ReaderSize, ReaderMap, NoUnmap, options.get());
  if (!tiff) delete file;
  return TiffHandle(tiff);
}

TiffHandle OpenMemoryTiff(MemoryTiff& file, const char* mode, bool bigTiff) {
  auto options = QuietOptions(0, nullptr);
  if (!options) return nullptr;
  const std::string fullMode = std::string(mode) + (bigTiff ? "8" : "");
  TIFF* tiff = TIFFClientOpenExt("memory", fullMode.c_str(), &file, MemoryRead, MemoryWrite, MemorySeek,
                                 MemoryClose, MemorySize, NoMap, NoUnmap, options.get());
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

bool ReadTiffPageSize(TIFF* tiff, const PageLimits& limits, std::uint32_t& width,
                      std::uint32_t& height, std::string& reason) {
  width = height = 0;
  if (!TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width) || !TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height) ||
      width == 0 || height == 0) {
    reason = "no image size";
    return false;
  }
  if (width > limits.maxSide || height > limits.maxSide ||
      std::uint64_t{width} * height > limits.maxPixels) {
    reason = "image too large";
    return false;
  }
  return true;
}

}  // namespace dumel
