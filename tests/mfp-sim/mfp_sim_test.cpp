// The simulator as the client sees it: a child process answering raw HTTP on
// a loopback port.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "support/sim_process.h"

namespace tallow::test {
namespace {

constexpr const char* kConfig = R"(<?xml version="1.0" encoding="UTF-8"?>
<mfp name="Test MFP" rootname="Test &amp; Co">
  <box id="1" name="Open">
    <doc id="ABCD" name="Colour" pages="3" color="1" width="320" height="240" dpi="150"/>
    <doc id="1A2B" name="Mono" pages="2" color="0" width="400" height="300" dpi="300"/>
    <doc id="77" name="Spare" pages="1" color="1" width="64" height="48"/>
  </box>
  <box id="2A" name="Locked" password="1234">
    <doc id="2001" name="Secret" timestamp="2026/12/09 08:46:40" pages="1" color="0"/>
  </box>
</mfp>
)";

constexpr const char* kScanBox = "/ScanBox.cgi?version=2";

using Params = std::vector<std::pair<std::string, std::string>>;

std::string Job(const std::string& command, const Params& params = {}) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><JOB><COMMAND>" + command +
                    "</COMMAND><TYPE>STORAGE</TYPE><PARAM><STORAGE>";
  for (const auto& [name, text] : params) xml += "<" + name + ">" + text + "</" + name + ">";
  return xml + "</STORAGE></PARAM></JOB>";
}

// The text of the first <name> element, if any.
std::optional<std::string> Element(const std::string& xml, const std::string& name) {
  std::size_t open = xml.find("<" + name + ">");
  if (open == std::string::npos) return std::nullopt;
  open += name.size() + 2;
  std::size_t close = xml.find("</" + name + ">", open);
  if (close == std::string::npos) return std::nullopt;
  return xml.substr(open, close - open);
}

std::string Code(const HttpReply& r) { return Element(r.body, "CODE").value_or("(none)"); }

unsigned Byte(const std::string& s, std::size_t i) { return static_cast<unsigned char>(s[i]); }

struct Picture {
  int width = -1, height = -1, dpi = -1;
  int compression = -1, photometric = -1;  // TIFF only
};

Picture ReadJpeg(const std::string& b) {
  Picture p;
  auto be16 = [&](std::size_t i) { return static_cast<int>(Byte(b, i) << 8 | Byte(b, i + 1)); };
  std::size_t i = 2;
  while (i + 4 <= b.size() && Byte(b, i) == 0xFF) {
    unsigned marker = Byte(b, i + 1);
    std::size_t len = static_cast<std::size_t>(be16(i + 2));
    if (marker == 0xE0 && i + 16 <= b.size() && b.compare(i + 4, 5, std::string("JFIF\0", 5)) == 0 &&
        Byte(b, i + 11) == 1) {
      p.dpi = be16(i + 12);
    }
    if (marker >= 0xC0 && marker <= 0xC3 && i + 9 <= b.size()) {
      p.height = be16(i + 5);
      p.width = be16(i + 7);
      break;
    }
    i += 2 + len;
  }
  return p;
}

Picture ReadTiff(const std::string& b) {
  Picture p;
  if (b.size() < 8) return p;
  bool le = b[0] == 'I';
  auto u16 = [&](std::size_t i) -> std::uint32_t {
    return le ? Byte(b, i) | Byte(b, i + 1) << 8 : Byte(b, i) << 8 | Byte(b, i + 1);
  };
  auto u32 = [&](std::size_t i) -> std::uint32_t {
    return le ? u16(i) | u16(i + 2) << 16 : u16(i) << 16 | u16(i + 2);
  };
  std::size_t ifd = u32(4);
  if (ifd + 2 > b.size()) return p;
  std::size_t count = u16(ifd);
  for (std::size_t k = 0; k < count && ifd + 2 + 12 * (k + 1) <= b.size(); ++k) {
    std::size_t e = ifd + 2 + 12 * k;
    std::uint32_t tag = u16(e), type = u16(e + 2);
    std::uint32_t value = type == 3 ? u16(e + 8) : u32(e + 8);
    if (tag == 256) p.width = static_cast<int>(value);
    if (tag == 257) p.height = static_cast<int>(value);
    if (tag == 259) p.compression = static_cast<int>(value);
    if (tag == 262) p.photometric = static_cast<int>(value);
    if (tag == 282 && type == 5 && value + 8 <= b.size()) {
      p.dpi = static_cast<int>(u32(value) / std::max<std::uint32_t>(1, u32(value + 4)));
    }
  }
  return p;
}

class MfpSimTest : public ::testing::Test {
 protected:
  MfpSimTest() : sim_(SimOptions{kConfig, {}, "127.0.0.1", {}}) {}
  // A sanitizer report in the simulator shows as an unclean exit.
  void TearDown() override { EXPECT_EQ(sim_.Terminate(), 0); }

  HttpReply Box(const std::string& xml, const char* target = kScanBox) { return sim_.Post(target, xml); }
  HttpReply Page(const std::string& file, int page) {
    return sim_.Get("/loadimg.cgi?FileID=" + file + "&PageNumber=" + std::to_string(page));
  }

  SimProcess sim_;
};

TEST_F(MfpSimTest, ListsBoxesWithRootNameAndProtection) {
  HttpReply r = Box(Job("LIST"));
  ASSERT_EQ(r.status, 200);
  EXPECT_EQ(r.Header("Content-Type"), "text/xml; charset=UTF-8");
  EXPECT_NE(r.body.find("<JOB><CODE>600</CODE><ROOTNAME>Test &amp; Co</ROOTNAME>"), std::string::npos)
      << r.body;
  EXPECT_NE(r.body.find("<FOLDER><FOLDERID>00000001</FOLDERID><FOLDERNAME>Open</FOLDERNAME>"
                        "<ATTRIBUTE>00000000</ATTRIBUTE></FOLDER>"
                        "<FOLDER><FOLDERID>0000002A</FOLDERID><FOLDERNAME>Locked</FOLDERNAME>"
                        "<ATTRIBUTE>00000010</ATTRIBUTE></FOLDER></JOB>"),
            std::string::npos)
      << r.body;
}

TEST_F(MfpSimTest, DocumentListingChecksBoxAndPassword) {
  struct Case {
    Params params;
    std::string code;
    std::optional<std::string> firstFile;
  } cases[] = {
      {{{"PASSWORD", "1234"}, {"FOLDERID", "0000002A"}}, "600", "00002001"},
      {{{"PASSWORD", " 1234"}, {"FOLDERID", "0000002A"}}, "807", std::nullopt},
      {{{"PASSWORD", "1235"}, {"FOLDERID", "0000002A"}}, "807", std::nullopt},
      {{{"FOLDERID", "0000002A"}}, "807", std::nullopt},
      {{{"FOLDERID", "00000099"}}, "802", std::nullopt},
      // Id form: any case, blanks around, fewer digits.
      {{{"PASSWORD", "1234"}, {"FOLDERID", " 2a "}}, "600", "00002001"},
      // An open box ignores a password and unknown elements.
      {{{"PASSWORD", "x"}, {"COLOR", "1"}, {"FOLDERID", "1"}}, "600", "0000ABCD"},
      {{{"FOLDERID", "1G"}}, "700", std::nullopt},
  };
  for (const Case& c : cases) {
    HttpReply r = Box(Job("LIST", c.params));
    SCOPED_TRACE(r.body);
    ASSERT_EQ(r.status, 200);
    EXPECT_EQ(Code(r), c.code);
    EXPECT_EQ(Element(r.body, "FILEID"), c.firstFile);
  }
  HttpReply locked = Box(Job("LIST", {{"PASSWORD", "1234"}, {"FOLDERID", "0000002A"}}));
  EXPECT_NE(locked.body.find("<FILE><ATTRIBUTE>00000000</ATTRIBUTE><FOLDERID>0000002A</FOLDERID>"
                             "<FOLDERNAME>Locked</FOLDERNAME><FILEID>00002001</FILEID>"
                             "<FILENAME>Secret</FILENAME><TIMESTAMP>2026/12/09 08:46:40</TIMESTAMP>"
                             "<PAGES>1</PAGES><IMAGEFORMAT>0</IMAGEFORMAT></FILE>"),
            std::string::npos)
      << locked.body;
}

TEST_F(MfpSimTest, PageImagesMatchTheirPageInformation) {
  struct Case {
    std::string file;
    int page;
    const char* type;
    int width, height, dpi;
  } cases[] = {
      {"0000ABCD", 2, "image/jpeg", 320, 240, 150},
      {"00001A2B", 2, "image/tiff", 400, 300, 300},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    std::string page = "0000000" + std::to_string(c.page);
    HttpReply info = Box(Job("GETIMAGEINFO", {{"FILEID", c.file}, {"PAGE", page}}));
    EXPECT_EQ(Code(info), "600");
    EXPECT_EQ(Element(info.body, "XPIXEL"), std::to_string(c.width));
    EXPECT_EQ(Element(info.body, "YPIXEL"), std::to_string(c.height));
    EXPECT_EQ(Element(info.body, "XRESOLUTION"), std::to_string(c.dpi));
    EXPECT_EQ(Element(info.body, "YRESOLUTION"), std::to_string(c.dpi));

    HttpReply img = Page(c.file, c.page);
    ASSERT_EQ(img.status, 200);
    ASSERT_TRUE(img.complete);
    ASSERT_GT(img.body.size(), 8u);
    EXPECT_EQ(img.Header("Content-Type"), c.type);
    Picture p;
    if (std::string(c.type) == "image/jpeg") {
      EXPECT_EQ(Byte(img.body, 0), 0xFFu);
      EXPECT_EQ(Byte(img.body, 1), 0xD8u);
      p = ReadJpeg(img.body);
    } else {
      std::string magic = img.body.substr(0, 4);
      EXPECT_TRUE(magic == std::string("II*\0", 4) || magic == std::string("MM\0*", 4));
      p = ReadTiff(img.body);
      EXPECT_EQ(p.compression, 4);  // CCITT G4
      EXPECT_EQ(p.photometric, 0);  // min-is-white
    }
    EXPECT_EQ(p.width, c.width);
    EXPECT_EQ(p.height, c.height);
    EXPECT_EQ(p.dpi, c.dpi);
    // Every page is a file of its own.
    HttpReply first = Page(c.file, 1);
    ASSERT_EQ(first.status, 200);
    EXPECT_NE(first.body, img.body);
  }
}

TEST_F(MfpSimTest, UnknownDocumentsPagesAndRequestsGetTheirCodes) {
  struct Case {
    const char* target;
    std::string body;
    std::string code;
  } cases[] = {
      {kScanBox, Job("GETIMAGEINFO", {{"FILEID", "00009999"}, {"PAGE", "00000001"}}), "333"},
      {kScanBox, Job("GETIMAGEINFO", {{"FILEID", "0000ABCD"}, {"PAGE", "00000000"}}), "334"},
      {kScanBox, Job("GETIMAGEINFO", {{"FILEID", "0000ABCD"}, {"PAGE", "00000004"}}), "334"},
      {kScanBox, Job("GETIMAGEINFO", {{"FILEID", "123456789"}, {"PAGE", "1"}}), "700"},
      {kScanBox, Job("DELETE", {{"FILEID", "00009999"}}), "333"},
      {kScanBox, Job("GETDATA"), "700"},
      {kScanBox, "<JOB><COMMAND>LIST</COMMAND>", "700"},
      {kScanBox, "<JOB><COMMAND>LIST</COMMAND><TYPE>FAX</TYPE></JOB>", "700"},
      {"/ScanBox.cgi", Job("LIST"), "700"},
      {"/ScanBox.cgi?version=3", Job("LIST"), "700"},
  };
  for (const Case& c : cases) {
    HttpReply r = Box(c.body, c.target);
    SCOPED_TRACE(c.body);
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(Code(r), c.code);
  }
  EXPECT_EQ(Page("00009999", 1).status, 404);
  EXPECT_EQ(Page("0000ABCD", 4).status, 404);
  EXPECT_EQ(Page("0000ABCD", 0).status, 404);
}

TEST_F(MfpSimTest, DeleteRemovesTheDocument) {
  HttpReply r = Box(Job("DELETE", {{"FILEID", "00000077"}}));
  EXPECT_EQ(r.body.substr(r.body.find("<JOB>")), "<JOB><CODE>600</CODE></JOB>");
  HttpReply list = Box(Job("LIST", {{"FOLDERID", "00000001"}}));
  EXPECT_EQ(list.body.find("00000077"), std::string::npos) << list.body;
  EXPECT_NE(list.body.find("0000ABCD"), std::string::npos) << list.body;
  EXPECT_EQ(Page("00000077", 1).status, 404);
  EXPECT_EQ(Code(Box(Job("DELETE", {{"FILEID", "00000077"}}))), "333");
}

TEST_F(MfpSimTest, FaultsChangeTheAnswerOfTheirTarget) {
  const std::string listBoxes = Job("LIST");
  const std::string listDocs = Job("LIST", {{"FOLDERID", "00000001"}});
  struct Case {
    std::string fault;
    bool page;  // the request is a page download, else a box listing
    std::function<void(const HttpReply&)> check;
  } cases[] = {
      {"list-boxes code 807", false,
       [](const HttpReply& r) {
         EXPECT_EQ(r.status, 200);
         EXPECT_EQ(r.body.substr(r.body.find("<JOB>")), "<JOB><CODE>807</CODE></JOB>");
       }},
      {"list-docs code 807", false, [](const HttpReply& r) { EXPECT_EQ(Code(r), "600"); }},
      {"scanbox status 503", false,
       [](const HttpReply& r) {
         EXPECT_EQ(r.status, 503);
         EXPECT_TRUE(r.body.empty());
       }},
      {"scanbox drop", false,
       [](const HttpReply& r) {
         EXPECT_TRUE(r.connected);
         EXPECT_FALSE(r.received);
       }},
      {"scanbox malformed", false,
       [](const HttpReply& r) {
         EXPECT_EQ(r.status, 200);
         EXPECT_EQ(r.body.find("</JOB>"), std::string::npos);
       }},
      {"loadimg cut", true,
       [](const HttpReply& r) {
         EXPECT_EQ(r.status, 200);
         ASSERT_TRUE(r.contentLength.has_value());
         EXPECT_FALSE(r.complete);
         EXPECT_EQ(r.body.size(), *r.contentLength / 2);
       }},
      {"loadimg empty", true,
       [](const HttpReply& r) {
         EXPECT_EQ(r.status, 200);
         EXPECT_EQ(r.contentLength, std::optional<std::size_t>(0));
       }},
      {"loadimg code 1", true, [](const HttpReply& r) { EXPECT_EQ(r.status, 404); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    sim_.SetFaults({c.fault});
    c.check(c.page ? Page("0000ABCD", 1) : Box(listBoxes));
  }
  sim_.SetFaults({});
  EXPECT_EQ(Code(Box(listDocs)), "600");
  EXPECT_EQ(Page("0000ABCD", 1).status, 200);
  EXPECT_EQ(sim_.Post("/_sim/faults", "loadimg explode\n").status, 400);
}

// A trickle sends the whole reply, only slowly: at one byte a second, a
// second's wait sees a few bytes of the page at most; a fast one the whole.
TEST_F(MfpSimTest, TrickleSendsTheWholeReplySlowly) {
  const std::string page = Page("00000077", 1).body;
  const std::string boxes = Box(Job("LIST")).body;
  ASSERT_GT(page.size(), 100u);
  sim_.SetFaults({"loadimg trickle 100000000", "list-boxes trickle 100000000"});
  EXPECT_EQ(Page("00000077", 1).body, page);
  EXPECT_EQ(Box(Job("LIST")).body, boxes);
  EXPECT_EQ(sim_.Get("/_sim/faults").body, "loadimg trickle 100000000\nlist-boxes trickle 100000000\n");

  sim_.SetFaults({"loadimg trickle 1", "list-boxes trickle 1"});
  for (const bool isPage : {true, false}) {
    SCOPED_TRACE(isPage ? "loadimg" : "list-boxes");
    const HttpReply r = isPage ? sim_.Get("/loadimg.cgi?FileID=00000077&PageNumber=1", 1000)
                               : sim_.Post(kScanBox, Job("LIST"), 1000);
    EXPECT_FALSE(r.complete);
    EXPECT_LT(r.body.size(), 10u);
    if (r.received) {
      EXPECT_EQ(r.status, 200);
    }
  }
}

// A trickle that would go on for minutes ends as the simulator stops: it
// ends cleanly well within the time it is given before it is killed.
TEST(MfpSimStop, StoppingEndsATrickle) {
  SimProcess sim(SimOptions{kConfig, {"loadimg trickle 1"}, "127.0.0.1", {}});
  HttpReply reply;
  std::thread client([&] { reply = sim.Get("/loadimg.cgi?FileID=0000ABCD&PageNumber=1", 120000); });
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (sim.Log().empty() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_FALSE(sim.Log().empty()) << "the page was not asked for";
  EXPECT_EQ(sim.Terminate(), 0);
  client.join();
  EXPECT_FALSE(reply.complete);
}

TEST(MfpSimStart, FaultsFromTheCommandLine) {
  SimProcess sim(SimOptions{"", {"imageinfo stall-mid 50", "imageinfo code 338"}, "127.0.0.1", {}});
  // The first matching fault is the one that acts.
  HttpReply r = sim.Post(kScanBox, Job("GETIMAGEINFO", {{"FILEID", "0000ABCD"}, {"PAGE", "1"}}));
  EXPECT_TRUE(r.complete);
  EXPECT_EQ(Code(r), "600");
  sim.SetFaults({"imageinfo code 338"});
  EXPECT_EQ(Code(sim.Post(kScanBox, Job("GETIMAGEINFO", {{"FILEID", "0000ABCD"}, {"PAGE", "1"}}))),
            "338");
  EXPECT_EQ(sim.Terminate(), 0);
}

TEST_F(MfpSimTest, LogRecordsEveryServiceRequest) {
  Box(Job("LIST"));
  sim_.ClearLog();
  Box(Job("LIST", {{"PASSWORD", "1234"}, {"FOLDERID", "0000002A"}}));
  Page("0000ABCD", 2);
  sim_.Get("/loadimg.cgi?FileID=%20abcd&PageNumber=+2&extra");
  Box("not xml");
  Box(Job("LIST"), "/ScanBox.cgi");  // no query at all
  sim_.Get("/loadimg.cgi");
  sim_.Get("/_sim/faults");
  std::vector<std::string> expected = {
      "scanbox version=2 LIST PASSWORD=1234 FOLDERID=0000002A",
      "loadimg FileID=0000ABCD PageNumber=2",
      "loadimg FileID= abcd PageNumber=+2 extra=",
      "scanbox version=2 (unreadable)",
      "scanbox LIST",
      "loadimg",
  };
  EXPECT_EQ(sim_.Log(), expected);
  sim_.ClearLog();
  EXPECT_TRUE(sim_.Log().empty());
}

TEST(MfpSimStart, HelpNamesEveryOption) {
  std::FILE* out = ::popen(MFP_SIM_PATH " --help", "r");
  ASSERT_NE(out, nullptr);
  std::string text;
  char buffer[256];
  while (std::size_t n = std::fread(buffer, 1, sizeof buffer, out)) text.append(buffer, n);
  EXPECT_EQ(::pclose(out), 0);
  for (const char* option : {"--config", "--bind", "--port", "--search-port", "--usb NAME",
                             "--usb-block-size", "--fault"}) {
    EXPECT_NE(text.find(option), std::string::npos) << option;
  }
}

TEST(MfpSimStart, RefusesBadArguments) {
  const SimOptions cases[] = {
      {"", {}, "192.0.2.1", {}},
      {"<mfp><box id='1'><doc id='5'/><doc id='5'/></box></mfp>", {}, "127.0.0.1", {}},
      {"<mfp><box id='0'/></mfp>", {}, "127.0.0.1", {}},
      {"<mfp><box>", {}, "127.0.0.1", {}},
      {"", {"loadimg stall"}, "127.0.0.1", {}},
      {"", {"loadimg trickle"}, "127.0.0.1", {}},
      {"", {"loadimg trickle 0"}, "127.0.0.1", {}},
      {"", {"getdata trickle 1073741825"}, "127.0.0.1", {}},
  };
  for (const SimOptions& o : cases) {
    SCOPED_TRACE(o.config + o.bind);
    try {
      SimProcess sim(o);
      ADD_FAILURE() << "started";
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find("exit code 2"), std::string::npos) << e.what();
    }
  }
}

TEST(MfpSimStart, RefusesAPortInUse) {
  SimProcess first;
  try {
    SimProcess second(SimOptions{"", {}, "127.0.0.1", {"--port", std::to_string(first.Port())}});
    ADD_FAILURE() << "two simulators on port " << first.Port();
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("exit code 2"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace tallow::test
