#include "core/digit_filter.h"

#include <algorithm>

namespace tallow {

int FilterDigitsInEdit(IEditControl* edit) {
  if (!edit) return 0;
  DWORD start = 0, end = 0;
  edit->GetSel(&start, &end);
  if (start == 0 || end == 0) return 0;
  WString text = edit->GetText();
  auto caret = static_cast<std::uint16_t>(std::min<DWORD>(end, 0xFFFF));
  int changed = RemoveNonDigits(text, caret);
  if (changed == 1) {
    edit->SetText(text);
    edit->SetSel(caret, caret);
    edit->ScrollCaret();
  }
  return changed;
}

int RemoveNonDigits(WString& text, std::uint16_t& caret) {
  const auto length = static_cast<std::uint16_t>(std::min<std::size_t>(text.size(), 0xFFFF));
  if (caret > length) caret = length;
  int removed = 0;
  std::size_t i = 0;
  while (i < caret) {
    if (text[i] < u'0' || text[i] > u'9') {
      text.erase(i, 1);
      --caret;
      removed = 1;
    } else {
      ++i;
    }
  }
  return removed;
}

}  // namespace tallow
