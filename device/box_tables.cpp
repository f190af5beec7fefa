#include "device/box_tables.h"

namespace tallow {

const BoxFolderRecord* FindBoxRecord(const BoxTables& tables, int index) {
  if (index < 0 || index >= tables.folderCount || index >= kMaxBoxRecords) return nullptr;
  return &tables.folders[index];
}

const BoxFileRecord* FindFileRecord(const BoxTables& tables, int index) {
  if (index < 0 || index >= tables.fileCount || index >= kMaxFileRecords) return nullptr;
  return &tables.files[index];
}

namespace {

int FolderRows(const BoxTables& t) { return t.folderCount < kMaxBoxRecords ? t.folderCount : kMaxBoxRecords; }
int FileRows(const BoxTables& t) { return t.fileCount < kMaxFileRecords ? t.fileCount : kMaxFileRecords; }

}  // namespace

void AppendFolderNames(const BoxTables& tables, WStringList& names) {
  for (int i = 0; i < FolderRows(tables); ++i) names.emplace_back(tables.folders[i].FOLDERNAME);
}

void AppendFileNames(const BoxTables& tables, WStringList& names) {
  for (int i = 0; i < FileRows(tables); ++i) names.emplace_back(tables.files[i].FILENAME);
}

void AppendFileTimeStamps(const BoxTables& tables, WStringList& stamps) {
  for (int i = 0; i < FileRows(tables); ++i) stamps.emplace_back(tables.files[i].TIMESTAMP);
}

void AppendFilePageCounts(const BoxTables& tables, WStringList& counts) {
  for (int i = 0; i < FileRows(tables); ++i) counts.push_back(FromAnsi(Format("%d", tables.files[i].PAGES)));
}

}  // namespace tallow
