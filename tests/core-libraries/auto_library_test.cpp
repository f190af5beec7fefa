#include "core/auto_library.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <functional>

#include "library_folders.h"

namespace tallow {
namespace {

namespace fs = std::filesystem;
using test::LibraryFolderTest;

std::string Ansi(const WString& s) { return ToAnsi(s); }

bool TableIsZero(const XmlHttpApi& api) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(&api);
  return std::all_of(bytes, bytes + sizeof api, [](unsigned char b) { return b == 0; });
}

bool EverySlotFilled(const XmlHttpApi& api) {
  for (int i = 0; i < XML_HTTP_API_SLOTS; ++i) {
    void* slot = nullptr;
    std::memcpy(&slot, reinterpret_cast<const char*>(&api) + i * sizeof(void*), sizeof slot);
    if (!slot) return false;
  }
  return true;
}

// ---- candidate search

class CandidateSearchTest : public LibraryFolderTest {};

TEST_F(CandidateSearchTest, MatchesAnyCaseAnywhereInTheNameInListingOrder) {
  const std::vector<std::string> listed =
      InListingOrder({"KIVOR.SO", "qelkivor.so", "Old-Kivor.So", "yomba.so"});
  InProgram("kivor.so.txt", "none");  // not a library name
  std::vector<std::string> expected;
  for (const auto& n : listed) {
    if (n == "yomba.so") continue;
    std::string lower = n;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    expected.push_back(lower);
  }
  WStringList list{u"already there"};
  ASSERT_EQ(FindDllCandidates(u"kivor.dll", list), S_OK);
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list[0], u"already there");
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(Ansi(list[i + 1]), expected[i]);
  EXPECT_EQ(Ansi(FindDllCandidate(u"KIVOR.DLL")), expected[0]);
  std::remove((program_ / "kivor.so.txt").c_str());
}

TEST_F(CandidateSearchTest, NothingFoundIsNoError) {
  InProgram("yomba.so", "none");
  WStringList list;
  EXPECT_EQ(FindDllCandidates(u"kivor.dll", list), S_OK);
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(FindDllCandidate(u"kivor.dll"), u"");
  EXPECT_EQ(FindDllCandidates(nullptr, list), E_INVALIDARG);
}

// ---- the base object

class AutoLibraryTest : public LibraryFolderTest {};

TEST_F(AutoLibraryTest, NoNameIsInvalidAndLeavesTheObjectEmpty) {
  InProgram("kivor.so", "http");
  CAutoLibrary lib;
  ASSERT_EQ(lib.Load(u"kivor.so"), S_OK);
  for (const char16_t* name : {static_cast<const char16_t*>(nullptr), u""}) {
    EXPECT_EQ(lib.Load(name), E_INVALIDARG);
    EXPECT_EQ(lib.GetModule(), nullptr);
    EXPECT_EQ(lib.GetPath(), u"");
    EXPECT_EQ(WString(lib.GetFileName()), u"");
  }
  EXPECT_FALSE(IsLoaded(program_ / "kivor.so"));
}

TEST_F(AutoLibraryTest, AFailedLoadKeepsTheNameForTheMessage) {
  struct Case {
    const char16_t* name;
    HRESULT hr;
    WString fileName;
  };
  InProgram("broken.so", "");
  for (const Case& c : {Case{u"missing.so", HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND), u"missing.so"},
                        Case{u"/nowhere/dir/missing.so", HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND),
                             u"missing.so"},
                        Case{u"broken.so", HRESULT_FROM_WIN32(ERROR_BAD_EXE_FORMAT), u"broken.so"}}) {
    CAutoLibrary lib;
    EXPECT_EQ(lib.Load(c.name), c.hr);
    EXPECT_EQ(lib.GetModule(), nullptr);
    EXPECT_EQ(lib.GetPath(), c.name);
    EXPECT_EQ(WString(lib.GetFileName()), c.fileName);
    lib.Unload();
    EXPECT_EQ(lib.GetPath(), u"");
  }
}

TEST_F(AutoLibraryTest, ReloadingHoldsOneModuleAndDestructionFreesIt) {
  InProgram("kivor.so", "http");
  {
    CHttpXMLLibrary lib;
    ASSERT_EQ(lib.Load(u"kivor.so"), S_OK);
    ASSERT_EQ(lib.Load(lib.GetPath().c_str()), S_OK);  // its own stored name
    ASSERT_EQ(lib.Load(), S_OK);
    EXPECT_EQ(lib.GetPath(), u"kivor.so");
    lib.Unload();
    EXPECT_FALSE(IsLoaded(program_ / "kivor.so"));
    ASSERT_EQ(lib.Load(), S_OK);
    EXPECT_TRUE(IsLoaded(program_ / "kivor.so"));
  }
  EXPECT_FALSE(IsLoaded(program_ / "kivor.so"));
}

// ---- loading by the first candidate

class FirstCandidateTest : public LibraryFolderTest {};

TEST_F(FirstCandidateTest, ANameInOtherCaseIsFoundAndFillsTheTable) {
  InProgram("KIVOR.SO", "http");
  CHttpXMLLibrary lib;
  ASSERT_EQ(lib.Load(), S_OK);
  EXPECT_EQ(lib.GetPath(), u"kivor.so");
  EXPECT_EQ(FileOf(lib.GetModule()), (program_ / "KIVOR.SO").string());
  EXPECT_NE(lib.GetHTTPXMLAddress(), nullptr);
  EXPECT_TRUE(EverySlotFilled(lib.Api()));  // the table's real size was passed
}

TEST_F(FirstCandidateTest, WithoutCandidateTheFallbackNameIsLoaded) {
  SKIP_WITHOUT_SYSTEM_PATH();
  OnSystemPath("qelkivor.so", "http");
  CHttpXMLLibrary lib;
  ASSERT_EQ(lib.Load(), S_OK);
  EXPECT_EQ(lib.GetPath(), u"qelkivor.so");
  EXPECT_EQ(FileOf(lib.GetModule()), (system_ / "qelkivor.so").string());
}

TEST_F(FirstCandidateTest, WithoutAnyLibraryTheMessageNamesTheFallback) {
  CHttpXMLLibrary lib;
  EXPECT_EQ(lib.Load(), HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND));
  EXPECT_EQ(lib.GetModule(), nullptr);
  EXPECT_EQ(WString(lib.GetFileName()), u"qelkivor.so");
  EXPECT_TRUE(TableIsZero(lib.Api()));
}

TEST_F(FirstCandidateTest, AFirstCandidateThatDoesNotLoadLeadsToTheFallbackNotTheSecond) {
  const auto order = InListingOrder({"kivor.so", "new-kivor.so"});
  InProgram(order[0], "");
  InProgram(order[1], "http");
  {
    CHttpXMLLibrary lib;
    EXPECT_TRUE(FAILED(lib.Load()));
    EXPECT_EQ(WString(lib.GetFileName()), u"qelkivor.so");
    EXPECT_FALSE(IsLoaded(program_ / order[1]));
  }
  if (SystemPathInUse()) {
    OnSystemPath("qelkivor.so", "http");
    CHttpXMLLibrary lib;
    ASSERT_EQ(lib.Load(), S_OK);
    EXPECT_EQ(FileOf(lib.GetModule()), (system_ / "qelkivor.so").string());
  }
}

TEST_F(FirstCandidateTest, AFirstCandidateWithoutTheExportFailsWithoutTryingOthers) {
  const auto order = InListingOrder({"kivor.so", "new-kivor.so"});
  InProgram(order[0], "none");
  InProgram(order[1], "http");
  OnSystemPath("qelkivor.so", "http");
  CHttpXMLLibrary lib;
  EXPECT_EQ(lib.Load(), HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND));
  EXPECT_EQ(lib.GetModule(), nullptr);
  EXPECT_EQ(lib.GetPath(), u"");  // the message names no file
  EXPECT_EQ(lib.GetHTTPXMLAddress(), nullptr);
  for (const auto& file : {program_ / order[0], program_ / order[1], system_ / "qelkivor.so"}) {
    EXPECT_FALSE(IsLoaded(file)) << file;
  }
}

TEST_F(FirstCandidateTest, ATableThatIsRefusedLeavesEverythingZero) {
  InProgram("kivor.so", "http_refuses");  // fills the table, then answers 0
  CHttpXMLLibrary lib;
  EXPECT_EQ(lib.Load(), E_FAIL);
  EXPECT_EQ(lib.GetModule(), nullptr);
  EXPECT_EQ(lib.GetPath(), u"");
  EXPECT_EQ(lib.GetHTTPXMLAddress(), nullptr);
  EXPECT_TRUE(TableIsZero(lib.Api()));
  EXPECT_FALSE(IsLoaded(program_ / "kivor.so"));
}

// ---- the exports each library must have

struct Outcome {
  HRESULT hr;
  bool loaded;
  WString path;
  std::vector<bool> present;
};

template <typename Lib, typename... Getters>
Outcome LoadAndLook(Getters... getters) {
  Lib lib;
  HRESULT hr = lib.Load();
  return {hr, lib.GetModule() != nullptr, lib.GetPath(), {((lib.*getters)() != nullptr)...}};
}

class ExportsTest : public LibraryFolderTest {};

TEST_F(ExportsTest, EachLibraryNeedsItsExportsAndOnlyThoseOfTheTable) {
  using S = CSearchAgentLibrary;
  const auto search = [] {
    return LoadAndLook<S>(&S::VKTGetDetectedMFPAddrW, &S::VKTGetDetectedMFPAddrSpecifyPortW,
                          &S::VKTFreeMFPAddrW);
  };
  const auto pdf = [] { return LoadAndLook<CPDFCodecLibrary>(&CPDFCodecLibrary::PDF_Encode); };
  const auto tiff = [] {
    return LoadAndLook<CTiffCodecLibrary>(&CTiffCodecLibrary::MultiTiffEncode);
  };
  const auto sti = [] {
    return LoadAndLook<CStidllLibrary>(&CStidllLibrary::StiCreateInstanceW);
  };
  const HRESULT kMissing = HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
  struct Case {
    const char* file;
    const char* lib;
    std::function<Outcome()> load;
    HRESULT hr;
    std::vector<bool> present;
  };
  for (const Case& c : {
           Case{"yomba.so", "search", search, S_OK, {true, true, true}},
           Case{"yomba.so", "search_no_port", search, S_OK, {true, false, true}},
           Case{"yomba.so", "search_no_free", search, kMissing, {false, false, false}},
           Case{"pdfdumel.so", "pdf", pdf, S_OK, {true}},
           Case{"pdfdumel.so", "tiff", pdf, kMissing, {false}},
           Case{"tiffdumel.so", "tiff", tiff, S_OK, {true}},
           Case{"tiffdumel.so", "pdf", tiff, kMissing, {false}},
           Case{"sti.so", "sti", sti, S_OK, {true}},
           Case{"sti.so", "none", sti, kMissing, {false}},
       }) {
    SCOPED_TRACE(std::string(c.file) + " as " + c.lib);
    InProgram(c.file, c.lib);
    Outcome o = c.load();
    EXPECT_EQ(o.hr, c.hr);
    EXPECT_EQ(o.loaded, c.hr == S_OK);
    EXPECT_EQ(o.path, c.hr == S_OK ? FromAnsi(c.file) : WString());
    EXPECT_EQ(o.present, c.present);
    std::remove((program_ / c.file).c_str());
  }
}

TEST_F(ExportsTest, StillImageIsLoadedByItsPlainNameOnly) {
  InProgram("old-sti.so", "sti");
  OnSystemPath("qelsti.so", "sti");
  CStidllLibrary lib;
  EXPECT_EQ(lib.Load(), HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND));
  EXPECT_EQ(WString(lib.GetFileName()), u"sti.so");
  EXPECT_EQ(lib.StiCreateInstanceW(), nullptr);
}

// ---- loading by every candidate

class EveryCandidateTest : public LibraryFolderTest {};

TEST_F(EveryCandidateTest, CandidatesWithoutTheExportsAreSkipped) {
  // Whatever the listing order, the last candidate is the one with all three
  // exports. In front of it: a codec library that has only its own export
  // (as "pdfdumel" has), a file that does not load, one lacking one export.
  const auto order = InListingOrder({"pdfdumel.so", "tiffdumel.so", "old-dumel.so", "dumel.so"});
  InProgram(order[0], "pdf");
  InProgram(order[1], "");
  InProgram(order[2], "codec_no_free");
  InProgram(order[3], "codec");
  CCommonCodecLibrary lib;
  ASSERT_EQ(lib.Load(), S_OK);
  EXPECT_EQ(Ansi(lib.GetPath()), order[3]);
  EXPECT_EQ(FileOf(lib.GetModule()), (program_ / order[3]).string());
  EXPECT_FALSE(IsLoaded(program_ / order[0]));
  EXPECT_FALSE(IsLoaded(program_ / order[2]));
}

TEST_F(EveryCandidateTest, FallbackAfterTheLastCandidate) {
  SKIP_WITHOUT_SYSTEM_PATH();
  InProgram("pdfdumel.so", "pdf");
  struct Case {
    const char* fallback;
    HRESULT hr;
    WString path;
  };
  for (const Case& c : {Case{"codec", S_OK, u"qeldumel.so"},
                        Case{"codec_no_free", HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND), u""}}) {
    SCOPED_TRACE(c.fallback);
    OnSystemPath("qeldumel.so", c.fallback);
    CCommonCodecLibrary lib;
    EXPECT_EQ(lib.Load(), c.hr);
    EXPECT_EQ(lib.GetPath(), c.path);
    EXPECT_EQ(lib.GetModule() != nullptr, c.hr == S_OK);
    lib.Unload();
    std::remove((system_ / "qeldumel.so").c_str());
  }
}

TEST_F(EveryCandidateTest, AMissingFallbackLeavesNoNameForTheMessage) {
  InProgram("pdfdumel.so", "pdf");
  CCommonCodecLibrary lib;
  EXPECT_EQ(lib.Load(), HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND));
  EXPECT_EQ(lib.GetModule(), nullptr);
  EXPECT_EQ(WString(lib.GetFileName()), u"");
  EXPECT_FALSE(IsLoaded(program_ / "pdfdumel.so"));
}

TEST_F(EveryCandidateTest, TheStandInOfTheCommonCodecLibraryLoads) {
  fs::copy_file(DUMEL_STANDIN, program_ / "dumel.so");
  CCommonCodecLibrary lib;
  EXPECT_EQ(lib.Load(), S_OK);
  EXPECT_EQ(lib.GetPath(), u"dumel.so");
}

}  // namespace
}  // namespace tallow
