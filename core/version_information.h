// The program's own version information for the About dialog: the version
// block is read once, its first translation picked, and string values of that
// translation answered by key.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/text.h"

namespace tallow {

class CVersionInformation {
 public:
  CVersionInformation();
  virtual ~CVersionInformation();
  CVersionInformation(const CVersionInformation&) = delete;
  CVersionInformation& operator=(const CVersionInformation&) = delete;

  // |format| names a value with two hexadecimal conversions that receive the
  // language and the code page, e.g. "\StringFileInfo\%04X%04X\FileVersion".
  // The answer points into the block and lives as long as this object; null
  // when there is no block, no such value, or the format is not one of that
  // kind (other conversions, more than two, or a key over 259 characters).
  const char16_t* QueryValue(const char16_t* format) const;

  bool HasVersionBlock() const { return m_pVersionBlock != nullptr; }
  std::uint16_t Language() const { return m_wLanguage; }
  std::uint16_t CodePage() const { return m_wCodePage; }

 private:
  std::unique_ptr<std::uint8_t[]> m_pVersionBlock;
  std::uint16_t m_wLanguage = 0;
  std::uint16_t m_wCodePage = 0;
};

// The program file's full path; empty when it cannot be had or does not fit
// the largest buffer tried (33280 characters, so at most 33278 of them).
void GetExePath(WString& path);

}  // namespace tallow
