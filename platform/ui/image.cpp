#include "platform/ui/image.h"

#include "platform/ui/paint.h"
#include "platform/ui/ui_thread.h"

namespace tallow::ui {

HRESULT CImage::Load(WStringView path) {
  data_.reset();
  // Read once: the header here, the pixels by the back end.
  const std::optional<ImageFile> file = ReadImageFile(path);
  if (!file) return E_FAIL;
  auto data = std::make_shared<ImageData>();
  data->path.assign(path);
  data->format = file->header.format;
  data->width = file->header.width;
  data->height = file->header.height;
  if (UiBackend* backend = CurrentBackend()) {
    if (!backend->DecodeImage(*file, &data->pixels)) return E_FAIL;
  }
  data_ = std::move(data);
  return S_OK;
}

BOOL CImage::StretchBlt(CDC& dc, int x, int y, int w, int h, int sx, int sy, int sw, int sh,
                        DWORD /*rop*/) const {
  if (!data_) return FALSE;
  return dc.DrawImage(data_, Rect{x, y, w, h}, Rect{sx, sy, sw, sh});
}

}  // namespace tallow::ui
