#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "core/dialog_texts.h"
#include "texts_fixture.h"

namespace tallow::test {
namespace {

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
    return FakeDialog{1101, 1102, 1301, 1302, 1303, 1601, 1602, 1603, 1702, 1703,
                      2001, 2002, 2003, 2004, 2005, 2006, 2007, 2008, 2009, 2010, 2101, 2102};
  };
  StartProgram();
  FakeDialog plain = mainWindow();
  SetAdvancedDlgTexts(plain);
  SetSimpleDlgTexts(plain);
  EXPECT_EQ(plain.caption, u"Tallowmere");
  EXPECT_EQ(plain.texts[1703], u"Erase document(s)");
  EXPECT_EQ(plain.texts[2007], u"B/W / Color:");

  PutLanguageFile(StandardLanguageEntries());
  PutLibrary();
  StartProgram();
  FakeDialog translated = mainWindow();
  SetAdvancedDlgTexts(translated);
  SetSimpleDlgTexts(translated);
  EXPECT_EQ(translated.caption, u"Language Simple");
  EXPECT_EQ(translated.texts[1101], u"Language Preview");
  EXPECT_EQ(translated.texts[1102], u"Library Delete");
  EXPECT_EQ(translated.texts[1301], u"All");
  EXPECT_EQ(translated.texts[1603], u"Library Refresh");
  EXPECT_EQ(translated.texts[2002], u"Device Name:");
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
      {SetAboutLanguageText, u"About", kAboutLanguageVersionControl, u"-"},
      {SetSelectMfpDlgTexts, u"Select MFP", 3305, u"HTTP Port Number:   (Default:80)"},
      {SetAdvancedDlgTexts, u"Tallowmere", 1302, u"Current page"},
      {SetSimpleDlgTexts, u"Tallowmere", 2010, u"File Format:"},
      {SetBasicSettingDlgTexts, u"Basic Settings", 4404, u"TIFF"},
      {SetPasswordDlgTexts, u"TWAIN Box Password", 6302, u"(0001 - 9999)"},
      {[](DialogWindow& d) { SetDlgItemTexts(kProgressDlgTexts, d); }, u"Progress", 5202, u"Cancel"},
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
  FakeDialog advanced{1101, 1102, 1603};
  SetAdvancedDlgTexts(advanced);
  EXPECT_EQ(advanced.caption, u"Tallowmere");
  EXPECT_EQ(advanced.texts[1101], u"Language Preview");
  EXPECT_EQ(advanced.texts[1102], u"Delete after save");
  EXPECT_EQ(advanced.texts[1603], u"Refresh");

  FakeDialog about{kAboutLanguageVersionControl};
  SetAboutLanguageText(about);
  EXPECT_EQ(about.texts[kAboutLanguageVersionControl], u"1.0.12.255 !");
  EXPECT_EQ(about.caption, u"About");
}

TEST_F(DialogTextsTest, AboutShowsTheLanguageVersionWhereItHasTheControl) {
  PutLanguageFile({{101, u"Language About"}}, "tallowmere.lrc", {2, 5, 0, 1});
  StartProgram();
  FakeDialog about{kAboutLanguageVersionControl};
  SetAboutLanguageText(about);
  EXPECT_EQ(about.texts[kAboutLanguageVersionControl], u"2.5.0.1");  // nothing missed
  EXPECT_EQ(about.caption, u"Language About");

  FakeDialog withoutStatic{};
  SetAboutLanguageText(withoutStatic);
  EXPECT_EQ(withoutStatic.caption, u"Language About");
  EXPECT_TRUE(withoutStatic.texts.empty());
}

}  // namespace
}  // namespace tallow::test
