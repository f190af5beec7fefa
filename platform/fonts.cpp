#include "platform/fonts.h"

#include <fontconfig/fontconfig.h>

#include <atomic>
#include <cstdlib>
#include <mutex>

namespace tallow {

namespace {

std::atomic<FontBackend*> g_backend{nullptr};

// The language whose orthography stands for a GDI character set; "" means any
// font will do, nullptr that the value names no character set.
const char* LanguageOfCharset(std::uint8_t charset) {
  switch (charset) {
    case ANSI_CHARSET: return "en";
    case DEFAULT_CHARSET:
    case SYMBOL_CHARSET:
    case OEM_CHARSET: return "";
    case SHIFTJIS_CHARSET: return "ja";
    case HANGUL_CHARSET:
    case JOHAB_CHARSET: return "ko";
    case GB2312_CHARSET: return "zh-cn";
    case CHINESEBIG5_CHARSET: return "zh-tw";
    case GREEK_CHARSET: return "el";
    case TURKISH_CHARSET: return "tr";
    case VIETNAMESE_CHARSET: return "vi";
    case HEBREW_CHARSET: return "he";
    case ARABIC_CHARSET: return "ar";
    case BALTIC_CHARSET: return "lt";
    case RUSSIAN_CHARSET: return "ru";
    case THAI_CHARSET: return "th";
    case EASTEUROPE_CHARSET: return "cs";
    default: return nullptr;
  }
}

// A fontconfig configuration of our own, let go at exit. The shared one
// stays: the toolkit of the real windows uses it until the very end, and
// letting it go under the toolkit (FcFini) aborts the program at exit.
FcConfig* g_config = nullptr;

void ReleaseConfig() {
  FcConfigDestroy(g_config);
  g_config = nullptr;
}

// Number of fonts matching |pattern|, or -1 when the list cannot be made.
int CountFonts(FcPattern* pattern) {
  FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
  if (!objects) return -1;
  FcFontSet* set = FcFontList(g_config, pattern, objects);
  FcObjectSetDestroy(objects);
  if (!set) return -1;
  int n = set->nfont;
  FcFontSetDestroy(set);
  return n;
}

FontAnswer AskFontconfig(std::uint8_t charset) {
  // fontconfig's own initialisation is not safe to race.
  static std::mutex mutex;
  std::lock_guard<std::mutex> lock(mutex);
  static const bool ready = [] {
    g_config = FcInitLoadConfigAndFonts();
    if (!g_config) return false;
    std::atexit(ReleaseConfig);
    return true;
  }();
  if (!ready) return FontAnswer::kNoFontService;

  FcPattern* any = FcPatternCreate();
  if (!any) return FontAnswer::kNoFontService;
  int total = CountFonts(any);
  FcPatternDestroy(any);
  if (total <= 0) return FontAnswer::kNoFontService;

  const char* lang = LanguageOfCharset(charset);
  if (!lang) return FontAnswer::kNotFound;
  if (!*lang) return FontAnswer::kFound;

  FcPattern* pattern = FcPatternCreate();
  FcLangSet* langs = FcLangSetCreate();
  int n = -1;
  if (pattern && langs && FcLangSetAdd(langs, reinterpret_cast<const FcChar8*>(lang)) &&
      FcPatternAddLangSet(pattern, FC_LANG, langs)) {
    n = CountFonts(pattern);
  }
  if (langs) FcLangSetDestroy(langs);
  if (pattern) FcPatternDestroy(pattern);
  if (n < 0) return FontAnswer::kNoFontService;
  return n > 0 ? FontAnswer::kFound : FontAnswer::kNotFound;
}

}  // namespace

FontAnswer FindFontForCharset(std::uint8_t charset) {
  if (FontBackend* backend = g_backend.load()) return backend->FindFontForCharset(charset);
  return AskFontconfig(charset);
}

void InstallFontBackend(FontBackend* backend) { g_backend.store(backend); }

}  // namespace tallow
