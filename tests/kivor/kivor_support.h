// Shared pieces of the library's tests: the table as the program gets it, the
// channel's tag table and small helpers around documents.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "kivor.h"

namespace kivor_test {

enum Tag : int32_t {
  kJob = 0,
  kCommand = 1,
  kType = 2,
  kParam = 3,
  kCode = 4,
  kAttribute = 5,
  kFolderId = 6,
  kPassword = 7,
  kFolderName = 8,
  kFileId = 9,
  kFileName = 10,
  kTimeStamp = 11,
  kPages = 12,
  kPage = 28,
  kFile = 35,
  kFolder = 36,
  kPageNumber = 38,
  kStorage = 47,
  kImageFormat = 48,
  kTagCount = 49,
};

extern const char* const kTagTable[kTagCount + 1];

const XmlHttpApi& Api();

// A document that frees itself.
class Doc {
 public:
  Doc() : handle_(Api().CreateDocument(kTagTable)) {}
  ~Doc() { Api().FreeDocument(handle_); }
  Doc(const Doc&) = delete;
  Doc& operator=(const Doc&) = delete;
  operator XhDocument() const { return handle_; }

 private:
  XhDocument handle_;
};

// (tag index, text) of every reply node in walk order.
std::vector<std::pair<int32_t, std::string>> Walk(XhDocument doc);

// The prepared request bytes, or "" when there are none.
std::string PreparedRequest(XhDocument doc, const char* path = "/ScanBox.cgi");

// The document-listing request the network channel builds.
void BuildDocumentListing(XhDocument doc, const char* password, uint32_t folderId);

}  // namespace kivor_test
