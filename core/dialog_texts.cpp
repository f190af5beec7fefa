#include "core/dialog_texts.h"

#include "core/texts.h"

namespace tallow {

void SetDlgItemTexts(const CtrlTextEntry* table, DialogWindow& dialog) {
  if (!table) return;
  for (const CtrlTextEntry* e = table; e->controlId != kCtrlTextEnd.controlId; ++e) {
    // The chain runs even for a control the dialog lacks: a language file
    // that misses the id is marked incomplete all the same.
    TextBuffer text;
    const int n = LoadResString(text, e->stringId);
    if (n == 0) continue;
    const WStringView found(text, static_cast<std::size_t>(n));
    if (e->controlId == kCaptionControl) {
      dialog.SetCaption(found);
    } else if (dialog.HasControl(e->controlId)) {
      dialog.SetControlText(e->controlId, found);
    }
  }
}

void SetAboutLanguageText(DialogWindow& dialog) {
  if (LrcText version = LanguageVersionText()) {
    if (dialog.HasControl(kAboutLanguageVersionControl)) {
      dialog.SetControlText(kAboutLanguageVersionControl, version.get());
    }
  }
  static constexpr CtrlTextEntry kTable[] = {
      {kCaptionControl, 101},  // "About"
      kCtrlTextEnd,
  };
  SetDlgItemTexts(kTable, dialog);
}

void SetSelectMfpDlgTexts(DialogWindow& dialog) {
  static constexpr CtrlTextEntry kTable[] = {
      {kCaptionControl, 12101},  // "Select MFP"
      {3101, 12102},             // check box: typed address or host name
      {3102, 12103},             // check box: not at start-up
      {3201, 12104},             // Search button
      {3202, 12105},             // OK button
      {3203, 12106},             // Cancel button
      {3304, 12004},             // port group box
      {3305, 12005},             // HTTP port label
      {3306, 12006},             // search port label
      {3307, 12007},             // HTTP port range
      {3308, 12008},             // search port range
      kCtrlTextEnd,
  };
  SetDlgItemTexts(kTable, dialog);
}

void SetAdvancedDlgTexts(DialogWindow& dialog) {
  static constexpr CtrlTextEntry kTable[] = {
      {kCaptionControl, 10101},  // "Tallowmere"
      {1101, 10102},             // Preview check box
      {1102, 10103},             // Delete after save check box
      {1301, 10104},             // All pages radio
      {1302, 10105},             // current page radio
      {1303, 10106},             // page range radio
      {1601, 10107},             // Save button
      {1602, 10108},             // Exit button
      {1603, 10109},             // Refresh button
      {1702, 10006},             // page range group box
      {1703, 10007},             // erase group box
      kCtrlTextEnd,
  };
  SetDlgItemTexts(kTable, dialog);
}

void SetSimpleDlgTexts(DialogWindow& dialog) {
  static constexpr CtrlTextEntry kTable[] = {
      {kCaptionControl, 11201},  // "Tallowmere"
      {2001, 11001},             // document group box
      {2002, 11002},             // device name label
      {2003, 11003},             // box name label
      {2004, 11004},             // file number label
      {2005, 11005},             // date and time label
      {2006, 11006},             // pages label
      {2007, 11007},             // colour label
      {2008, 11008},             // destination group box
      {2009, 11009},             // destination folder label
      {2010, 11010},             // file format label
      {2101, 11101},             // Save button
      {2102, 11102},             // Exit button
      kCtrlTextEnd,
  };
  SetDlgItemTexts(kTable, dialog);
}

void SetBasicSettingDlgTexts(DialogWindow& dialog) {
  static constexpr CtrlTextEntry kTable[] = {
      {kCaptionControl, 13201},  // "Basic Settings"
      {4601, 13001},             // device name label
      {4602, 13002},             // box name label
      {4603, 13003},             // destination folder label
      {4604, 13004},             // file format group box
      {4605, 13005},             // colour group box
      {4606, 13006},             // black-and-white group box
      {4607, 13007},             // erase group box
      {4608, 13008},             // mode group box
      {4301, 13101},             // Delete after save check box
      {4401, 13102},             // colour: PDF
      {4402, 13103},             // colour: JPEG
      {4403, 13104},             // black-and-white: PDF
      {4404, 13105},             // black-and-white: TIFF
      {4405, 13106},             // Advanced Mode radio
      {4406, 13107},             // Simple Mode radio
      {4501, 13108},             // Browse button
      {4502, 13109},             // OK button
      {4503, 13110},             // Cancel button
      kCtrlTextEnd,
  };
  SetDlgItemTexts(kTable, dialog);
}

void SetPasswordDlgTexts(DialogWindow& dialog) {
  static constexpr CtrlTextEntry kTable[] = {
      {kCaptionControl, 14101},  // "TWAIN Box Password"
      {6301, 14001},             // password label
      {6302, 14002},             // range label
      {6101, 14201},             // Save Password check box
      {6201, 14202},             // OK button
      {6202, 14203},             // Cancel button
      kCtrlTextEnd,
  };
  SetDlgItemTexts(kTable, dialog);
}

}  // namespace tallow
