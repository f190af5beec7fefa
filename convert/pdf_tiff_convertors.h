// The writers that hand a document's pages to a codec library: one PDF file
// through "pdfdumel.dll" (colour or black-and-white pages), one multi-page
// TIFF file through "tiffdumel.dll". Each writer holds its own library
// object, loaded by a successful Open and released by Reset and by the
// writer's destruction.
#pragma once

#include "convert/convertor.h"
#include "core/auto_library.h"

namespace tallow {

class IPdfConvertor : public IConvertor {
 public:
  ~IPdfConvertor() override;
  // IConvertor::Open, then the library; either failing resets the writer.
  HRESULT Open(const char16_t* folder, const char16_t* name) override;
  void Reset() override;
  const char16_t* GetExtension() const override;

  // Whether the codec library is loaded; for the save flow's checks and tests.
  bool IsCodecLoaded() const { return m_codec.GetModule() != nullptr; }

 protected:
  // Calls PDF_Encode with the writer's first output path, range and work
  // folder. E_POINTER without page entries, E_FAIL when not opened or when
  // the library fails.
  HRESULT ConvertPdf(const ImageInfo* pages, std::uint32_t documentId, std::int32_t colorFlag);

 private:
  CPDFCodecLibrary m_codec;
};

class CColorPdfConvertor : public IPdfConvertor {
 public:
  HRESULT Convert(const ImageInfo* pages, std::uint32_t documentId) override;
};

class CMonoPdfConvertor : public IPdfConvertor {
 public:
  HRESULT Convert(const ImageInfo* pages, std::uint32_t documentId) override;
};

class CTiffConvertor : public IConvertor {
 public:
  ~CTiffConvertor() override;
  HRESULT Open(const char16_t* folder, const char16_t* name) override;
  void Reset() override;
  // The page entries are not used and may be NULL.
  HRESULT Convert(const ImageInfo* pages, std::uint32_t documentId) override;
  const char16_t* GetExtension() const override;

  bool IsCodecLoaded() const { return m_codec.GetModule() != nullptr; }

 private:
  CTiffCodecLibrary m_codec;
};

}  // namespace tallow
