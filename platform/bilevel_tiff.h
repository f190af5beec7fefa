// Black-and-white TIFF pages (CCITT Group 4, as the device scans them)
// decoded straight into an area-averaged picture of the size they are shown
// at: the page's rows are decoded as runs and summed into the smaller
// picture as they come, so the page is never held at its full size. Page
// files are untrusted: anything this does not decode exactly is refused
// (another decoder may try), never guessed at.
#pragma once

#include <cstdint>
#include <span>

namespace tallow {

// The part of the first image of |file| at |x, y| of |width| x |height|
// pixels (fractions allowed) area-averaged into |cx| x |cy| RGB pixels at
// |to| (cx * cy * 3 bytes, grey: ink black, paper white). False, |to| in an
// undefined state, when the file is not a one-bit Group 4 TIFF with strips
// and the usual orientation, its data does not decode, or the part is no
// reduction (it must be at least |cx| by |cy| pixels of the page).
bool AverageBilevelTiff(std::span<const std::uint8_t> file, double x, double y, double width,
                        double height, int cx, int cy, std::uint8_t* to);

}  // namespace tallow
