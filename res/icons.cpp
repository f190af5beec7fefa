#include "res/icons.h"

#include <cstddef>
#include <string_view>

namespace tallow::res {

using namespace tallow::ui;

namespace {

// Every row as wide as the icon is tall; a short row would shift the picture.
template <std::size_t N>
consteval bool IsSquare(const char* const (&rows)[N], std::size_t size) {
  if (N != size) return false;
  for (const char* row : rows) {
    if (std::string_view(row).size() != size) return false;
  }
  return true;
}

// Colours are 0xAARRGGBB; '.' (in no palette) is transparent.

// A lit candle in a brass dish, its flame in a soft glow.
constexpr const char* kApplicationRows[] = {
    ".............gggggg.............",
    "...........ggggrrgggg...........",
    "..........gggGGrrGGggg..........",
    ".........gggGGroorGGggg.........",
    "........gggGGGroorGGGggg........",
    "........ggGGGroyyorGGGgg........",
    "........ggGGGroyyorGGGgg........",
    ".......ggGGGroywwyorGGGgg.......",
    ".......ggGGGroywwyorGGGgg.......",
    ".......ggGGGroywwyorGGGgg.......",
    "........ggGGroyyyyorGGgg........",
    "........ggGGrooyyoorGGgg........",
    "........gggGGroooorGGggg........",
    ".........gggGGobboGGggg.........",
    "..........kkkkkbbkkkkk..........",
    "..........kcccccccccsk..........",
    "..........kccmmmmccssk..........",
    "..........kccmmmmccssk..........",
    "..........kccmmmmcmssk..........",
    "..........kccmmmmcmssk..........",
    "..........kccmmmmmmssk..........",
    "..........kccmmmmmmssk..........",
    "..........kccmmmmmmssk..........",
    "..........kccmmmmmmssk..........",
    "..........kccmmmmmmssk..........",
    ".....kkkkkkccmmmmmmsskkkkkk.....",
    "....klllllkkkkkkkkkkkkllhhdk....",
    "...klhhhhhhhhhhhhhhhhhhhhhddk...",
    "...kdhhhhhhhhhhhhhhhhhhhhdddk...",
    "....kddddddddddddddddddddddk....",
    ".....kkkkkkkkkkkkkkkkkkkkkk.....",
    "................................",
};
constexpr IconColour kApplicationPalette[] = {
    {'g', 0x40FF9A2A},  // glow, outer
    {'G', 0x70FFB43C},  // glow, inner
    {'r', 0xFFD8401A},  // flame edge
    {'o', 0xFFF5921E},  // flame
    {'y', 0xFFFFD23C},  // flame, bright
    {'w', 0xFFFFF6C8},  // flame core
    {'b', 0xFF2B1A0E},  // wick
    {'k', 0xFF4A2A10},  // outline
    {'c', 0xFFFFF6E2},  // wax, lit side
    {'m', 0xFFF2DDB4},  // wax
    {'s', 0xFFD2B07C},  // wax, shaded side
    {'l', 0xFFF6D488},  // brass, lit
    {'h', 0xFFE0AA40},  // brass
    {'d', 0xFFA06C1C},  // brass, shaded
};
static_assert(IsSquare(kApplicationRows, 32));

// A page of text with its top right corner folded.
constexpr const char* kDocumentRows[] = {
    "................",
    "..kkkkkkkkk.....",
    "..kwwwwwwwkk....",
    "..kwllllwwkgk...",
    "..kwwwwwwwkggk..",
    "..kwllllllkkkkk.",
    "..kwwwwwwwwwwgk.",
    "..kwllllllllwgk.",
    "..kwwwwwwwwwwgk.",
    "..kwllllllllwgk.",
    "..kwwwwwwwwwwgk.",
    "..kwllllllllwgk.",
    "..kwwwwwwwwwwgk.",
    "..kwlllllwwwwgk.",
    "..kgggggggggggk.",
    "..kkkkkkkkkkkkk.",
};
constexpr IconColour kDocumentPalette[] = {
    {'k', 0xFF3E4652},  // outline
    {'w', 0xFFFFFFFF},  // paper
    {'g', 0xFFD5DCE5},  // paper, shaded
    {'l', 0xFF8FA3BC},  // text
};
static_assert(IsSquare(kDocumentRows, 16));

// A closed storage box with a label.
constexpr const char* kBoxRows[] = {
    "................",
    "................",
    "................",
    ".kkkkkkkkkkkkkk.",
    ".klllllllllllmk.",
    ".kttttttttttttk.",
    ".kkkkkkkkkkkkkk.",
    "..kffffffffffk..",
    "..kffkkkkkkfsk..",
    "..kffkppppkfsk..",
    "..kffkkkkkkfsk..",
    "..kffffffffffk..",
    "..kffffffffffk..",
    "..kssssssssssk..",
    "..kkkkkkkkkkkk..",
    "................",
};
constexpr IconColour kBoxPalette[] = {
    {'k', 0xFF5A3814},  // outline
    {'l', 0xFFF6D29A},  // lid, lit
    {'t', 0xFFE0AE68},  // lid
    {'m', 0xFFC08A48},  // lid, shaded
    {'f', 0xFFD39A52},  // front
    {'s', 0xFFAA7434},  // front, shaded
    {'p', 0xFFF8F2E4},  // label
};
static_assert(IsSquare(kBoxRows, 16));

// The same box open, a page showing, in brighter colours.
constexpr const char* kBoxSelectedRows[] = {
    "................",
    "..kkkkkkkkkkkk..",
    "..kttkkkkkkttk..",
    "..kttkppppkttk..",
    "..kttkpllpkttk..",
    ".kkkkkppppkkkkk.",
    ".kiiikppppkiiik.",
    ".kkkkkkkkkkkkkk.",
    "..kffffffffffk..",
    "..kffkkkkkkfsk..",
    "..kffkppppkfsk..",
    "..kffkkkkkkfsk..",
    "..kffffffffffk..",
    "..kssssssssssk..",
    "..kkkkkkkkkkkk..",
    "................",
};
constexpr IconColour kBoxSelectedPalette[] = {
    {'k', 0xFF5A3814},  // outline
    {'t', 0xFFF7D9A0},  // lid, inside
    {'f', 0xFFF2B862},  // front
    {'s', 0xFFCC8C3E},  // front, shaded
    {'p', 0xFFFFFFFF},  // paper
    {'l', 0xFF8FA3BC},  // text
    {'i', 0xFF6B4418},  // inside
};
static_assert(IsSquare(kBoxSelectedRows, 16));

// A printer-scanner: scanner lid, control panel and a printed page.
constexpr const char* kRootRows[] = {
    "................",
    "...kkkkkkkkkk...",
    "...kllllllllk...",
    ".kkkkkkkkkkkkkk.",
    ".kllllllllllllk.",
    ".klbbbllllllgmk.",
    ".klbbblllllllmk.",
    ".kmmmmmmmmmmmmk.",
    ".kdkkkkkkkkkkdk.",
    ".kdkwwwwwwwwkdk.",
    ".kmmkwwwwwwkmmk.",
    ".kmmkwlllwwkmmk.",
    ".kmmkwwwwwwkmdk.",
    ".kkkkkkkkkkkkkk.",
    "..kk........kk..",
    "................",
};
constexpr IconColour kRootPalette[] = {
    {'k', 0xFF30363E},  // outline
    {'l', 0xFFE6E9ED},  // casing, lit
    {'m', 0xFFB8C0C9},  // casing
    {'d', 0xFF7A8592},  // casing, shaded
    {'w', 0xFFFFFFFF},  // paper
    {'b', 0xFF3F78D0},  // display
    {'g', 0xFF38C85A},  // ready light
};
static_assert(IsSquare(kRootRows, 16));

// A triangle pointing left, lit from above.
constexpr const char* kPrevPageRows[] = {
    "................",
    "..........kk....",
    ".........klk....",
    "........kllk....",
    ".......kllmk....",
    "......klmmmk....",
    ".....klmmmmk....",
    "....klmmmmmk....",
    "....kdmmmmdk....",
    ".....kdmmmdk....",
    "......kdmmdk....",
    ".......kdmdk....",
    "........kddk....",
    ".........kdk....",
    "..........kk....",
    "................",
};
constexpr IconColour kPrevPagePalette[] = {
    {'k', 0xFF1C4A86},  // outline
    {'l', 0xFF9CCBF7},  // lit edge
    {'m', 0xFF5A9BE6},  // face
    {'d', 0xFF2F6DBA},  // shaded edge
};
static_assert(IsSquare(kPrevPageRows, 16));

// The same triangle pointing right.
constexpr const char* kNextPageRows[] = {
    "................",
    "....kk..........",
    "....klk.........",
    "....kllk........",
    "....kmllk.......",
    "....kmmmlk......",
    "....kmmmmlk.....",
    "....kmmmmmlk....",
    "....kdmmmmdk....",
    "....kdmmmdk.....",
    "....kdmmdk......",
    "....kdmdk.......",
    "....kddk........",
    "....kdk.........",
    "....kk..........",
    "................",
};
static_assert(IsSquare(kNextPageRows, 16));

constexpr IconImage kIcons[] = {
    {IDI_APPLICATION_ICON, 32, kApplicationRows, kApplicationPalette},
    {IDI_DOCUMENT, 16, kDocumentRows, kDocumentPalette},
    {IDI_BOX, 16, kBoxRows, kBoxPalette},
    {IDI_BOX_SELECTED, 16, kBoxSelectedRows, kBoxSelectedPalette},
    {IDI_ROOT, 16, kRootRows, kRootPalette},
    {IDI_PREV_PAGE, 16, kPrevPageRows, kPrevPagePalette},
    {IDI_NEXT_PAGE, 16, kNextPageRows, kPrevPagePalette},
};

}  // namespace

std::span<const IconImage> IconImages() { return kIcons; }

}  // namespace tallow::res
