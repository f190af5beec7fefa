// Window-layer vocabulary: rectangles, styles, messages, notifications and
// the commands the dialogs use, with the values of the other system so that
// templates and message maps read the same as there.
#pragma once

#include <cstdint>

#include "platform/message_box.h"
#include "platform/result.h"

namespace tallow::ui {

// Positions and sizes; a template's are dialog units, a window's pixels.
struct Rect {
  int x = 0;
  int y = 0;
  int cx = 0;
  int cy = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};

// Window styles.
inline constexpr DWORD WS_POPUP = 0x80000000u;
inline constexpr DWORD WS_CHILD = 0x40000000u;
inline constexpr DWORD WS_VISIBLE = 0x10000000u;
inline constexpr DWORD WS_DISABLED = 0x08000000u;
inline constexpr DWORD WS_CAPTION = 0x00C00000u;
inline constexpr DWORD WS_BORDER = 0x00800000u;
inline constexpr DWORD WS_SYSMENU = 0x00080000u;
inline constexpr DWORD WS_GROUP = 0x00020000u;
inline constexpr DWORD WS_TABSTOP = 0x00010000u;
// Dialog styles.
inline constexpr DWORD DS_MODALFRAME = 0x0080u;
inline constexpr DWORD DS_SETFONT = 0x0040u;
inline constexpr DWORD DS_CENTER = 0x0800u;
// Statics.
inline constexpr DWORD SS_LEFT = 0x0000u;
inline constexpr DWORD SS_CENTER = 0x0001u;
inline constexpr DWORD SS_ICON = 0x0003u;
inline constexpr DWORD SS_NOPREFIX = 0x0080u;
// Buttons.
inline constexpr DWORD BS_PUSHBUTTON = 0x0000u;
inline constexpr DWORD BS_DEFPUSHBUTTON = 0x0001u;
inline constexpr DWORD BS_AUTOCHECKBOX = 0x0003u;
inline constexpr DWORD BS_TYPEMASK = 0x000Fu;
// Edits.
inline constexpr DWORD ES_PASSWORD = 0x0020u;
inline constexpr DWORD ES_AUTOHSCROLL = 0x0080u;
inline constexpr DWORD ES_READONLY = 0x0800u;
inline constexpr DWORD ES_NUMBER = 0x2000u;
// Progress bars.
inline constexpr DWORD PBS_SMOOTH = 0x01u;

// Messages the dialogs post or send to themselves.
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_COMMAND = 0x0111;
// Notifications carried by WM_COMMAND.
inline constexpr int BN_CLICKED = 0;
inline constexpr int EN_CHANGE = 0x0300;

// Command ids with a meaning of their own.
inline constexpr int IDC_STATIC = -1;
// IDOK and IDCANCEL come from platform/message_box.h.
// The system menu's Close entry.
inline constexpr UINT SC_CLOSE = 0xF060;
// What DoModal answers when the dialog cannot be made or its loop fails.
inline constexpr int kModalFailed = -1;

// Show commands.
inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOW = 5;

// Check box states.
inline constexpr int BST_UNCHECKED = 0;
inline constexpr int BST_CHECKED = 1;

}  // namespace tallow::ui
