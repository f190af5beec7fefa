// The library as the program loads it: by file, through its one export.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "contracts/xml_http_api.h"

namespace {

TEST(KivorLibrary, LoadsAndFillsTheTableThroughItsExport) {
  void* lib = ::dlopen(KIVOR_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(lib, nullptr) << ::dlerror();
  auto get = reinterpret_cast<GetHTTPXMLFn>(::dlsym(lib, "GetHTTPXML"));
  ASSERT_NE(get, nullptr);
  for (const char* internal : {"_ZN5kivor14ParseReplyIntoERNS_8DocumentEPKvm",
                               "_ZN5kivor11NewDocumentEPKPKc", "_ZN5kivor10EnsureCurlEv"}) {
    EXPECT_EQ(::dlsym(lib, internal), nullptr) << internal;
  }
  XmlHttpApi table{};
  ASSERT_NE(get(&table, sizeof table), 0);
  const char* const tags[] = {"JOB", "CODE", nullptr};
  XhDocument doc = table.CreateDocument(tags);
  ASSERT_NE(doc, nullptr);
  static const char reply[] = "<JOB><CODE>600</CODE></JOB>";
  ASSERT_NE(table.ParseReply(doc, reply, sizeof reply - 1), 0);
  table.FirstNode(doc, -1);
  int32_t code = 0;
  EXPECT_NE(table.GetNodeNumber(table.NextNode(doc, -1), &code), 0);
  EXPECT_EQ(code, 600);
  table.FreeDocument(doc);
  // Not closed: libcurl, once started, stays for the life of the process.
}

}  // namespace
