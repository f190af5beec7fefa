#include "core/digit_filter.h"

#include <gtest/gtest.h>

#include <functional>

namespace tallow {
namespace {

TEST(RemoveNonDigits, OnlyWhatLiesInFrontOfTheCaretGoes) {
  struct Case {
    WString text;
    std::uint16_t caret;
    WString after;
    std::uint16_t caretAfter;
    int result;
  };
  for (const Case& c : {
           Case{u"1a2b", 4, u"12", 2, 1},
           Case{u"1a2b", 2, u"12b", 1, 1},
           Case{u"x9", 1, u"9", 0, 1},
           Case{u"a1", 9, u"1", 1, 1},       // caret beyond the end: put at the end
           Case{u"123", 3, u"123", 3, 0},
           Case{u"ab", 0, u"ab", 0, 0},
           Case{u"", 5, u"", 0, 0},
           Case{u"\U0001D11E" u"1", 3, u"1", 1, 1},  // both halves of a pair
           Case{u"\u0663" u"4", 2, u"4", 1, 1},      // digits of other scripts are not 0-9
       }) {
    SCOPED_TRACE(testing::Message() << c.after.size() << " caret " << c.caret);
    WString text = c.text;
    std::uint16_t caret = c.caret;
    EXPECT_EQ(RemoveNonDigits(text, caret), c.result);
    EXPECT_EQ(text, c.after);
    EXPECT_EQ(caret, c.caretAfter);
  }
}

// An edit control as the window layer drives it: setting the text resets
// the selection to 0 and raises the change notification.
class FakeEdit : public IEditControl {
 public:
  FakeEdit(WString text, DWORD start, DWORD end) : text_(std::move(text)), start_(start), end_(end) {}
  WString GetText() const override { return text_; }
  void GetSel(DWORD* start, DWORD* end) const override {
    *start = start_;
    *end = end_;
  }
  void SetText(WStringView text) override {
    text_ = WString(text);
    start_ = end_ = 0;
    ++setTexts_;
    if (onChange_) onChange_();
  }
  void SetSel(DWORD start, DWORD end) override {
    start_ = start;
    end_ = end;
  }
  void ScrollCaret() override { ++scrolls_; }

  WString text_;
  DWORD start_, end_;
  int setTexts_ = 0;
  int scrolls_ = 0;
  std::function<void()> onChange_;
};

TEST(FilterDigitsInEdit, RemovesNonDigitsAndPutsTheCaretBehindTheKeptText) {
  FakeEdit edit(u"1a2b", 4, 4);
  int nested = -1;
  edit.onChange_ = [&] { nested = FilterDigitsInEdit(&edit); };
  EXPECT_EQ(FilterDigitsInEdit(&edit), 1);
  EXPECT_EQ(nested, 0);  // our own SetText is seen with the selection at 0
  EXPECT_EQ(edit.text_, u"12");
  EXPECT_EQ(edit.start_, 2u);
  EXPECT_EQ(edit.end_, 2u);
  EXPECT_EQ(edit.setTexts_, 1);
  EXPECT_EQ(edit.scrolls_, 1);
}

TEST(FilterDigitsInEdit, LeavesTheControlAloneWhenNothingIsToBeDone) {
  struct Case {
    WString text;
    DWORD start, end;
  };
  for (const Case& c : {Case{u"ab", 0, 0}, Case{u"ab", 0, 2}, Case{u"ab", 2, 0},
                        Case{u"123", 3, 3}}) {
    FakeEdit edit(c.text, c.start, c.end);
    EXPECT_EQ(FilterDigitsInEdit(&edit), 0);
    EXPECT_EQ(edit.text_, c.text);
    EXPECT_EQ(edit.setTexts_, 0);
  }
  EXPECT_EQ(FilterDigitsInEdit(nullptr), 0);
}

}  // namespace
}  // namespace tallow
