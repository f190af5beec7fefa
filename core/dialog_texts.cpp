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
    if (dialog.HasControl(res::IDC_ABOUT_LANGUAGE)) {
      dialog.SetControlText(res::IDC_ABOUT_LANGUAGE, version.get());
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
      {kCaptionControl, 12101},                        // "Select MFP"
      {res::IDC_SELECT_MFP_USE_ADDRESS, 12102},        // check box: typed address or host name
      {res::IDC_SELECT_MFP_NOT_SHOW, 12103},           // check box: not at start-up
      {res::IDC_SELECT_MFP_SEARCH, 12104},             // Search button
      {res::IDC_SELECT_MFP_OK, 12105},                 // OK button
      {res::IDC_SELECT_MFP_CANCEL, 12106},             // Cancel button
      {res::IDC_SELECT_MFP_PORT_GROUP, 12004},         // port group box
      {res::IDC_SELECT_MFP_HTTP_PORT_LABEL, 12005},    // HTTP port label
      {res::IDC_SELECT_MFP_SEARCH_PORT_LABEL, 12006},  // search port label
      {res::IDC_SELECT_MFP_HTTP_PORT_RANGE, 12007},    // HTTP port range
      {res::IDC_SELECT_MFP_SEARCH_PORT_RANGE, 12008},  // search port range
      kCtrlTextEnd,
  };
  SetDlgItemTexts(kTable, dialog);
}

void SetAdvancedDlgTexts(DialogWindow& dialog) {
  static constexpr CtrlTextEntry kTable[] = {
      {kCaptionControl, 10101},                  // "Tallowmere"
      {res::IDC_MAIN_PREVIEW, 10102},            // Preview check box
      {res::IDC_MAIN_DELETE_AFTER_SAVE, 10103},  // Delete after save check box
      {res::IDC_MAIN_RANGE_ALL, 10104},          // All pages radio
      {res::IDC_MAIN_RANGE_CURRENT, 10105},      // current page radio
      {res::IDC_MAIN_RANGE_PAGES, 10106},        // page range radio
      {res::IDC_MAIN_SAVE, 10107},               // Save button
      {res::IDC_MAIN_EXIT, 10108},               // Exit button
      {res::IDC_MAIN_REFRESH, 10109},            // Refresh button
      {res::IDC_MAIN_RANGE_GROUP, 10006},        // page range group box
      {res::IDC_MAIN_ERASE_GROUP, 10007},        // erase group box
      kCtrlTextEnd,
  };
  SetDlgItemTexts(kTable, dialog);
}

void SetSimpleDlgTexts(DialogWindow& dialog) {
  static constexpr CtrlTextEntry kTable[] = {
      {kCaptionControl, 11201},                    // "Tallowmere"
      {res::IDC_SIMPLE_DOCUMENT_GROUP, 11001},     // document group box
      {res::IDC_SIMPLE_DEVICE_LABEL, 11002},       // device name label
      {res::IDC_SIMPLE_BOX_LABEL, 11003},          // box name label
      {res::IDC_SIMPLE_FILE_NUMBER_LABEL, 11004},  // file number label
      {res::IDC_SIMPLE_DATE_TIME_LABEL, 11005},    // date and time label
      {res::IDC_SIMPLE_PAGES_LABEL, 11006},        // pages label
      {res::IDC_SIMPLE_COLOR_LABEL, 11007},        // colour label
      {res::IDC_SIMPLE_DESTINATION_GROUP, 11008},  // destination group box
      {res::IDC_SIMPLE_FOLDER_LABEL, 11009},       // destination folder label
      {res::IDC_SIMPLE_FORMAT_LABEL, 11010},       // file format label
      {res::IDC_SIMPLE_SAVE, 11101},               // Save button
      {res::IDC_SIMPLE_EXIT, 11102},               // Exit button
      kCtrlTextEnd,
  };
  SetDlgItemTexts(kTable, dialog);
}

void SetBasicSettingDlgTexts(DialogWindow& dialog) {
  static constexpr CtrlTextEntry kTable[] = {
      {kCaptionControl, 13201},                     // "Basic Settings"
      {res::IDC_SETTING_DEVICE_LABEL, 13001},       // device name label
      {res::IDC_SETTING_BOX_LABEL, 13002},          // box name label
      {res::IDC_SETTING_FOLDER_LABEL, 13003},       // destination folder label
      {res::IDC_SETTING_FORMAT_GROUP, 13004},       // file format group box
      {res::IDC_SETTING_COLOR_GROUP, 13005},        // colour group box
      {res::IDC_SETTING_MONO_GROUP, 13006},         // black-and-white group box
      {res::IDC_SETTING_ERASE_GROUP, 13007},        // erase group box
      {res::IDC_SETTING_MODE_GROUP, 13008},         // mode group box
      {res::IDC_SETTING_DELETE_AFTER_SAVE, 13101},  // Delete after save check box
      {res::IDC_SETTING_COLOR_PDF, 13102},          // colour: PDF
      {res::IDC_SETTING_COLOR_JPEG, 13103},         // colour: JPEG
      {res::IDC_SETTING_MONO_PDF, 13104},           // black-and-white: PDF
      {res::IDC_SETTING_MONO_TIFF, 13105},          // black-and-white: TIFF
      {res::IDC_SETTING_MODE_ADVANCED, 13106},      // Advanced Mode radio
      {res::IDC_SETTING_MODE_SIMPLE, 13107},        // Simple Mode radio
      {res::IDC_SETTING_BROWSE, 13108},             // Browse button
      {res::IDC_SETTING_OK, 13109},                 // OK button
      {res::IDC_SETTING_CANCEL, 13110},             // Cancel button
      kCtrlTextEnd,
  };
  SetDlgItemTexts(kTable, dialog);
}

void SetPasswordDlgTexts(DialogWindow& dialog) {
  static constexpr CtrlTextEntry kTable[] = {
      {kCaptionControl, 14101},           // "TWAIN Box Password"
      {res::IDC_PASSWORD_LABEL, 14001},   // password label
      {res::IDC_PASSWORD_RANGE, 14002},   // range label
      {res::IDC_PASSWORD_SAVE, 14201},    // Save Password check box
      {res::IDC_PASSWORD_OK, 14202},      // OK button
      {res::IDC_PASSWORD_CANCEL, 14203},  // Cancel button
      kCtrlTextEnd,
  };
  SetDlgItemTexts(kTable, dialog);
}

}  // namespace tallow
