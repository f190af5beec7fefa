// Page pictures: a JPEG or TIFF page file loaded once and drawn scaled into a
// rectangle, as the other system's image class with its graphics library.
// The layer checks the file and reads its size itself; the back end decodes
// the pixels and does the filtered stretching when it paints.
#pragma once

#include <memory>

#include "platform/image_header.h"
#include "platform/text.h"
#include "platform/ui/backend.h"
#include "platform/ui/ui_defs.h"

namespace tallow::ui {

class CDC;

// A loaded picture, shared by the image object and what was drawn from it.
struct ImageData {
  WString path;
  ImageFormat format = ImageFormat::kJpeg;
  int width = 0;
  int height = 0;
  std::shared_ptr<const DecodedImage> pixels;  // the back end's; may be empty
};

class CImage {
 public:
  CImage() = default;
  CImage(const CImage&) = delete;
  CImage& operator=(const CImage&) = delete;

  // Replaces the picture by the file at |path|, read once. E_FAIL, with
  // the object empty, when the file is not a JPEG or TIFF whose header
  // gives its size, or the back end refuses it; a back end may decode only
  // when the picture is drawn, and then draws nothing of data that does
  // not decode.
  HRESULT Load(WStringView path);
  void Destroy() { data_.reset(); }
  bool IsNull() const { return !data_; }
  int GetWidth() const { return data_ ? data_->width : 0; }
  int GetHeight() const { return data_ ? data_->height : 0; }
  const std::shared_ptr<const ImageData>& Data() const { return data_; }

  // Draws the part |sx, sy, sw, sh| of the picture into |x, y, w, h| of |dc|,
  // in the context's stretch mode. FALSE for an empty object or an empty
  // rectangle.
  BOOL StretchBlt(CDC& dc, int x, int y, int w, int h, int sx, int sy, int sw, int sh,
                  DWORD rop = SRCCOPY) const;

 private:
  std::shared_ptr<const ImageData> data_;
};

}  // namespace tallow::ui
