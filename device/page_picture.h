// Whether a downloaded page is a picture of the document's kind: a reply
// that says it succeeded may still carry anything, and a page file that is
// no picture must not stand in the working folders as a page.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/text.h"

namespace tallow {

// Bytes that decide whether a page begins as a picture.
inline constexpr std::size_t kPageSignatureSize = 4;

// Whether the first |size| bytes of a page begin as a page of |imageFormat|
// does: a JPEG (FF D8 FF) for colour, a TIFF ("II*" 0 or "MM" 0 "*") for
// black and white.
bool BeginsAsPage(std::int32_t imageFormat, const std::uint8_t* head, std::size_t size);

// Keeps the page file |path| when it begins as a page of |imageFormat| and
// deletes it otherwise; true when it was kept.
bool KeepPageFileIfPicture(WStringView path, std::int32_t imageFormat);

}  // namespace tallow
