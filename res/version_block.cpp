#include "res/version_block.h"

#include "platform/version_info.h"

namespace tallow::res {

std::vector<std::uint8_t> ProgramVersionBlock() {
  static const std::vector<std::uint8_t> block = [] {
    VersionBlockContents c;
    c.fileVersion[0] = 1;
    c.productVersion[0] = 1;
    c.stringTables.push_back(VersionStringTable{
        u"000004B0",
        {
            {u"CompanyName", u"The Tallowmere developers"},
            {u"FileDescription", u"Tallowmere"},
            {u"FileVersion", u"1.0.0.0"},
            {u"InternalName", u"Tallowmere"},
            {u"LegalCopyright", u"Copyright (C) The Tallowmere developers. All rights reserved."},
            {u"OriginalFilename", u"Tallowmere"},
            {u"ProductName", u"Tallowmere"},
            {u"ProductVersion", u"1.0.0.0"},
        }});
    c.translations.push_back(VersionTranslation{0x0000, 1200});
    return BuildVersionBlock(c);
  }();
  return block;
}

}  // namespace tallow::res
