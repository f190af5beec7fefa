// The result tables of a box listing and a document listing, one set per
// channel.
#pragma once

#include <cstdint>

#include "core/page_files.h"
#include "platform/text.h"

namespace tallow {

inline constexpr int kMaxBoxRecords = 128;   // the root and 127 boxes
inline constexpr int kMaxFileRecords = 256;
inline constexpr int kNameLength = 17;       // 16 characters and the NUL
inline constexpr int kTimeStampLength = 25;  // 24 characters and the NUL
inline constexpr int kPasswordLength = 5;    // 4 characters and the NUL

// Bit of a box's ATTRIBUTE: listing the box needs its password.
inline constexpr std::int32_t kBoxNeedsPassword = 0x10;

// Handle of the tree item that shows a box; 0 = none.
using TreeItemKey = std::uintptr_t;

struct BoxFolderRecord {
  TreeItemKey treeKey;
  std::int32_t FOLDERID;
  char16_t FOLDERNAME[kNameLength];
  std::int32_t ATTRIBUTE;
};

struct BoxFileRecord {
  std::int32_t ATTRIBUTE;
  std::int32_t FOLDERID;
  char16_t FOLDERNAME[kNameLength];
  std::uint32_t FILEID;
  char16_t FILENAME[kNameLength];
  char16_t TIMESTAMP[kTimeStampLength];
  std::int32_t PAGES;
  std::int32_t IMAGEFORMAT;
};

struct BoxTables {
  std::int32_t folderCount;  // valid records in folders, the root included
  std::int32_t fileCount;    // valid records in files; -1 while/after a failed listing
  BoxFileRecord files[kMaxFileRecords];
  BoxFolderRecord folders[kMaxBoxRecords];
  char password[kPasswordLength];
};

// The record of box |index| when it lies within the last box listing.
const BoxFolderRecord* FindBoxRecord(const BoxTables& tables, int index);
// The record of document |index| when it lies within the last document listing.
const BoxFileRecord* FindFileRecord(const BoxTables& tables, int index);

// Column readers: append one text per valid record, never empty the list.
void AppendFolderNames(const BoxTables& tables, WStringList& names);
void AppendFileNames(const BoxTables& tables, WStringList& names);
void AppendFileTimeStamps(const BoxTables& tables, WStringList& stamps);
void AppendFilePageCounts(const BoxTables& tables, WStringList& counts);

}  // namespace tallow
