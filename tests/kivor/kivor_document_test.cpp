// Documents: the request bytes, tree building, parameters and the reply walk.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "kivor_support.h"

namespace kivor_test {
namespace {

using Nodes = std::vector<std::pair<int32_t, std::string>>;

const XmlHttpApi& api = Api();

bool Parse(XhDocument doc, const std::string& xml) {
  return api.ParseReply(doc, xml.data(), static_cast<uint32_t>(xml.size())) != 0;
}

TEST(KivorTable, FillsEverySlotOnlyWhenTheTableFits) {
  XmlHttpApi table;
  std::memset(&table, 0xA5, sizeof table);
  EXPECT_EQ(GetHTTPXML(&table, sizeof table - 1), 0);
  const auto* bytes = reinterpret_cast<const unsigned char*>(&table);
  for (size_t i = 0; i < sizeof table; ++i) ASSERT_EQ(bytes[i], 0xA5) << "byte " << i;
  EXPECT_EQ(GetHTTPXML(nullptr, sizeof table), 0);

  ASSERT_NE(GetHTTPXML(&table, sizeof table), 0);
  void* slots[XML_HTTP_API_SLOTS];
  std::memcpy(slots, &table, sizeof slots);
  for (void* slot : slots) EXPECT_NE(slot, nullptr);
  std::vector<XhReservedFn> reserved = {table.reserved3,  table.reserved5,  table.reserved6,
                                        table.reserved8,  table.reserved11, table.reserved12,
                                        table.reserved21, table.reserved22, table.reserved23,
                                        table.reserved25, table.reserved29, table.reserved30,
                                        table.reserved31, table.reserved34, table.reserved37,
                                        table.reserved38};
  for (XhReservedFn fn : table.reserved41) reserved.push_back(fn);
  for (XhReservedFn fn : reserved) EXPECT_EQ(fn(), 0);
}

TEST(KivorRequest, DocumentListingWithPasswordIsTheExactHttpMessage) {
  Doc doc;
  BuildDocumentListing(doc, "1234", 2);
  const std::string expected =
      "POST /ScanBox.cgi?version=2 HTTP/1.1\r\n"
      "Host: localhost\r\n"
      "Content-Type: text/xml; charset=UTF-8\r\n"
      "Content-Length: 181\r\n"
      "\r\n"
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<JOB><COMMAND>LIST</COMMAND><TYPE>STORAGE</TYPE><PARAM><STORAGE>"
      "<PASSWORD>1234</PASSWORD><FOLDERID>00000002</FOLDERID></STORAGE></PARAM></JOB>";
  EXPECT_EQ(PreparedRequest(doc), expected);
}

TEST(KivorRequest, SizeAndCopyFollowThePreparedBytes) {
  Doc doc;
  EXPECT_EQ(api.GetRequestSize(doc), 0u);  // nothing prepared yet
  char buffer[512];
  uint32_t copied = 77;
  EXPECT_EQ(api.CopyRequest(doc, buffer, sizeof buffer, &copied), 0);

  BuildDocumentListing(doc, nullptr, 0xABCD);
  ASSERT_NE(api.PrepareRequest(doc, 0, "/ScanBox.cgi", 0), 0);
  const uint32_t size = api.GetRequestSize(doc);
  ASSERT_GT(size, 0u);
  ASSERT_LT(size, sizeof buffer);
  EXPECT_EQ(api.CopyRequest(doc, buffer, size - 1, &copied), 0);
  EXPECT_EQ(copied, 77u);
  ASSERT_NE(api.CopyRequest(doc, buffer, sizeof buffer, &copied), 0);
  EXPECT_EQ(copied, size);
  EXPECT_NE(std::string(buffer, copied).find("<FOLDERID>0000ABCD</FOLDERID>"), std::string::npos);

  // A change after preparing must not leave stale bytes to send.
  api.SetParameter(doc, "version", "3");
  EXPECT_EQ(api.GetRequestSize(doc), 0u);

  for (const char* badPath : {"", "ScanBox.cgi", "/a b", "/a\r\nX: y", "/a#b"}) {
    EXPECT_EQ(api.PrepareRequest(doc, 0, badPath, 0), 0) << badPath;
  }
  EXPECT_EQ(api.PrepareRequest(doc, 0, nullptr, 0), 0);
}

TEST(KivorRequest, ResetEmptiesEverything) {
  Doc doc;
  BuildDocumentListing(doc, "1", 1);
  api.SetPacketCode(doc, 0x60);
  ASSERT_NE(api.PrepareRequest(doc, 0, "/ScanBox.cgi", 0), 0);
  ASSERT_TRUE(Parse(doc, "<JOB><CODE>600</CODE></JOB>"));

  api.ResetDocument(doc);
  EXPECT_EQ(api.GetRequestSize(doc), 0u);
  EXPECT_EQ(api.GetPacketCode(doc), 0u);
  EXPECT_EQ(api.FirstNode(doc, -1), nullptr);
  EXPECT_EQ(api.CloseElement(doc), 0);  // no element left open
  const std::string request = PreparedRequest(doc);
  EXPECT_NE(request.find("POST /ScanBox.cgi HTTP/1.1\r\n"), std::string::npos) << request;
  EXPECT_TRUE(request.ends_with("?>\n")) << request;
}

TEST(KivorRequest, ElementForms) {
  struct Case {
    uint32_t value;
    int32_t width;
    const char* text;
  };
  const Case ids[] = {
      {0xABCD, 8, "0000ABCD"}, {0xFF, 2, "FF"},   {0x1234, 2, "1234"},
      {0, 0, "0"},             {7, -3, "7"},      {0xFFFFFFFF, 9, "FFFFFFFF"},
      {0x1A, 12, "0000001A"},  {0, 8, "00000000"},
  };
  for (const Case& c : ids) {
    Doc doc;
    ASSERT_NE(api.AddIdElement(doc, kFileId, c.value, c.width), 0);
    EXPECT_TRUE(PreparedRequest(doc).ends_with(std::string("<FILEID>") + c.text + "</FILEID>"))
        << c.value << " width " << c.width;
  }
  Doc doc;
  api.AddNumberElement(doc, kPageNumber, -1);
  api.AddNumberElement(doc, kPageNumber, INT32_MIN);
  api.AddTextElement(doc, kFileName, "a<b&c>\"d\"");
  api.AddTextElement(doc, kPassword, "");
  EXPECT_TRUE(PreparedRequest(doc).ends_with(
      "<PAGENUMBER>-1</PAGENUMBER><PAGENUMBER>-2147483648</PAGENUMBER>"
      "<FILENAME>a&lt;b&amp;c&gt;\"d\"</FILENAME><PASSWORD></PASSWORD>"));
}

TEST(KivorRequest, InvalidTagsAndTextsAddNothing) {
  Doc doc;
  for (int32_t tag : {-1, int32_t{kTagCount}, 1000, INT32_MIN}) {
    EXPECT_EQ(api.OpenElement(doc, tag), 0);
    EXPECT_EQ(api.AddTextElement(doc, tag, "x"), 0);
    EXPECT_EQ(api.AddNumberElement(doc, tag, 1), 0);
    EXPECT_EQ(api.AddIdElement(doc, tag, 1, 8), 0);
  }
  EXPECT_EQ(api.AddTextElement(doc, kFileName, nullptr), 0);
  EXPECT_EQ(api.AddTextElement(doc, kFileName, "a\rb"), 0);
  EXPECT_EQ(api.AddTextElement(doc, kFileName, "a\x01"), 0);
  EXPECT_EQ(api.CloseElement(doc), 0);
  EXPECT_TRUE(PreparedRequest(doc).ends_with("?>\n"));
}

TEST(KivorRequest, NestingIsBounded) {
  Doc doc;
  int opened = 0;
  while (opened < 1000 && api.OpenElement(doc, kJob) != 0) ++opened;
  EXPECT_EQ(opened, 64);
  int closed = 0;
  while (closed < 1000 && api.CloseElement(doc) != 0) ++closed;
  EXPECT_EQ(closed, 64);
  EXPECT_NE(api.OpenElement(doc, kJob), 0);  // usable again, beside the first
}

TEST(KivorRequest, ParametersAreEncodedAndReplacedInPlace) {
  Doc doc;
  EXPECT_NE(api.SetParameter(doc, "FileID", "0000ABCD"), 0);
  EXPECT_NE(api.SetParameter(doc, "a b&c", "x=y/\xC3\xA9~-._%"), 0);
  EXPECT_NE(api.SetParameter(doc, "PageNumber", "2"), 0);
  EXPECT_NE(api.SetParameter(doc, "FileID", "000000FF"), 0);
  EXPECT_NE(api.SetParameter(doc, "empty", ""), 0);
  EXPECT_EQ(api.SetParameter(doc, "", "x"), 0);
  EXPECT_EQ(api.SetParameter(doc, nullptr, "x"), 0);
  EXPECT_EQ(api.SetParameter(doc, "x", nullptr), 0);
  EXPECT_TRUE(PreparedRequest(doc, "/loadimg.cgi")
                  .starts_with("POST /loadimg.cgi?FileID=000000FF&a%20b%26c=x%3Dy%2F%C3%A9~-._%25"
                               "&PageNumber=2&empty= HTTP/1.1\r\n"));
}

TEST(KivorDocument, TagTablesAreCheckedAndBounded) {
  EXPECT_EQ(api.CreateDocument(nullptr), nullptr);
  const char* const empty[] = {nullptr};
  XhDocument doc = api.CreateDocument(empty);
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(api.OpenElement(doc, 0), 0);
  api.FreeDocument(doc);

  for (const char* bad : {"", "1ABC", "A B", "A<B", "A>", "A/"}) {
    const char* const table[] = {"JOB", bad, nullptr};
    EXPECT_EQ(api.CreateDocument(table), nullptr) << bad;
  }
  std::vector<const char*> big(257, "JOB");
  big.push_back(nullptr);
  EXPECT_EQ(api.CreateDocument(big.data()), nullptr);
  big[256] = nullptr;  // 256 names are still taken
  doc = api.CreateDocument(big.data());
  EXPECT_NE(doc, nullptr);
  EXPECT_NE(api.OpenElement(doc, 255), 0);
  EXPECT_EQ(api.OpenElement(doc, 256), 0);
  api.FreeDocument(doc);
  const std::string longName(256, 'A');
  const char* const table[] = {longName.c_str(), nullptr};
  EXPECT_EQ(api.CreateDocument(table), nullptr);
}

TEST(KivorReply, DocumentListingWalksInDocumentOrder) {
  Doc doc;
  ASSERT_TRUE(Parse(doc,
                    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                    "<JOB><CODE>600</CODE>\n"
                    "<FILE><ATTRIBUTE>00000000</ATTRIBUTE><FILEID>0000ABCD</FILEID>"
                    "<FILENAME>Scan 1</FILENAME><OTHER><PAGES>3</PAGES></OTHER></FILE>\n"
                    "<FILE><FILEID>00000002</FILEID><FILENAME>Scan &amp; &#x41;</FILENAME>"
                    "</FILE></JOB>"));
  const Nodes expected = {{kJob, ""},        {kCode, "600"},          {kFile, ""},
                          {kAttribute, "00000000"}, {kFileId, "0000ABCD"}, {kFileName, "Scan 1"},
                          {-1, ""},          {kPages, "3"},           {kFile, ""},
                          {kFileId, "00000002"},   {kFileName, "Scan & A"}};
  EXPECT_EQ(Walk(doc), expected);
  EXPECT_EQ(Walk(doc), expected);  // FirstNode starts over
  EXPECT_EQ(api.FirstNode(doc, 0), nullptr);
  EXPECT_EQ(api.NextNode(doc, 1), nullptr);
  EXPECT_EQ(api.NextNode(doc, -1), nullptr);  // past the end stays there
}

TEST(KivorReply, TextIsTheElementsOwnText) {
  Doc doc;
  ASSERT_TRUE(Parse(doc,
                    "<JOB>ab<CODE>1</CODE>c<![CDATA[<d>]]><!-- e --><?pi f?>g</JOB>"));
  XhNode job = api.FirstNode(doc, -1);
  XhNode code = api.NextNode(doc, -1);
  EXPECT_STREQ(api.GetNodeText(job), "abc<d>g");
  EXPECT_STREQ(api.GetNodeText(job), "abc<d>g");
  EXPECT_STREQ(api.GetNodeText(code), "1");
  int32_t value = 0;
  EXPECT_EQ(api.GetNodeNumber(job, &value), 0);
}

TEST(KivorReply, NumberAndIdForms) {
  struct Case {
    const char* text;
    bool numberOk;
    int32_t number;
    bool idOk;
    uint32_t id;
  };
  const Case cases[] = {
      {"", false, 0, false, 0},
      {" 600 ", true, 600, true, 0x600},
      {"\n\t7\r\n", true, 7, true, 7},
      {"+5", true, 5, false, 0},
      {"-1", true, -1, false, 0},
      {"-2147483648", true, INT32_MIN, false, 0},
      {"2147483647", true, INT32_MAX, false, 0},
      {"2147483648", false, 0, false, 0},
      {"-2147483649", false, 0, false, 0},
      {"0000000600", true, 600, false, 0},
      {"00000000600", false, 0, false, 0},
      {"- 5", false, 0, false, 0},
      {"6 00", false, 0, false, 0},
      {"0x10", false, 0, false, 0},
      {"1G", false, 0, false, 0},
      {"12345678", true, 12345678, true, 0x12345678},
      {"123456789", true, 123456789, false, 0},
      {"abcdef", false, 0, true, 0xABCDEF},
      {"FFFFFFFF", false, 0, true, 0xFFFFFFFF},
      {"0000ABCD", false, 0, true, 0xABCD},
  };
  for (const Case& c : cases) {
    Doc doc;
    ASSERT_TRUE(Parse(doc, std::string("<JOB><CODE>") + c.text + "</CODE></JOB>")) << c.text;
    api.FirstNode(doc, -1);
    XhNode node = api.NextNode(doc, -1);
    int32_t number = 4242;
    uint32_t id = 4242;
    EXPECT_EQ(api.GetNodeNumber(node, &number) != 0, c.numberOk) << '"' << c.text << '"';
    EXPECT_EQ(number, c.numberOk ? c.number : 4242) << '"' << c.text << '"';
    EXPECT_EQ(api.GetNodeId(node, &id) != 0, c.idOk) << '"' << c.text << '"';
    EXPECT_EQ(id, c.idOk ? c.id : 4242u) << '"' << c.text << '"';
  }
}

std::string Nested(int depth) {
  std::string xml;
  for (int i = 0; i < depth; ++i) xml += "<FILE>";
  for (int i = 0; i < depth; ++i) xml += "</FILE>";
  return xml;
}

std::string ManyElements(int count) {
  std::string xml = "<JOB>";
  for (int i = 1; i < count; ++i) xml += "<C/>";
  return xml + "</JOB>";
}

std::string OfSize(size_t size) {
  std::string xml = "<JOB><CODE>600</CODE>";
  xml.append(size - xml.size() - 6, ' ');
  return xml + "</JOB>";
}

TEST(KivorReply, CapsRefuseTheWholeReply) {
  struct Case {
    const char* what;
    std::string xml;
    bool ok;
  };
  const Case cases[] = {
      {"depth 64", Nested(64), true},
      {"depth 65", Nested(65), false},
      {"100,000 elements", ManyElements(100000), true},
      {"100,001 elements", ManyElements(100001), false},
      {"4 MiB", OfSize(4u << 20), true},
      {"4 MiB + 1", OfSize((4u << 20) + 1), false},
  };
  for (const Case& c : cases) {
    Doc doc;
    ASSERT_TRUE(Parse(doc, "<JOB><CODE>1</CODE></JOB>"));
    EXPECT_EQ(Parse(doc, c.xml), c.ok) << c.what;
    // A refused reply leaves nothing of itself nor of the one before.
    EXPECT_EQ(api.FirstNode(doc, -1) != nullptr, c.ok) << c.what;
  }
}

TEST(KivorReply, MalformedRepliesAreRefused) {
  const std::string cases[] = {
      "",
      "not xml",
      "<JOB>",
      "<JOB><CODE>600</JOB>",
      "<JOB></BOJ>",
      "<JOB/><JOB/>",
      "<?xml version=\"1.0\"?>",
      "<!-- only a comment -->",
      std::string("<JOB>\0</JOB>", 12),
      "<JOB a=\"1></JOB>",
      "<JOB><![CDATA[x</JOB>",
  };
  for (const std::string& xml : cases) {
    Doc doc;
    EXPECT_FALSE(Parse(doc, xml)) << xml;
    EXPECT_EQ(api.FirstNode(doc, -1), nullptr) << xml;
  }
  Doc doc;
  EXPECT_EQ(api.ParseReply(doc, nullptr, 10), 0);
}

TEST(KivorReply, DeclaredEntitiesAreNeverExpanded) {
  std::string xml =
      "<?xml version=\"1.0\"?>\n<!DOCTYPE JOB [\n<!ENTITY lol \"lol\">\n"
      "<!ENTITY xxe SYSTEM \"file:///etc/passwd\">\n";
  for (int i = 2; i <= 9; ++i) {
    const std::string inner = "&lol" + (i == 2 ? std::string() : std::to_string(i - 1)) + ";";
    xml += "<!ENTITY lol" + std::to_string(i) + " \"";
    for (int j = 0; j < 10; ++j) xml += inner;
    xml += "\">\n";
  }
  xml += "]>\n<JOB><CODE>&lol9;</CODE><FILENAME>&xxe;&lt;&#65;</FILENAME></JOB>";
  Doc doc;
  ASSERT_TRUE(Parse(doc, xml));
  const Nodes expected = {{kJob, ""}, {kCode, "&lol9;"}, {kFileName, "&xxe;<A"}};
  EXPECT_EQ(Walk(doc), expected);
}

TEST(KivorNullSafety, NullHandlesDoNothing) {
  api.FreeDocument(nullptr);
  api.ResetDocument(nullptr);
  EXPECT_EQ(api.GetRequestSize(nullptr), 0u);
  EXPECT_EQ(api.PrepareRequest(nullptr, 0, "/ScanBox.cgi", 0), 0);
  char buf[8];
  uint32_t copied = 0;
  EXPECT_EQ(api.CopyRequest(nullptr, buf, sizeof buf, &copied), 0);
  EXPECT_EQ(api.ParseReply(nullptr, "<JOB/>", 6), 0);
  EXPECT_EQ(api.SetParameter(nullptr, "a", "b"), 0);
  EXPECT_EQ(api.OpenElement(nullptr, 0), 0);
  EXPECT_EQ(api.CloseElement(nullptr), 0);
  EXPECT_EQ(api.AddTextElement(nullptr, 0, "x"), 0);
  EXPECT_EQ(api.AddNumberElement(nullptr, 0, 1), 0);
  EXPECT_EQ(api.AddIdElement(nullptr, 0, 1, 8), 0);
  EXPECT_EQ(api.FirstNode(nullptr, -1), nullptr);
  EXPECT_EQ(api.NextNode(nullptr, -1), nullptr);
  EXPECT_EQ(api.GetNodeTag(nullptr), -1);
  EXPECT_STREQ(api.GetNodeText(nullptr), "");
  int32_t number = 5;
  uint32_t id = 5;
  EXPECT_EQ(api.GetNodeNumber(nullptr, &number), 0);
  EXPECT_EQ(api.GetNodeId(nullptr, &id), 0);
  EXPECT_EQ(number, 5);
  EXPECT_EQ(id, 5u);
  api.SetPacketCode(nullptr, 1);
  EXPECT_EQ(api.GetPacketCode(nullptr), 0u);
  api.CloseConnection(nullptr);
  EXPECT_EQ(api.HttpPost(nullptr, 80, "/ScanBox.cgi", nullptr), 0);
  EXPECT_EQ(api.HttpGetToFile(nullptr, 80, "/loadimg.cgi", nullptr, "/tmp/x", 0), 0);

  Doc doc;
  ASSERT_TRUE(Parse(doc, "<JOB><CODE>600</CODE></JOB>"));
  XhNode node = api.FirstNode(doc, -1);
  EXPECT_EQ(api.GetNodeNumber(node, nullptr), 0);
  EXPECT_EQ(api.GetNodeId(node, nullptr), 0);
  EXPECT_EQ(api.CopyRequest(doc, nullptr, 100, &copied), 0);
}

}  // namespace
}  // namespace kivor_test
