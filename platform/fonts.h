// Which character sets the display's fonts can show. The other system's code
// asks for a font of a GDI character set; here the font service (fontconfig)
// is asked whether an installed font covers that character set's script.
#pragma once

#include <cstdint>

namespace tallow {

// GDI character-set values (the low byte of a character-set field).
inline constexpr std::uint8_t ANSI_CHARSET = 0;
inline constexpr std::uint8_t DEFAULT_CHARSET = 1;
inline constexpr std::uint8_t SYMBOL_CHARSET = 2;
inline constexpr std::uint8_t MAC_CHARSET = 77;
inline constexpr std::uint8_t SHIFTJIS_CHARSET = 128;
inline constexpr std::uint8_t HANGUL_CHARSET = 129;
inline constexpr std::uint8_t JOHAB_CHARSET = 130;
inline constexpr std::uint8_t GB2312_CHARSET = 134;
inline constexpr std::uint8_t CHINESEBIG5_CHARSET = 136;
inline constexpr std::uint8_t GREEK_CHARSET = 161;
inline constexpr std::uint8_t TURKISH_CHARSET = 162;
inline constexpr std::uint8_t VIETNAMESE_CHARSET = 163;
inline constexpr std::uint8_t HEBREW_CHARSET = 177;
inline constexpr std::uint8_t ARABIC_CHARSET = 178;
inline constexpr std::uint8_t BALTIC_CHARSET = 186;
inline constexpr std::uint8_t RUSSIAN_CHARSET = 204;
inline constexpr std::uint8_t THAI_CHARSET = 222;
inline constexpr std::uint8_t EASTEUROPE_CHARSET = 238;
inline constexpr std::uint8_t OEM_CHARSET = 255;

enum class FontAnswer {
  kNoFontService,  // nothing to ask: no font configuration, or no font at all
  kFound,          // at least one font covers the character set
  kNotFound,       // fonts exist, none covers it (or the value is unknown)
};

// Asks the installed font backend; without one, the system's fonts.
// DEFAULT_CHARSET, SYMBOL_CHARSET and OEM_CHARSET are covered by any font.
FontAnswer FindFontForCharset(std::uint8_t charset);

class FontBackend {
 public:
  virtual ~FontBackend() = default;
  virtual FontAnswer FindFontForCharset(std::uint8_t charset) = 0;
};
// The backend stays owned by the caller; nullptr restores the system's fonts.
void InstallFontBackend(FontBackend* backend);

}  // namespace tallow
