#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "core/dialog_texts.h"
#include "texts_fixture.h"

namespace tallow::test {
namespace {

using namespace tallow::res;

// A dialog with the given controls, each showing its template's text.
class FakeDialog : public DialogWindow {
 public:
  explicit FakeDialog(std::initializer_list<int> controls, bool anyControl = false)
      : anyControl_(anyControl) {
    for (int id : controls) texts[id] = u"template";
  }
  void SetCaption(WStringView text) override { caption = WString(text); }
  bool HasControl(int controlId) const override { return anyControl_ || texts.count(controlId) > 0; }
  void SetControlText(int controlId, WStringView text) override {
    EXPECT_TRUE(HasControl(controlId)) << controlId;
    texts[controlId] = WString(text);
  }

  WString caption = u"template";
  std::map<int, WString> texts;

 private:
  bool anyControl_;
};

using DialogTextsTest = TextsTest;

TEST_F(DialogTextsTest, TableSetsFoundTextsOnControlsThatExistUpToItsEnd) {
  StartProgram();
  FakeDialog dialog{1101, 1102, 1103};
  const CtrlTextEntry table[] = {
      {kCaptionControl, 10102},
      {1101, 10103},
      {4242, 10104},  // the dialog has no such control
      {1102, 99999},  // no source has the id
      kCtrlTextEnd,
      {1103, 10105},  // after the end
  };
  SetDlgItemTexts(table, dialog);
  EXPECT_EQ(dialog.caption, u"Preview");
  EXPECT_EQ(dialog.texts[1101], u"Delete after save");
  EXPECT_EQ(dialog.texts[1102], u"template");
  EXPECT_EQ(dialog.texts[1103], u"template");
  EXPECT_EQ(dialog.texts.count(4242), 0u);

  SetDlgItemTexts(nullptr, dialog);
  EXPECT_EQ(dialog.caption, u"Preview");
}

TEST_F(DialogTextsTest, MainWindowAppliesBothLayoutsAndEndsWithTheSimpleCaption) {
  auto mainWindow = [] {
    return FakeDialog{IDC_MAIN_PREVIEW, IDC_MAIN_DELETE_AFTER_SAVE, IDC_MAIN_RANGE_ALL,
                      IDC_MAIN_RANGE_CURRENT, IDC_MAIN_RANGE_PAGES, IDC_MAIN_SAVE, IDC_MAIN_EXIT,
                      IDC_MAIN_REFRESH, IDC_MAIN_RANGE_GROUP, IDC_MAIN_ERASE_GROUP,
                      IDC_SIMPLE_DOCUMENT_GROUP, IDC_SIMPLE_DEVICE_LABEL, IDC_SIMPLE_BOX_LABEL,
                      IDC_SIMPLE_FILE_NUMBER_LABEL, IDC_SIMPLE_DATE_TIME_LABEL,
                      IDC_SIMPLE_PAGES_LABEL, IDC_SIMPLE_COLOR_LABEL, IDC_SIMPLE_DESTINATION_GROUP,
                      IDC_SIMPLE_FOLDER_LABEL, IDC_SIMPLE_FORMAT_LABEL, IDC_SIMPLE_SAVE,
                      IDC_SIMPLE_EXIT};
  };
  StartProgram();
  FakeDialog plain = mainWindow();
  SetAdvancedDlgTexts(plain);
  SetSimpleDlgTexts(plain);
  EXPECT_EQ(plain.caption, u"Tallowmere");
  EXPECT_EQ(plain.texts[IDC_MAIN_ERASE_GROUP], u"Erase document(s)");
  EXPECT_EQ(plain.texts[IDC_SIMPLE_COLOR_LABEL], u"B/W / Color:");

  PutLanguageFile(StandardLanguageEntries());
  PutLibrary();
  StartProgram();
  FakeDialog translated = mainWindow();
  SetAdvancedDlgTexts(translated);
  SetSimpleDlgTexts(translated);
  EXPECT_EQ(translated.caption, u"Language Simple");
  EXPECT_EQ(translated.texts[IDC_MAIN_PREVIEW], u"Language Preview");
  EXPECT_EQ(translated.texts[IDC_MAIN_DELETE_AFTER_SAVE], u"Library Delete");
  EXPECT_EQ(translated.texts[IDC_MAIN_RANGE_ALL], u"All");
  EXPECT_EQ(translated.texts[IDC_MAIN_REFRESH], u"Library Refresh");
  EXPECT_EQ(translated.texts[IDC_SIMPLE_DEVICE_LABEL], u"Device Name:");
  for (const auto& [id, text] : translated.texts) EXPECT_NE(text, u"template") << id;
}

TEST_F(DialogTextsTest, EveryDialogGetsItsBuiltInCaptionAndTexts) {
  struct Case {
    std::function<void(DialogWindow&)> apply;
    WString caption;
    int control;
    WString text;
  };
  const Case cases[] = {
      {SetAboutLanguageText, u"About", IDC_ABOUT_LANGUAGE, u"-"},
      {SetSelectMfpDlgTexts, u"Select MFP", IDC_SELECT_MFP_HTTP_PORT_LABEL,
       u"HTTP Port Number:   (Default:80)"},
      {SetAdvancedDlgTexts, u"Tallowmere", IDC_MAIN_RANGE_CURRENT, u"Current page"},
      {SetSimpleDlgTexts, u"Tallowmere", IDC_SIMPLE_FORMAT_LABEL, u"File Format:"},
      {SetBasicSettingDlgTexts, u"Basic Settings", IDC_SETTING_MONO_TIFF, u"TIFF"},
      {SetPasswordDlgTexts, u"TWAIN Box Password", IDC_PASSWORD_RANGE, u"(0001 - 9999)"},
      {[](DialogWindow& d) { SetDlgItemTexts(kProgressDlgTexts, d); }, u"Progress",
       IDC_PROGRESS_CANCEL, u"Cancel"},
  };
  StartProgram();
  for (const Case& c : cases) {
    SCOPED_TRACE(ToAnsi(c.caption));
    FakeDialog dialog({}, /*anyControl=*/true);
    c.apply(dialog);
    EXPECT_EQ(dialog.caption, c.caption);
    EXPECT_EQ(dialog.texts[c.control], c.text);
    for (const auto& [id, text] : dialog.texts) EXPECT_FALSE(text.empty()) << id;
  }
}

TEST_F(DialogTextsTest, LanguageFileWithOneTextRelabelsOnlyThatControlAndIsMarkedIncomplete) {
  PutLanguageFile({{10102, u"Language Preview"}}, "tallowmere.lrc", {1, 0, 12, 255});
  StartProgram();
  FillTables();  // the tables' ids miss in the file
  FakeDialog advanced{IDC_MAIN_PREVIEW, IDC_MAIN_DELETE_AFTER_SAVE, IDC_MAIN_REFRESH};
  SetAdvancedDlgTexts(advanced);
  EXPECT_EQ(advanced.caption, u"Tallowmere");
  EXPECT_EQ(advanced.texts[IDC_MAIN_PREVIEW], u"Language Preview");
  EXPECT_EQ(advanced.texts[IDC_MAIN_DELETE_AFTER_SAVE], u"Delete after save");
  EXPECT_EQ(advanced.texts[IDC_MAIN_REFRESH], u"Refresh");

  FakeDialog about{IDC_ABOUT_LANGUAGE};
  SetAboutLanguageText(about);
  EXPECT_EQ(about.texts[IDC_ABOUT_LANGUAGE], u"1.0.12.255 !");
  EXPECT_EQ(about.caption, u"About");
}

TEST_F(DialogTextsTest, AboutShowsTheLanguageVersionWhereItHasTheControl) {
  PutLanguageFile({{101, u"Language About"}}, "tallowmere.lrc", {2, 5, 0, 1});
  StartProgram();
  FakeDialog about{IDC_ABOUT_LANGUAGE};
  SetAboutLanguageText(about);
  EXPECT_EQ(about.texts[IDC_ABOUT_LANGUAGE], u"2.5.0.1");  // nothing missed
  EXPECT_EQ(about.caption, u"Language About");

  FakeDialog withoutStatic{};
  SetAboutLanguageText(withoutStatic);
  EXPECT_EQ(withoutStatic.caption, u"Language About");
  EXPECT_TRUE(withoutStatic.texts.empty());
}

}  // namespace
}  // namespace tallow::test
