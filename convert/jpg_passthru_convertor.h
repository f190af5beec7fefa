// The JPEG writer: colour pages arrive as JPEG files already, so saving them
// as JPEG copies each page file of the range to a file of its own, named
// after the chosen name with "-" and the page number before its extension.
#pragma once

#include "convert/convertor.h"

namespace tallow {

class CJpgPassthruConvertor : public IConvertor {
 public:
  ~CJpgPassthruConvertor() override = default;
  // IConvertor::Open; its one path becomes the base name and the output
  // list stays empty until SetPageRange.
  HRESULT Open(const char16_t* folder, const char16_t* name) override;
  void Reset() override;
  // Copies page first + i to output path i, all or none: the pages are
  // copied under hidden names beside their targets and take their names
  // only when every page is copied. The first failure (a page file
  // missing, a target that is a folder or may not be written, a full disk)
  // is returned, and the folder is left as it was: no page's copy remains,
  // and a file a page was to replace is back under its name. The page
  // entries are not used.
  HRESULT Convert(const ImageInfo* pages, std::uint32_t documentId) override;
  const char16_t* GetExtension() const override;
  // Stores the range and builds one output path per page; E_FAIL before Open
  // (the range stays stored). A made name is chosen again for the range's
  // page names.
  HRESULT SetPageRange(int first, int last) override;

  const WString& BaseOutputName() const { return m_baseOutputName; }

 protected:
  // The range's page names of |name|; none while Open runs, before there
  // is a range to name.
  WStringList OutputPathsOf(const WString& name) const override;
  void NameOutputs(const WString& name) override;

 private:
  WString m_baseOutputName;
};

// Holds the naming of per-page output files.
class CImageConvert {
 public:
  CImageConvert() = default;
  virtual ~CImageConvert() = default;

  // Appends, for every page first..last (none when last < first), |base|
  // with "-" and the page number inserted before the last "." of its file
  // name; a file name without "." gets them at its end.
  void BuildPageFileNames(int first, int last, const WString& base, WStringList& list);
};

}  // namespace tallow
