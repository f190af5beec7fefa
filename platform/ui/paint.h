// Drawing into windows. What a dialog draws (a page picture stretched into
// its frame, the icon of a minimised window) is kept as a short list of
// drawing steps on the window it was drawn into; a back end shows that list
// whenever the window needs painting, and erasing the background clears it.
#pragma once

#include <memory>
#include <vector>

#include "platform/ui/ui_defs.h"

namespace tallow::ui {

class CDialog;
class Control;
struct ImageData;

struct DrawOp {
  enum class Kind { kIcon, kImage };
  Kind kind = Kind::kIcon;
  Rect dest;         // client pixels of the window drawn into
  Rect src;          // the part of the picture drawn (kImage)
  int stretchMode = COLORONCOLOR;
  HICON icon = 0;    // kIcon, drawn at its system size
  std::shared_ptr<const ImageData> image;  // kImage
};

// The drawing steps of one window.
class Surface {
 public:
  const std::vector<DrawOp>& Ops() const { return ops_; }
  void Add(DrawOp op);
  void Clear() { ops_.clear(); }

 private:
  std::vector<DrawOp> ops_;
};

// A device context on a dialog's or a control's client area. UI thread only.
class CDC {
 public:
  CDC(const CDC&) = delete;
  CDC& operator=(const CDC&) = delete;
  virtual ~CDC() = default;

  HDC GetSafeHdc() const { return const_cast<CDC*>(this); }
  // SetStretchBltMode: HALFTONE asks for high-quality filtering.
  int SetStretchBltMode(int mode);
  int GetStretchBltMode() const { return stretchMode_; }
  BOOL DrawIcon(int x, int y, HICON icon);
  // What CImage::StretchBlt draws through.
  BOOL DrawImage(const std::shared_ptr<const ImageData>& image, const Rect& dest, const Rect& src);

 protected:
  explicit CDC(CDialog& dialog);
  explicit CDC(Control& control);

 private:
  void Add(DrawOp op);

  CDialog& dialog_;
  Control* control_;  // null: the dialog's own client area
  int stretchMode_ = COLORONCOLOR;
};

// For OnPaint: the dialog's client area.
class CPaintDC : public CDC {
 public:
  explicit CPaintDC(CDialog& dialog) : CDC(dialog) {}
};

// GetDC / ReleaseDC of a window.
class CClientDC : public CDC {
 public:
  explicit CClientDC(CDialog& dialog) : CDC(dialog) {}
  explicit CClientDC(Control& control) : CDC(control) {}
};

}  // namespace tallow::ui
