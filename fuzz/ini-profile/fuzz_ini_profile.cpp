// Any bytes as a settings file: parsing never fails, and a value written into
// the document is what the rewritten file gives back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/profile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using tallow::ProfileDocument;
  using tallow::WString;
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  ProfileDocument doc = ProfileDocument::Parse(bytes);

  WString value;
  doc.Find(u"MFPInfo", u"machineName", value);
  doc.Find(u"", u"k", value);
  doc.Find(u"PasswordInfo", u"password", value);

  // Round trip of the untouched document keeps its answers.
  const WString before = doc.Find(u"SettingInfo", u"folderPath", value) ? value : u"<none>";
  ProfileDocument same = ProfileDocument::Parse(doc.Serialize());
  const WString after = same.Find(u"SettingInfo", u"folderPath", value) ? value : u"<none>";
  if (before != after) std::abort();

  doc.Set(u"MFPInfo", u"httpPortNumber", u"8080");
  doc.Set(u"", u"top", u"1");
  ProfileDocument again = ProfileDocument::Parse(doc.Serialize());
  if (again.encoding() != doc.encoding()) std::abort();
  if (!again.Find(u"MFPInfo", u"httpPortNumber", value) || value != u"8080") std::abort();
  if (!again.Find(u"", u"top", value) || value != u"1") std::abort();
  return 0;
}
