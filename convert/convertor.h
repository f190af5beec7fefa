// The output writers: one interface behind which a document's downloaded
// pages become one PDF, one multi-page TIFF or one JPEG file per page, the
// factory that picks a writer from the save name's type and the document's
// colour class, and the helpers the save flow uses around them.
//
// Calling order: CreateConvertor, Open (folder and name, or NULL for a
// time-stamp name), SetWorkFolder (where the pages were downloaded),
// SetPageRange, then Convert on the save worker. The save flow reads the
// public fields directly.
#pragma once

#include <cstdint>

#include "core/page_files.h"
#include "platform/result.h"
#include "platform/text.h"

namespace tallow {


// The file type of a save name.
using ConvertorType = int;
inline constexpr ConvertorType kConvertorNone = -1;
inline constexpr ConvertorType kConvertorPdf = 0;
inline constexpr ConvertorType kConvertorTiff = 1;
inline constexpr ConvertorType kConvertorJpeg = 2;

class IConvertor {
 public:
  IConvertor() = default;
  virtual ~IConvertor() = default;
  IConvertor(const IConvertor&) = delete;
  IConvertor& operator=(const IConvertor&) = delete;

  // Resets, then makes the one output path: |folder| (which must exist) and
  // |name|, or, when |name| is NULL, a name the writer makes: the current
  // local time stamp and GetExtension(), kept clear of existing files (see
  // KeepMadeNameFree). The work folder becomes the TEMP folder.
  virtual HRESULT Open(const char16_t* folder, const char16_t* name);
  // Output list and work folder emptied, page range 0 to 0.
  virtual void Reset();
  // Writes the output from the pages of |documentId| in the work folder.
  // |pages| is indexed by page number. E_NOTIMPL here.
  virtual HRESULT Convert(const ImageInfo* pages, std::uint32_t documentId);
  // The output extension with its leading ".".
  virtual const char16_t* GetExtension() const;
  // NULL: the TEMP folder. An existing folder is stored as given; anything
  // else is E_FAIL and the work folder keeps its value.
  virtual HRESULT SetWorkFolder(const char16_t* folder);
  // Stores the 1-based inclusive range, unchecked.
  virtual HRESULT SetPageRange(int first, int last);

  // A name the writer made never replaces a file that is there: of
  // "<stamp>", "<stamp>_2", "<stamp>_3", ... (each with the extension) the
  // outputs take the first none of whose files exists. Open and a new page
  // range choose so; the save worker asks again right before it writes, so
  // that a file made meanwhile moves the name on. A name the caller gave
  // stays as it is: whether to replace its file is the user's question.
  void KeepMadeNameFree();
  // Whether Open made the output's name.
  bool IsNameMade() const { return !madeStem_.empty(); }

  WStringList m_outputPaths;
  WString m_workFolder;
  std::int32_t m_firstPage = 0;
  std::int32_t m_lastPage = 0;

 protected:
  // The files written for an output named |name|: that one file here.
  virtual WStringList OutputPathsOf(const WString& name) const;
  // Makes |name| the output's name.
  virtual void NameOutputs(const WString& name);
  // The first made name none of whose files exists.
  WString FreeMadeName() const;

 private:
  WString madeStem_;  // folder and time stamp of a made name; empty for a given one
};

// Destroys the writer in |slot|, if any, then creates the writer for a
// document of the given colour class saved as |type| and stores it in
// |slot|. NULL (and |slot| NULL) when the type does not fit the colour class
// (TIFF for colour, JPEG for black and white) or memory is exhausted.
IConvertor* CreateConvertor(BOOL mono, IConvertor*& slot, ConvertorType type);
void DeleteConvertor(IConvertor*& slot);

// The type named by the text after |name|'s last "." (case ignored):
// "pdf"; "tif", "tiff"; "jpg", "jpeg". kConvertorNone otherwise.
ConvertorType GetConvertorType(const char16_t* name);

// Whether a writer exists for |name| and the colour class.
BOOL IsValidSaveName(const char16_t* name, BOOL mono);

// The longest file name (the part behind the last separator) over |paths|,
// in the bytes of the native encoding, since that is what a folder's name
// limit counts. Paths without a separator do not count.
int GetLongestFileNameLength(const WStringList& paths);

// The writers' default work folder: "TEMP" from the environment; on this
// platform, when that is unset or empty, "TMPDIR", then "/tmp". TRUE when
// |folder| holds a folder name.
BOOL GetTempFolder(WString& folder);

}  // namespace tallow
