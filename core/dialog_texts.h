// Relabelling a dialog when it opens: a table of control ids and string ids,
// each text looked up through the text chain (core/texts.h).
#pragma once

#include <cstdint>

#include "platform/dialog_window.h"
#include "res/resource_ids.h"

namespace tallow {

// One pair of a control-text table. Control id 0 is the dialog's own
// caption; the pair {-1, -1} ends the table.
struct CtrlTextEntry {
  std::int32_t controlId;
  std::int32_t stringId;
};
inline constexpr std::int32_t kCaptionControl = 0;
inline constexpr CtrlTextEntry kCtrlTextEnd = {-1, -1};

// The progress dialog (template 206) applies this one itself.
inline constexpr CtrlTextEntry kProgressDlgTexts[] = {
    {kCaptionControl, 15101},           // "Progress"
    {res::IDC_PROGRESS_OK, 15201},      // OK button
    {res::IDC_PROGRESS_CANCEL, 15202},  // Cancel button
    kCtrlTextEnd,
};

// For each pair up to the end: a found text replaces the caption or the
// control's text; an id that no source has, or a control that the dialog
// lacks, leaves the template's text. A null table does nothing.
void SetDlgItemTexts(const CtrlTextEntry* table, DialogWindow& dialog);

// The tables of the program's dialogs, applied.
void SetAboutLanguageText(DialogWindow& dialog);      // About (template 100)
void SetSelectMfpDlgTexts(DialogWindow& dialog);      // Select MFP (template 202)
void SetAdvancedDlgTexts(DialogWindow& dialog);       // main window, Advanced layout (207)
void SetSimpleDlgTexts(DialogWindow& dialog);         // main window, Simple layout
void SetBasicSettingDlgTexts(DialogWindow& dialog);   // Basic Settings (template 205)
void SetPasswordDlgTexts(DialogWindow& dialog);       // Password (template 203)

}  // namespace tallow
