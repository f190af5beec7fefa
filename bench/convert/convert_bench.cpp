// Times the PDF and TIFF codec libraries against img2pdf and tiffcp on the
// same generated pages, compares output sizes, and measures the PDF
// library's peak memory for a short and a long document. Each side runs as
// a whole process of its own (ours loads the library as the program does),
// the median of kRuns runs. Prints each figure with its target; exits 0
// unless something breaks.
#include <dlfcn.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "contracts/codec_api.h"
#include "page_maker.h"

namespace fs = std::filesystem;
using tallow::test::JpegPage;
using tallow::test::TiffPage;

extern char** environ;

namespace {

constexpr int kPages = 100;
constexpr int kLongDocument = 400;
// Pages like a device's colour scans of text: a few hundred KB each.
constexpr int kSmallPages = 200;
constexpr std::uint32_t kColorId = 0xC0104;
constexpr std::uint32_t kSmallColorId = 0xC0200;
constexpr std::uint32_t kMonoId = 0xB0;
constexpr int kRuns = 7;

std::string PageName(const std::string& folder, std::uint32_t id, int page, const char* ext) {
  char name[40];
  std::snprintf(name, sizeof name, "/%08X_%d.%s", id, page, ext);
  return folder + name;
}

std::u16string Wide(const std::string& s) { return std::u16string(s.begin(), s.end()); }

std::string ProgramFolder() { return fs::read_symlink("/proc/self/exe").parent_path().string(); }

struct Codecs {
  void* pdfModule = nullptr;
  void* tiffModule = nullptr;
  PdfEncodeFn pdf = nullptr;
  MultiTiffEncodeFn tiff = nullptr;
  bool Load() {
    const std::string folder = ProgramFolder();
    pdfModule = ::dlopen((folder + "/pdfdumel.so").c_str(), RTLD_NOW);
    tiffModule = ::dlopen((folder + "/tiffdumel.so").c_str(), RTLD_NOW);
    if (pdfModule) pdf = reinterpret_cast<PdfEncodeFn>(::dlsym(pdfModule, "PDF_Encode"));
    if (tiffModule) tiff = reinterpret_cast<MultiTiffEncodeFn>(::dlsym(tiffModule, "MultiTiffEncode"));
    return pdf && tiff;
  }
};

bool EncodePdf(const Codecs& codecs, const std::string& out, const std::string& work, std::uint32_t id,
               int pages, int flag, const std::vector<CodecPageInfo>& info) {
  std::u16string output = Wide(out), folder = Wide(work);
  return codecs.pdf(output.data(), info.data(), id, 1, pages, flag, folder.data()) >= 0;
}

bool EncodeTiff(const Codecs& codecs, const std::string& out, const std::string& work, std::uint32_t id, int pages) {
  std::u16string output = Wide(out), folder = Wide(work);
  return codecs.tiff(output.data(), id, 1, pages, folder.data()) != 0;
}

// Runs a program to its end; its exit status, -1 when it cannot run.
int Run(const std::vector<std::string>& args, rusage* usage = nullptr) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  int status = 0;
  rusage local{};
  if (::wait4(pid, &status, 0, usage ? usage : &local) < 0) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The median of kRuns wall-clock times, in seconds; negative when a run
// failed.
double MedianTime(const std::function<bool()>& run) {
  std::vector<double> times;
  for (int i = 0; i < kRuns; ++i) {
    const auto start = std::chrono::steady_clock::now();
    if (!run()) return -1;
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    times.push_back(took.count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

std::uintmax_t FileSize(const std::string& path) {
  std::error_code ec;
  const auto size = fs::file_size(path, ec);
  return ec ? 0 : size;
}

// ---- generated pages

// |count| colour A4 pages at 150 dpi, |quality| and |noise| setting their
// size. Ten are drawn; the others are copies told apart by a comment
// segment, which costs nothing to make.
void MakeColorPages(const std::string& work, std::uint32_t id, int count, int quality, int noise,
                    std::vector<CodecPageInfo>& info) {
  std::vector<std::string> drawn;
  for (int i = 0; i < 10; ++i) {
    JpegPage page;
    page.width = 1240, page.height = 1754, page.dpi = 150, page.quality = quality, page.noise = noise;
    page.seed = static_cast<std::uint32_t>(i + 1);
    drawn.push_back(tallow::test::MakeJpeg(page));
  }
  info.assign(static_cast<std::size_t>(std::max(count, kLongDocument)) + 1, CodecPageInfo{1240, 1754, 150, 150});
  for (int n = 1; n <= count; ++n) {
    const std::string& base = drawn[static_cast<std::size_t>(n % 10)];
    const std::string text = "page " + std::to_string(n);
    std::string comment = "\xFF\xFE";
    comment.push_back(static_cast<char>((text.size() + 2) >> 8));
    comment.push_back(static_cast<char>((text.size() + 2) & 0xFF));
    comment += text;
    tallow::test::WriteBytes(PageName(work, id, n, "jpg"), base.substr(0, 2) + comment + base.substr(2));
  }
}

// A4 pages at 300 dpi in CCITT Group 4. Ten are drawn; the others carry the
// same strip under a page name of their own.
void MakeMonoPages(const std::string& work, std::vector<CodecPageInfo>& info) {
  std::vector<std::string> strips;
  const std::string scratch = work + "/drawn.tif";
  for (int i = 0; i < 10; ++i) {
    TiffPage page;
    page.width = 2480, page.height = 3508, page.dpi = 300, page.glyphScale = 4;
    page.seed = static_cast<std::uint32_t>(i + 1);
    tallow::test::WriteTiff(scratch, page);
    strips.push_back(tallow::test::ReadTiffStrips(scratch).strips.at(0));
  }
  fs::remove(scratch);
  info.assign(kLongDocument + 1, CodecPageInfo{2480, 3508, 300, 300});
  for (int n = 1; n <= kPages; ++n) {
    const std::string path = PageName(work, kMonoId, n, "tif");
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    if (!tiff) throw std::runtime_error("cannot write " + path);
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, 2480u);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, 3508u);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 3508u);
    TIFFSetField(tiff, TIFFTAG_XRESOLUTION, 300.0f);
    TIFFSetField(tiff, TIFFTAG_YRESOLUTION, 300.0f);
    TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(tiff, TIFFTAG_PAGENAME, ("page " + std::to_string(n)).c_str());
    std::string& strip = strips[static_cast<std::size_t>(n % 10)];
    TIFFWriteRawStrip(tiff, 0, strip.data(), static_cast<tmsize_t>(strip.size()));
    TIFFClose(tiff);
  }
}

// Pages 101 to 400 as links to pages 1 to 100.
void LinkLongDocument(const std::string& work, std::uint32_t id, const char* ext) {
  for (int n = kPages + 1; n <= kLongDocument; ++n) {
    fs::create_hard_link(PageName(work, id, (n - 1) % kPages + 1, ext), PageName(work, id, n, ext));
  }
}

// One PDF_Encode (flag 0 or 1) or MultiTiffEncode (flag -1) in a program of
// its own; false when it fails. |report|, when given, receives the child's
// peak resident memory in KiB: it reports its own high-water mark (VmHWM),
// as the resource usage of a child would count the memory of the parent it
// was forked from.
bool EncodeInChild(const std::string& out, const std::string& work, std::uint32_t id, int pages, int flag,
                   const std::string& report = "-") {
  return Run({"/proc/self/exe", "--encode-child", out, work, std::to_string(id), std::to_string(pages),
              std::to_string(flag), report}) == 0;
}

long PeakKilobytes(const std::string& dir, const std::string& out, const std::string& work, std::uint32_t id,
                   int pages, int flag) {
  const std::string report = dir + "/peak.txt";
  fs::remove(report);
  if (!EncodeInChild(out, work, id, pages, flag, report)) return -1;
  std::FILE* f = std::fopen(report.c_str(), "r");
  long kilobytes = -1;
  if (f) {
    if (std::fscanf(f, "%ld", &kilobytes) != 1) kilobytes = -1;
    std::fclose(f);
  }
  return kilobytes;
}

long HighWaterKilobytes() {
  std::FILE* f = std::fopen("/proc/self/status", "r");
  if (!f) return -1;
  char line[256];
  long kilobytes = -1;
  while (std::fgets(line, sizeof line, f)) {
    if (std::sscanf(line, "VmHWM: %ld kB", &kilobytes) == 1) break;
  }
  std::fclose(f);
  return kilobytes;
}

int EncodeChild(char** argv) {
  Codecs codecs;
  if (!codecs.Load()) return 2;
  const std::uint32_t id = static_cast<std::uint32_t>(std::strtoul(argv[4], nullptr, 10));
  const int pages = std::atoi(argv[5]);
  const int flag = std::atoi(argv[6]);
  if (flag < 0) {
    if (!EncodeTiff(codecs, argv[2], argv[3], id, pages)) return 1;
  } else {
    const std::vector<CodecPageInfo> info(static_cast<std::size_t>(pages) + 1,
                                          flag == CODEC_PDF_MONO ? CodecPageInfo{2480, 3508, 300, 300}
                                                                 : CodecPageInfo{1240, 1754, 150, 150});
    if (!EncodePdf(codecs, argv[2], argv[3], id, pages, flag, info)) return 1;
  }
  if (std::strcmp(argv[7], "-") == 0) return 0;
  std::FILE* report = std::fopen(argv[7], "w");
  if (!report) return 3;
  std::fprintf(report, "%ld\n", HighWaterKilobytes());
  return std::fclose(report) == 0 ? 0 : 3;
}

const char* Verdict(bool met) { return met ? "met" : "MISSED"; }

}  // namespace

int main(int argc, char** argv) {
  if (argc == 8 && std::strcmp(argv[1], "--encode-child") == 0) return EncodeChild(argv);

  Codecs codecs;
  if (!codecs.Load()) {
    std::fprintf(stderr, "pdfdumel.so or tiffdumel.so not found beside %s\n", argv[0]);
    return 1;
  }
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/bench-convert-XXXXXX";
  if (!::mkdtemp(pattern.data())) {
    std::perror("mkdtemp");
    return 1;
  }
  const std::string dir = pattern;
  const std::string work = dir + "/save";
  fs::create_directory(work);
  int failures = 0;
  try {
    const auto startGenerating = std::chrono::steady_clock::now();
    std::vector<CodecPageInfo> colorInfo, smallColorInfo, monoInfo;
    // About 1 MiB a page, and a few hundred KB, as a device scans a page of text.
    MakeColorPages(work, kColorId, kPages, 92, 24, colorInfo);
    MakeColorPages(work, kSmallColorId, kSmallPages, 75, 6, smallColorInfo);
    MakeMonoPages(work, monoInfo);
    std::vector<std::string> jpegs, smallJpegs, tiffs;
    std::uintmax_t jpegBytes = 0, smallJpegBytes = 0, tiffBytes = 0;
    for (int n = 1; n <= kPages; ++n) {
      jpegs.push_back(PageName(work, kColorId, n, "jpg"));
      tiffs.push_back(PageName(work, kMonoId, n, "tif"));
      jpegBytes += FileSize(jpegs.back());
      tiffBytes += FileSize(tiffs.back());
    }
    for (int n = 1; n <= kSmallPages; ++n) {
      smallJpegs.push_back(PageName(work, kSmallColorId, n, "jpg"));
      smallJpegBytes += FileSize(smallJpegs.back());
    }
    const std::chrono::duration<double> generating = std::chrono::steady_clock::now() - startGenerating;
    std::printf("pages: %d colour JPEG (%.2f MiB each), %d colour JPEG (%.0f KiB each, %.1f MiB in all), "
                "%d black-and-white A4 300 dpi G4 (%.1f KiB each); made in %.1f s\n",
                kPages, jpegBytes / kPages / 1048576.0, kSmallPages, smallJpegBytes / kSmallPages / 1024.0,
                smallJpegBytes / 1048576.0, kPages, tiffBytes / kPages / 1024.0, generating.count());
    std::printf("times: whole processes, median of %d runs\n", kRuns);

    struct PdfCase {
      const char* name;
      std::uint32_t id;
      int flag;
      int pages;
      const std::vector<std::string>* files;
    };
    const PdfCase pdfCases[] = {{"colour 1 MiB", kColorId, CODEC_PDF_COLOR, kPages, &jpegs},
                                {"colour 300 KiB", kSmallColorId, CODEC_PDF_COLOR, kSmallPages, &smallJpegs},
                                {"black-and-white", kMonoId, CODEC_PDF_MONO, kPages, &tiffs}};
    for (const PdfCase& c : pdfCases) {
      const std::string ours = dir + "/ours.pdf", theirs = dir + "/img2pdf.pdf";
      const double oursTime = MedianTime([&] { return EncodeInChild(ours, work, c.id, c.pages, c.flag); });
      std::vector<std::string> args = {"img2pdf", "-o", theirs};
      args.insert(args.end(), c.files->begin(), c.files->end());
      const double theirTime = MedianTime([&] { return Run(args) == 0; });
      if (oursTime < 0 || theirTime < 0) {
        std::printf("PDF %s: %s failed\n", c.name, oursTime < 0 ? "PDF_Encode" : "img2pdf");
        ++failures;
        continue;
      }
      const double speed = theirTime / oursTime;
      const double size = static_cast<double>(FileSize(ours)) / static_cast<double>(FileSize(theirs));
      std::printf("PDF %-16s PDF_Encode %.3f s, img2pdf %.3f s: %.2fx faster (target >= 4x: %s)\n", c.name,
                  oursTime, theirTime, speed, Verdict(speed >= 4.0));
      std::printf("PDF %-16s size %.2f MiB vs %.2f MiB: ratio %.4f (target <= 1: %s)\n", c.name,
                  FileSize(ours) / 1048576.0, FileSize(theirs) / 1048576.0, size, Verdict(size <= 1.0));
    }

    {
      const std::string ours = dir + "/ours.tif", theirs = dir + "/tiffcp.tif";
      const double oursTime = MedianTime([&] { return EncodeInChild(ours, work, kMonoId, kPages, -1); });
      std::vector<std::string> args = {"tiffcp"};
      args.insert(args.end(), tiffs.begin(), tiffs.end());
      args.push_back(theirs);
      const double theirTime = MedianTime([&] { return Run(args) == 0; });
      if (oursTime < 0 || theirTime < 0) {
        std::printf("TIFF: %s failed\n", oursTime < 0 ? "MultiTiffEncode" : "tiffcp");
        ++failures;
      } else {
        const double speed = theirTime / oursTime;
        std::printf("TIFF black-and-white    MultiTiffEncode %.3f s, tiffcp %.3f s: %.2fx (target >= 10x: %s)\n",
                    oursTime, theirTime, speed, Verdict(speed >= 10.0));
      }
    }

    LinkLongDocument(work, kColorId, "jpg");
    LinkLongDocument(work, kMonoId, "tif");
    for (const PdfCase& c : pdfCases) {
      if (c.pages != kPages) continue;  // the long document links the first kPages pages
      const long shortPeak = PeakKilobytes(dir, dir + "/short.pdf", work, c.id, kPages, c.flag);
      const long longPeak = PeakKilobytes(dir, dir + "/long.pdf", work, c.id, kLongDocument, c.flag);
      if (shortPeak < 0 || longPeak < 0) {
        std::printf("memory %s: PDF_Encode failed\n", c.name);
        ++failures;
        continue;
      }
      // Flat: the long document may add its page objects, not its pages.
      const bool flat = longPeak <= shortPeak + shortPeak / 10 + 2048;
      std::printf("PDF %-16s peak memory of PDF_Encode: %d pages %.1f MiB, %d pages %.1f MiB (target: flat: %s)\n",
                  c.name, kPages, shortPeak / 1024.0, kLongDocument, longPeak / 1024.0, Verdict(flat));
    }
  } catch (const std::exception& e) {
    std::printf("broke: %s\n", e.what());
    ++failures;
  }
  std::error_code ec;
  fs::remove_all(dir, ec);
  return failures == 0 ? 0 : 1;
}
