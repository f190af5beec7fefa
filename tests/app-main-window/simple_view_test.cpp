// The Simple view against the simulated MFP, over the network and over USB:
// the newest document of the configured box first, its texts and the format
// a save takes, saves under time-stamp names that walk to the older
// documents, protected boxes, and what stops a save or a listing.
#include <algorithm>
#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "core/file_utils.h"
#include "core/settings.h"
#include "pdfdumel/pdf_tools.h"
#include "platform/clock.h"
#include "save_fixture.h"
#include "support/temp_dir.h"

namespace tallow::app::testing {
namespace {

using namespace tallow::res;
using namespace tallow::ui;

// Three documents that the device lists out of date order, and a protected
// box.
constexpr const char* kStore = R"(<mfp name="Sim">
  <box id="1" name="Scans">
    <doc id="A2" name="Middle" timestamp="2026/12/05 10:00:00" pages="2" color="0"
         width="200" height="150" dpi="100"/>
    <doc id="A3" name="Newest" timestamp="2026/12/07 08:30:00" pages="3" color="1"
         width="120" height="90" dpi="100"/>
    <doc id="A1" name="Oldest" timestamp="2026/12/01 17:45:00" pages="1" color="1"
         width="120" height="90" dpi="100"/>
  </box>
  <box id="2" name="Locked" password="1234">
    <doc id="B1" name="Secret" timestamp="2026/12/02 12:00:00" pages="1" color="0"
         width="100" height="100" dpi="100"/>
  </box>
</mfp>)";

class SimpleViewTest : public SaveTest {
 protected:
  // The simulator with kStore and the settings: box |box|, the formats,
  // delete after save.
  void StartSimple(int box, int colorFormat, int monoFormat, bool deleteAfterSave,
                   const char* store = kStore) {
    StartSaveDevice(deleteAfterSave, store);
    SettingInfo settings = GetSettingInfo();
    settings.boxIndex = static_cast<std::uint16_t>(box);
    settings.ColorFormat = colorFormat;
    settings.MonoFormat = monoFormat;
    SetSettingInfo(settings);
  }

  struct Shown {
    WString fileNumber, dateTime, pages, colour, format;
    bool operator==(const Shown&) const = default;
  };
  static Shown DocumentTexts(const CDialog& d) {
    return {d.GetDlgItemText(IDC_SIMPLE_FILE_NUMBER), d.GetDlgItemText(IDC_SIMPLE_DATE_TIME),
            d.GetDlgItemText(IDC_SIMPLE_PAGES), d.GetDlgItemText(IDC_SIMPLE_COLOR),
            d.GetDlgItemText(IDC_SIMPLE_FORMAT)};
  }
};

// Names made by the time stamp of one second: every output of one save.
bool NamedByOneStamp(const std::vector<std::string>& names, const std::string& pattern,
                     std::string* stamp) {
  if (names.empty()) return false;
  const std::regex re("(\\d{14})" + pattern);
  std::smatch m;
  for (const std::string& name : names) {
    if (!std::regex_match(name, m, re)) return false;
    if (stamp->empty() || name == names.front()) *stamp = m[1];
    if (m[1] != *stamp) return false;
  }
  return true;
}

// Of several documents the latest by date and time shows first, whatever
// the device's order, with the device line, the box, the folder, the colour
// class and the format a save takes; the other documents of the listing show
// by the same rules.
TEST_P(SimpleViewTest, ShowsTheNewestDocumentFirstWithTheFormatASaveTakes) {
  struct Case {
    const char16_t* machineName;
    int colorFormat, monoFormat;
    const char16_t* device;  // the device line
    Shown newest, middle;
  };
  const WString address = Usb() ? u"" : u"127.0.0.1";
  const Case cases[] = {
      {u"", 0, 0, address.c_str(),
       {u"Newest", u"2026/12/07 08:30:00", u"3", u"Color", u"PDF"},
       {u"Middle", u"2026/12/05 10:00:00", u"2", u"B/W", u"PDF"}},
      {u"Front desk", 1, 1, u"Front desk",
       {u"Newest", u"2026/12/07 08:30:00", u"3", u"Color", u"JPEG"},
       {u"Middle", u"2026/12/05 10:00:00", u"2", u"B/W", u"TIFF"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ToAnsi(c.machineName));
    StartSimple(1, c.colorFormat, c.monoFormat, false);
    SettingInfo settings = GetSettingInfo();
    settings.machineName = c.machineName;
    SetSettingInfo(settings);
    Run([&](TestMainDlg& d) {
      d.InputMenuCommand(ID_MODE_SIMPLE);
      EXPECT_EQ(TakeCount("LIST FOLDERID=00000001"), 1);
      EXPECT_TRUE(TakeMessages().empty());
      EXPECT_EQ(d.GetDlgItemText(IDC_SIMPLE_DEVICE_NAME), c.device);
      EXPECT_EQ(d.GetDlgItemText(IDC_SIMPLE_BOX_NAME), u"Scans");
      EXPECT_EQ(d.GetDlgItemText(IDC_SIMPLE_FOLDER), FromAnsi(Out()));
      EXPECT_EQ(DocumentTexts(d), c.newest);
      EXPECT_EQ(d.m_nSimpleDocIndex, 2);
      d.ShowSimpleDocument(1);
      EXPECT_EQ(DocumentTexts(d), c.middle);
      // From the device: the boxes and the box listed anew.
      TakeLog();
      EXPECT_TRUE(d.RefreshSimpleView(TRUE));
      EXPECT_EQ(TakeCount("LIST"), 2);
      EXPECT_EQ(DocumentTexts(d), c.newest);
    });
  }
}

// With delete after save, three saves walk from the newest document to the
// oldest without listing the box again, each deleting the document it
// saved; then the view is empty and Save says there is nothing to save.
TEST_P(SimpleViewTest, SavesWalkToTheOlderDocumentsThenToTheEmptyView) {
  StartSimple(1, 1, 1, true);
  struct Step {
    const char* id;
    const char* pattern;  // of the output names after the stamp
    std::size_t files;
    Shown next;
  };
  const Step steps[] = {
      {"000000A3", "-[123]\\.jpg", 3, {u"Middle", u"2026/12/05 10:00:00", u"2", u"B/W", u"TIFF"}},
      {"000000A2", "\\.tif", 1, {u"Oldest", u"2026/12/01 17:45:00", u"1", u"Color", u"JPEG"}},
      {"000000A1", "-1\\.jpg", 1, {}},
  };
  RunSaving([&](TestMainDlg& d) {
    d.InputMenuCommand(ID_MODE_SIMPLE);
    for (const Step& s : steps) {
      SCOPED_TRACE(s.id);
      for (const std::string& name : Outputs()) std::remove(Out(name).c_str());
      TakeLog();
      d.InputClick(IDC_SIMPLE_SAVE);
      EXPECT_TRUE(progressCompletedSeen);
      EXPECT_TRUE(TakeMessages().empty());
      const std::vector<std::string> log = TakeLog();
      EXPECT_EQ(CountIn(log, std::string("DELETE FILEID=") + s.id), 1);
      EXPECT_EQ(CountIn(log, "DELETE"), 1);
      EXPECT_EQ(CountIn(log, "LIST"), 0);
      const std::vector<std::string> names = Outputs();
      EXPECT_EQ(names.size(), s.files);
      std::string stamp;
      EXPECT_TRUE(NamedByOneStamp(names, s.pattern, &stamp)) << ::testing::PrintToString(names);
      EXPECT_EQ(DocumentTexts(d), s.next);
    }
    EXPECT_EQ(d.m_nSimpleDocIndex, -1);
    TakeLog();
    d.InputClick(IDC_SIMPLE_SAVE);
    EXPECT_EQ(TakeMessages(), std::vector<WString>{u"No document to save selected."});
    EXPECT_EQ(ui.MessageBoxes().back().caption, u"Save");
    EXPECT_TRUE(TakeLog().empty());
    EXPECT_EQ(progressRuns, 3);
  });
}

// A protected box: the remembered password lists it without a question; a
// password the device refuses (807) is said, forgotten, and asked for in
// the dialog; a cancelled dialog leaves the view empty and nothing to save.
TEST_P(SimpleViewTest, ProtectedBoxTakesTheRememberedPasswordOrTheDialogs) {
  struct Case {
    const char* name;
    PasswordInfo remembered;
    const char16_t* typed;  // into the dialog; null: cancelled
    std::vector<WString> messages;
    int dialogs;
    bool listed;
  };
  const Case cases[] = {
      {"remembered", {u"1234", TRUE}, nullptr, {}, 0, true},
      {"remembered, refused, typed", {u"9999", TRUE}, u"1234",
       {u"Authentication failed. (Error Code: 807)"}, 1, true},
      {"remembered, refused, cancelled", {u"9999", TRUE}, nullptr,
       {u"Authentication failed. (Error Code: 807)"}, 1, false},
      {"asked, cancelled", {u"", FALSE}, nullptr, {}, 1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StartSimple(2, 0, 0, false);
    SetPasswordInfo(c.remembered);
    int dialogs = 0;
    onDialog = [&](CDialog& p) {
      ++dialogs;
      ASSERT_EQ(p.TemplateId(), IDD_PASSWORD);
      if (!c.typed) {
        p.InputClick(IDC_PASSWORD_CANCEL);
        return;
      }
      p.InputType(IDC_PASSWORD_EDIT, c.typed);
      p.InputClick(IDC_PASSWORD_OK);
    };
    RunSaving([&](TestMainDlg& d) {
      d.InputMenuCommand(ID_MODE_SIMPLE);
      EXPECT_EQ(TakeMessages(), c.messages);
      EXPECT_EQ(dialogs, c.dialogs);
      EXPECT_EQ(d.GetDlgItemText(IDC_SIMPLE_BOX_NAME), u"Locked");
      EXPECT_EQ(d.GetDlgItemText(IDC_SIMPLE_FILE_NUMBER), c.listed ? u"Secret" : u"");
      // Refused, the password is no longer remembered.
      if (!c.messages.empty()) {
        EXPECT_EQ(GetPasswordInfo().savePassword, FALSE);
      }
      TakeLog();
      d.InputClick(IDC_SIMPLE_SAVE);
      if (c.listed) {
        EXPECT_TRUE(progressCompletedSeen);
        EXPECT_EQ(Outputs().size(), 1u);
      } else {
        EXPECT_EQ(TakeMessages(), std::vector<WString>{u"No document to save selected."});
        EXPECT_TRUE(TakeLog().empty());
      }
    });
    for (const std::string& name : Outputs()) std::remove(Out(name).c_str());
  }
}

// A settings file that remembers a password that is none (edited by hand,
// or damaged): the protected box of Simple Mode asks for the password as on
// a first use instead of listing with an empty one.
TEST_P(SimpleViewTest, StoredPasswordThatIsNoneIsAskedFor) {
  StartSimple(2, 0, 0, false);
  StartUpWithStoredPassword("abcd");
  int dialogs = 0;
  onDialog = TypePassword(u"1234", &dialogs);
  RunSaving([&](TestMainDlg& d) {
    TakeLog();
    d.InputMenuCommand(ID_MODE_SIMPLE);
    EXPECT_EQ(dialogs, 1);
    EXPECT_TRUE(TakeMessages().empty());
    EXPECT_EQ(d.GetDlgItemText(IDC_SIMPLE_FILE_NUMBER), u"Secret");
    const std::vector<std::string> log = TakeLog();
    EXPECT_EQ(EmptyPasswordsIn(log), 0);
    EXPECT_EQ(CountIn(log, "PASSWORD=1234"), 1);
  });
  onDialog = nullptr;
}

// A box that cannot be listed says so, and nothing is asked of it: a box
// the MFP does not have, from the cached listing and from the device, and a
// box listing that the MFP refuses with a code, said by that code. The
// listing takes no password, so its 807 asks for none and leaves the
// remembered one alone. Afterwards there is nothing to save.
TEST_P(SimpleViewTest, BoxThatCannotBeListedSaysSoAndListsNothing) {
  const WString noConnection = u"Unable to connect to the scanner.";
  struct Case {
    const char* name;
    int box;
    const char* fault;              // of the box listing from the device; null: none
    std::vector<WString> atSwitch;  // the mode switch, from the cached listing
    std::vector<WString> atRefresh;
  };
  const Case cases[] = {
      {"a box the MFP does not have", 9, nullptr, {noConnection}, {noConnection}},
      {"the box listing refused", 1, "list-boxes code 802", {}, {noConnection}},
      {"the box listing refused with a download code", 1, "list-boxes code 333", {},
       {u"Unable to download the file."}},
      {"the box listing refused with 807", 2, "list-boxes code 807", {},
       {u"Authentication failed. (Error Code: 807)"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StartSimple(c.box, 0, 0, true);
    SetPasswordInfo({u"1234", TRUE});
    int dialogs = 0;
    onDialog = [&](CDialog& p) {
      ++dialogs;
      p.InputEscape();
    };
    RunSaving([&](TestMainDlg& d) {
      TakeMessages();
      d.InputMenuCommand(ID_MODE_SIMPLE);
      EXPECT_EQ(TakeMessages(), c.atSwitch);
      EXPECT_EQ(TakeCount("LIST"), c.atSwitch.empty() ? 1 : 0);
      if (c.fault) sim_->SetFaults({c.fault});
      EXPECT_TRUE(d.RefreshSimpleView(TRUE));
      ASSERT_EQ(TakeMessages(), c.atRefresh);
      EXPECT_EQ(ui.MessageBoxes().back().caption, u"Communication");
      EXPECT_EQ(ui.MessageBoxes().back().type, static_cast<UINT>(MB_ICONERROR));
      const std::vector<std::string> log = TakeLog();
      EXPECT_EQ(CountIn(log, "LIST"), 1);
      EXPECT_EQ(CountIn(log, "FOLDERID="), 0);  // the box itself is not asked
      EXPECT_EQ(dialogs, 0);
      EXPECT_EQ(GetPasswordInfo().savePassword, TRUE);
      EXPECT_EQ(d.GetDlgItemText(IDC_SIMPLE_FILE_NUMBER), u"");
      EXPECT_EQ(d.m_nSimpleDocIndex, -1);
      sim_->SetFaults({});
      d.InputClick(IDC_SIMPLE_SAVE);
      EXPECT_EQ(TakeMessages(), std::vector<WString>{u"No document to save selected."});
      EXPECT_TRUE(TakeLog().empty());
    });
    onDialog = nullptr;
  }
}

// What stops a Simple save before anything is downloaded, and a listing
// that fails: each is said, nothing is saved and nothing deleted.
TEST_P(SimpleViewTest, SavesThatCannotBeMadeSayWhyAndTouchNothing) {
  struct Case {
    const char* name;
    int box;
    const char* store;
    std::function<void(TestMainDlg&)> before;  // after the view is built
    std::vector<WString> messages;                              // of the Save
  };
  constexpr const char* kNoPages = R"(<mfp name="Sim">
    <box id="1" name="Scans">
      <doc id="C1" name="Pages" timestamp="2026/12/01 09:00:00" pages="1" color="1"/>
      <doc id="C0" name="No pages" timestamp="2026/12/08 09:00:00" pages="0" color="1"/>
    </box>
  </mfp>)";
  const Case cases[] = {
      {"the destination folder removed", 1, kStore,
       [this](TestMainDlg&) { std::filesystem::remove_all(Out()); },
       {u"Unable to access folder."}},
      {"the newest document has no pages", 1, kNoPages, nullptr,
       {u"No document to save selected."}},
      {"the box listed again failed", 1, kStore,
       [this](TestMainDlg& d) {
         sim_->SetFaults({"list-docs code 802"});
         d.RefreshSimpleView(TRUE);
         EXPECT_EQ(TakeMessages(), std::vector<WString>{u"Unable to connect to the scanner."});
         EXPECT_EQ(d.GetDlgItemText(IDC_SIMPLE_FILE_NUMBER), u"");
         EXPECT_EQ(d.m_nSimpleDocIndex, -1);
         sim_->SetFaults({});
       },
       {u"No document to save selected."}},
      {"a box the MFP does not have", 9, kStore, nullptr, {u"No document to save selected."}},
      {"a page count beyond what a save takes", 1, kStore,
       [](TestMainDlg& d) { d.SetDlgItemText(IDC_SIMPLE_PAGES, u"10000"); },
       {u"The page number you entered is invalid."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StartSimple(c.box, 0, 0, true, c.store);
    RunSaving([&](TestMainDlg& d) {
      d.InputMenuCommand(ID_MODE_SIMPLE);
      EXPECT_EQ(TakeMessages(), c.box == 9
                                    ? std::vector<WString>{u"Unable to connect to the scanner."}
                                    : std::vector<WString>{});
      if (c.box == 9) {
        EXPECT_EQ(d.GetDlgItemText(IDC_SIMPLE_BOX_NAME), u"");
        EXPECT_EQ(d.GetDlgItemText(IDC_SIMPLE_FILE_NUMBER), u"");
        EXPECT_EQ(TakeCount("LIST"), 0);
      }
      if (c.before) c.before(d);
      TakeLog();
      d.InputClick(IDC_SIMPLE_SAVE);
      EXPECT_EQ(TakeMessages(), c.messages);
      EXPECT_EQ(ui.MessageBoxes().back().caption, u"Save");
      const std::vector<std::string> log = TakeLog();
      EXPECT_TRUE(PagesIn(log).empty());
      EXPECT_EQ(CountIn(log, "DELETE"), 0);
      EXPECT_EQ(progressRuns, 0);
    });
    std::filesystem::create_directories(Out());
    EXPECT_TRUE(Outputs().empty());
  }
}

// Names of one second never replace a file, and nothing is asked: where
// the stamp's outputs are taken (by the save before in the same second, by
// files that were there, by one that comes while the pages download), the
// save takes the stamp with the next free counter. With delete after save
// every document is gone from the MFP and its file is whole beside the
// others.
TEST_P(SimpleViewTest, SavesOfOneSecondTakeTheNextFreeNameAndReplaceNothing) {
  const std::int64_t second = 1796806000;
  const std::string s = ToAnsi(FormatFileTimeStamp(&second));
  struct Output {
    std::string name;
    const char* id;  // the document; null: a file that was there
    int pages = 0;   // of a PDF; of a JPEG file, its page
    bool colour = false;
  };
  struct Case {
    const char* name;
    int colorFormat;
    std::vector<std::string> there;  // files before the saves
    bool arrives;                    // the stamp's PDF comes with the first page
    int saves;
    std::vector<Output> outputs;
  };
  const Case cases[] = {
      {"two saves in one second", 0, {}, false, 2,
       {{s + ".pdf", "000000A3", 3, true}, {s + "_2.pdf", "000000A2", 2, false}}},
      {"files of the stamp there", 0, {s + ".pdf", s + "_2.pdf"}, false, 1,
       {{s + ".pdf", nullptr}, {s + "_2.pdf", nullptr}, {s + "_3.pdf", "000000A3", 3, true}}},
      {"JPEG pages, one page name there", 1, {s + "-2.jpg"}, false, 2,
       {{s + "-2.jpg", nullptr},
        {s + ".pdf", "000000A2", 2, false},
        {s + "_2-1.jpg", "000000A3", 1, true},
        {s + "_2-2.jpg", "000000A3", 2, true},
        {s + "_2-3.jpg", "000000A3", 3, true}}},
      {"a file of the name made while the pages download", 0, {}, true, 1,
       {{s + ".pdf", nullptr}, {s + "_2.pdf", "000000A3", 3, true}}},
  };
  struct Clock {
    explicit Clock(std::int64_t at) {
      SetCurrentTimeSourceForTests([at] { return at; });
    }
    ~Clock() { SetCurrentTimeSourceForTests({}); }
  } frozen(second);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StartSimple(1, c.colorFormat, 0, true);
    for (const std::string& name : Outputs()) std::remove(Out(name).c_str());
    for (const std::string& name : c.there) test::WriteFile(Out(name), "there");
    progressRuns = 0;
    // The JPEG pages as the device serves them, before the saves delete them.
    std::map<std::string, std::string> pages;
    for (const Output& o : c.outputs) {
      if (o.id && o.name.ends_with(".jpg")) pages[o.name] = Page(o.id, o.pages);
    }
    ui.onWorkerWait = [&] {
      if (c.arrives && !std::filesystem::exists(Out(s + ".pdf"))) {
        test::WriteFile(Out(s + ".pdf"), "there");
      }
    };
    RunSaving([&](TestMainDlg& d) {
      d.InputMenuCommand(ID_MODE_SIMPLE);
      TakeLog();
      TakeMessages();
      for (int save = 0; save < c.saves; ++save) d.InputClick(IDC_SIMPLE_SAVE);
      EXPECT_TRUE(TakeMessages().empty());
      EXPECT_EQ(progressRuns, c.saves);
      const std::vector<std::string> log = TakeLog();
      EXPECT_EQ(CountIn(log, "DELETE FILEID=000000A3"), 1);
      EXPECT_EQ(CountIn(log, "DELETE FILEID=000000A2"), c.saves > 1 ? 1 : 0);
    });
    ui.onWorkerWait = nullptr;
    std::vector<std::string> names;
    for (const Output& o : c.outputs) names.push_back(o.name);
    std::sort(names.begin(), names.end());
    ASSERT_EQ(Outputs(), names);
    for (const Output& o : c.outputs) {
      SCOPED_TRACE(o.name);
      const std::string path = Out(o.name);
      if (!o.id) {
        EXPECT_EQ(test::ReadFile(path), "there");
      } else if (o.name.ends_with(".jpg")) {
        EXPECT_EQ(test::ReadFile(path), pages[o.name]);
      } else {
        EXPECT_TRUE(test::QpdfChecks(path));
        const std::vector<test::ListedImage> images = test::ListImages(path);
        ASSERT_EQ(images.size(), static_cast<std::size_t>(o.pages));
        for (const test::ListedImage& image : images) {
          EXPECT_EQ(image.encoding, o.colour ? "jpeg" : "ccitt");
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(BothChannels, SimpleViewTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "Usb" : "Network";
                         });

}  // namespace
}  // namespace tallow::app::testing
