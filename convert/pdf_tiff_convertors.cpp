#include "convert/pdf_tiff_convertors.h"

#include <cstddef>
#include <type_traits>
#include <vector>

#include "contracts/codec_api.h"

namespace tallow {

// The page entries go to the library as they are: both records must keep
// one layout.
static_assert(std::is_standard_layout_v<ImageInfo> && std::is_standard_layout_v<CodecPageInfo>);
static_assert(sizeof(ImageInfo) == sizeof(CodecPageInfo));
static_assert(offsetof(ImageInfo, XPIXEL) == offsetof(CodecPageInfo, XPIXEL));
static_assert(offsetof(ImageInfo, YPIXEL) == offsetof(CodecPageInfo, YPIXEL));
static_assert(offsetof(ImageInfo, XRESOLUTION) == offsetof(CodecPageInfo, XRESOLUTION));
static_assert(offsetof(ImageInfo, YRESOLUTION) == offsetof(CodecPageInfo, YRESOLUTION));

namespace {

// A NUL-terminated copy that the library may write into.
std::vector<char16_t> WritableCopy(const WString& text) {
  std::vector<char16_t> buffer(text.begin(), text.end());
  buffer.push_back(u'\0');
  return buffer;
}

// The library may have changed the buffer: the text ends at its first NUL.
WString Remeasured(const std::vector<char16_t>& buffer) {
  std::size_t length = 0;
  while (length < buffer.size() && buffer[length] != u'\0') ++length;
  return WString(buffer.data(), length);
}

// Shared by the codec writers: IConvertor::Open, then the library.
template <typename Library>
HRESULT OpenWithCodec(IConvertor& writer, Library& codec, const char16_t* folder,
                      const char16_t* name) {
  HRESULT hr = writer.IConvertor::Open(folder, name);
  if (SUCCEEDED(hr)) hr = codec.Load();
  if (FAILED(hr)) {
    writer.Reset();
    return hr;
  }
  return S_OK;
}

}  // namespace

// ---- IPdfConvertor

IPdfConvertor::~IPdfConvertor() { IPdfConvertor::Reset(); }

HRESULT IPdfConvertor::Open(const char16_t* folder, const char16_t* name) {
  return OpenWithCodec(*this, m_codec, folder, name);
}

void IPdfConvertor::Reset() {
  IConvertor::Reset();
  m_codec.Unload();
}

const char16_t* IPdfConvertor::GetExtension() const { return u".pdf"; }

HRESULT IPdfConvertor::ConvertPdf(const ImageInfo* pages, std::uint32_t documentId,
                                  std::int32_t colorFlag) {
  if (!pages) return E_POINTER;
  if (m_outputPaths.empty()) return E_FAIL;
  auto encode = reinterpret_cast<PdfEncodeFn>(m_codec.PDF_Encode());
  if (!encode) return E_FAIL;
  std::vector<char16_t> output = WritableCopy(m_outputPaths.front());
  std::vector<char16_t> work = WritableCopy(m_workFolder);
  const std::int32_t result =
      encode(output.data(), reinterpret_cast<const CodecPageInfo*>(pages), documentId,
             m_firstPage, m_lastPage, colorFlag, work.data());
  m_outputPaths.front() = Remeasured(output);
  m_workFolder = Remeasured(work);
  return result < 0 ? E_FAIL : S_OK;
}

HRESULT CColorPdfConvertor::Convert(const ImageInfo* pages, std::uint32_t documentId) {
  return ConvertPdf(pages, documentId, CODEC_PDF_COLOR);
}

HRESULT CMonoPdfConvertor::Convert(const ImageInfo* pages, std::uint32_t documentId) {
  return ConvertPdf(pages, documentId, CODEC_PDF_MONO);
}

// ---- CTiffConvertor

CTiffConvertor::~CTiffConvertor() { CTiffConvertor::Reset(); }

HRESULT CTiffConvertor::Open(const char16_t* folder, const char16_t* name) {
  return OpenWithCodec(*this, m_codec, folder, name);
}

void CTiffConvertor::Reset() {
  IConvertor::Reset();
  m_codec.Unload();
}

HRESULT CTiffConvertor::Convert(const ImageInfo*, std::uint32_t documentId) {
  if (m_outputPaths.empty()) return E_FAIL;
  auto encode = reinterpret_cast<MultiTiffEncodeFn>(m_codec.MultiTiffEncode());
  if (!encode) return E_FAIL;
  std::vector<char16_t> output = WritableCopy(m_outputPaths.front());
  std::vector<char16_t> work = WritableCopy(m_workFolder);
  const std::int32_t result =
      encode(output.data(), documentId, m_firstPage, m_lastPage, work.data());
  m_outputPaths.front() = Remeasured(output);
  m_workFolder = Remeasured(work);
  return result == 0 ? E_FAIL : S_OK;
}

const char16_t* CTiffConvertor::GetExtension() const { return u".tif"; }

}  // namespace tallow
