// Window-layer vocabulary: rectangles, styles, messages, notifications and
// the commands the dialogs use, with the values of the other system so that
// templates and message maps read the same as there.
#pragma once

#include <cstdint>

#include "platform/message_box.h"
#include "platform/result.h"

namespace tallow::ui {

using LPARAM = std::intptr_t;
using WPARAM = std::uintptr_t;
using LRESULT = std::intptr_t;
// An icon is named by its resource id; 0 is no icon.
using HICON = int;
// A device context as a message carries it (CDC::GetSafeHdc).
using HDC = void*;
using COLORREF = std::uint32_t;  // 0x00BBGGRR

inline constexpr COLORREF RGB(int r, int g, int b) {
  return static_cast<COLORREF>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}

struct Point {
  int x = 0;
  int y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

// Positions and sizes; a template's are dialog units, a window's pixels.
struct Rect {
  int x = 0;
  int y = 0;
  int cx = 0;
  int cy = 0;
  int right() const { return x + cx; }
  int bottom() const { return y + cy; }
  bool Contains(Point p) const { return p.x >= x && p.x < right() && p.y >= y && p.y < bottom(); }
  friend bool operator==(const Rect&, const Rect&) = default;
};

struct Size {
  int cx = 0;
  int cy = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

// value * numerator / denominator with a 64-bit product, rounded half away
// from zero; -1 for a zero denominator, as the other system's MulDiv.
int MulDiv(int value, int numerator, int denominator);

// Window styles.
inline constexpr DWORD WS_POPUP = 0x80000000u;
inline constexpr DWORD WS_CHILD = 0x40000000u;
inline constexpr DWORD WS_MINIMIZE = 0x20000000u;
inline constexpr DWORD WS_VISIBLE = 0x10000000u;
inline constexpr DWORD WS_DISABLED = 0x08000000u;
inline constexpr DWORD WS_CAPTION = 0x00C00000u;
inline constexpr DWORD WS_BORDER = 0x00800000u;
inline constexpr DWORD WS_VSCROLL = 0x00200000u;
inline constexpr DWORD WS_HSCROLL = 0x00100000u;
inline constexpr DWORD WS_SYSMENU = 0x00080000u;
inline constexpr DWORD WS_GROUP = 0x00020000u;
inline constexpr DWORD WS_TABSTOP = 0x00010000u;
inline constexpr DWORD WS_MINIMIZEBOX = 0x00020000u;  // on windows with a caption
inline constexpr DWORD WS_EX_APPWINDOW = 0x00040000u;
// Dialog styles.
inline constexpr DWORD DS_MODALFRAME = 0x0080u;
inline constexpr DWORD DS_SETFONT = 0x0040u;
inline constexpr DWORD DS_CENTER = 0x0800u;
// Statics.
inline constexpr DWORD SS_LEFT = 0x0000u;
inline constexpr DWORD SS_CENTER = 0x0001u;
inline constexpr DWORD SS_ICON = 0x0003u;
inline constexpr DWORD SS_BLACKFRAME = 0x0007u;
inline constexpr DWORD SS_TYPEMASK = 0x001Fu;
inline constexpr DWORD SS_NOPREFIX = 0x0080u;
inline constexpr DWORD SS_ENDELLIPSIS = 0x4000u;
// Buttons.
inline constexpr DWORD BS_PUSHBUTTON = 0x0000u;
inline constexpr DWORD BS_DEFPUSHBUTTON = 0x0001u;
inline constexpr DWORD BS_AUTOCHECKBOX = 0x0003u;
inline constexpr DWORD BS_GROUPBOX = 0x0007u;
inline constexpr DWORD BS_AUTORADIOBUTTON = 0x0009u;
inline constexpr DWORD BS_TYPEMASK = 0x000Fu;
inline constexpr DWORD BS_ICON = 0x0040u;
// Edits.
inline constexpr DWORD ES_LEFT = 0x0000u;
inline constexpr DWORD ES_PASSWORD = 0x0020u;
inline constexpr DWORD ES_AUTOHSCROLL = 0x0080u;
inline constexpr DWORD ES_READONLY = 0x0800u;
inline constexpr DWORD ES_WANTRETURN = 0x1000u;
inline constexpr DWORD ES_NUMBER = 0x2000u;
// Progress bars.
inline constexpr DWORD PBS_SMOOTH = 0x01u;
// Up-down controls.
inline constexpr DWORD UDS_SETBUDDYINT = 0x0002u;
inline constexpr DWORD UDS_ALIGNRIGHT = 0x0004u;
inline constexpr DWORD UDS_AUTOBUDDY = 0x0010u;
inline constexpr DWORD UDS_ARROWKEYS = 0x0020u;
inline constexpr DWORD UDS_NOTHOUSANDS = 0x0080u;
// List views.
inline constexpr DWORD LVS_REPORT = 0x0001u;
inline constexpr DWORD LVS_SINGLESEL = 0x0004u;
inline constexpr DWORD LVS_SHOWSELALWAYS = 0x0008u;
inline constexpr DWORD LVS_EX_FULLROWSELECT = 0x0020u;
// Tree views.
inline constexpr DWORD TVS_HASBUTTONS = 0x0001u;
inline constexpr DWORD TVS_HASLINES = 0x0002u;
inline constexpr DWORD TVS_LINESATROOT = 0x0004u;
inline constexpr DWORD TVS_SHOWSELALWAYS = 0x0020u;
// Combo boxes.
inline constexpr DWORD CBS_DROPDOWNLIST = 0x0003u;
inline constexpr DWORD CBS_SORT = 0x0100u;

// Messages.
inline constexpr UINT WM_SIZE = 0x0005;
inline constexpr UINT WM_PAINT = 0x000F;
inline constexpr UINT WM_CLOSE = 0x0010;
// Sent by a minimised window to itself while it paints its icon; wParam is
// the device context (HDC). The default handling erases what was drawn.
inline constexpr UINT WM_ICONERASEBKGND = 0x0027;
inline constexpr UINT WM_QUERYDRAGICON = 0x0037;
inline constexpr UINT WM_KEYDOWN = 0x0100;
inline constexpr UINT WM_COMMAND = 0x0111;
inline constexpr UINT WM_SYSCOMMAND = 0x0112;
inline constexpr UINT BM_CLICK = 0x00F5;
// The first message numbers free for a window class's and a program's own.
inline constexpr UINT WM_USER = 0x0400;
inline constexpr UINT WM_APP = 0x8000;
// WM_SIZE types.
inline constexpr UINT SIZE_RESTORED = 0;
inline constexpr UINT SIZE_MINIMIZED = 1;
// Keys.
inline constexpr WPARAM VK_RETURN = 0x0D;
inline constexpr WPARAM VK_ESCAPE = 0x1B;
inline constexpr WPARAM VK_UP = 0x26;
inline constexpr WPARAM VK_DOWN = 0x28;

// A queued message as PreTranslateMessage sees it.
struct MSG {
  HWND hwnd;  // the window it is for: the focused control, else the dialog
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

// Notifications carried by WM_COMMAND.
inline constexpr int BN_CLICKED = 0;
inline constexpr int CBN_SELCHANGE = 1;
inline constexpr int EN_SETFOCUS = 0x0100;
inline constexpr int EN_KILLFOCUS = 0x0200;
inline constexpr int EN_CHANGE = 0x0300;
// Notifications carried by WM_NOTIFY.
inline constexpr int NM_CLICK = -2;
inline constexpr int NM_RCLICK = -5;
inline constexpr int LVN_ITEMCHANGED = -101;
inline constexpr int LVN_DELETEITEM = -103;
inline constexpr int LVN_DELETEALLITEMS = -104;
inline constexpr int TVN_SELCHANGED = -402;
inline constexpr int UDN_DELTAPOS = -722;

struct NMHDR {
  HWND hwndFrom;
  int idFrom;
  int code;
};

// List-view item states and the parts of a change.
inline constexpr UINT LVIS_FOCUSED = 0x0001;
inline constexpr UINT LVIS_SELECTED = 0x0002;
inline constexpr UINT LVIF_TEXT = 0x0001;
inline constexpr UINT LVIF_IMAGE = 0x0002;
inline constexpr UINT LVIF_PARAM = 0x0004;
inline constexpr UINT LVIF_STATE = 0x0008;
inline constexpr int LVNI_ALL = 0x0000;
inline constexpr int LVNI_SELECTED = 0x0002;
inline constexpr int LVCFMT_LEFT = 0x0000;
inline constexpr int LVSIL_NORMAL = 0;
inline constexpr int LVSIL_SMALL = 1;

struct NMLISTVIEW {
  NMHDR hdr;
  int iItem;
  int iSubItem;
  UINT uNewState;
  UINT uOldState;
  UINT uChanged;
  Point ptAction;
  LPARAM lParam;
};

struct NMITEMACTIVATE {
  NMHDR hdr;
  int iItem;
  int iSubItem;
  Point ptAction;
};

// Tree-view items are named by handles that stay valid until deleted.
struct TreeItem;
using HTREEITEM = TreeItem*;
inline constexpr UINT TVE_COLLAPSE = 0x0001;
inline constexpr UINT TVE_EXPAND = 0x0002;
inline constexpr int TVSIL_NORMAL = 0;
inline constexpr UINT TVHT_NOWHERE = 0x0001;
inline constexpr UINT TVHT_ONITEMICON = 0x0002;
inline constexpr UINT TVHT_ONITEMLABEL = 0x0004;
inline constexpr UINT TVHT_ONITEMINDENT = 0x0008;
inline constexpr UINT TVHT_ONITEMRIGHT = 0x0020;
inline constexpr UINT TVHT_ONITEM = TVHT_ONITEMICON | TVHT_ONITEMLABEL;

struct NMTREEVIEW {
  NMHDR hdr;
  HTREEITEM itemOld;
  HTREEITEM itemNew;
};

struct NMUPDOWN {
  NMHDR hdr;
  int iPos;
  int iDelta;
};

// Combo boxes and list answers.
inline constexpr int CB_ERR = -1;

// Menus.
inline constexpr UINT MF_BYCOMMAND = 0x0000;
inline constexpr UINT MF_STRING = 0x0000;
inline constexpr UINT MF_ENABLED = 0x0000;
inline constexpr UINT MF_UNCHECKED = 0x0000;
inline constexpr UINT MF_GRAYED = 0x0001;
inline constexpr UINT MF_DISABLED = 0x0002;
inline constexpr UINT MF_CHECKED = 0x0008;
inline constexpr UINT MF_POPUP = 0x0010;
inline constexpr UINT MF_BYPOSITION = 0x0400;
inline constexpr UINT MF_SEPARATOR = 0x0800;
inline constexpr UINT kMenuFailed = 0xFFFFFFFFu;  // what the state calls answer for no such item
inline constexpr UINT TPM_LEFTALIGN = 0x0000;
inline constexpr UINT TPM_RIGHTBUTTON = 0x0002;
inline constexpr UINT TPM_RETURNCMD = 0x0100;

// Command ids with a meaning of their own.
inline constexpr int IDC_STATIC = -1;
// IDOK and IDCANCEL come from platform/message_box.h.
// System menu commands.
inline constexpr UINT SC_MOVE = 0xF010;
inline constexpr UINT SC_MINIMIZE = 0xF020;
inline constexpr UINT SC_CLOSE = 0xF060;
inline constexpr UINT SC_RESTORE = 0xF120;
// What DoModal answers when the dialog cannot be made or its loop fails.
inline constexpr int kModalFailed = -1;

// Show commands.
inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_MINIMIZE = 6;
inline constexpr int SW_SHOW = 5;
inline constexpr int SW_RESTORE = 9;

// Check box states.
inline constexpr int BST_UNCHECKED = 0;
inline constexpr int BST_CHECKED = 1;

// Drawing.
inline constexpr int COLORONCOLOR = 3;
inline constexpr int HALFTONE = 4;
inline constexpr DWORD SRCCOPY = 0x00CC0020u;

// System metrics and parameters the dialogs ask for.
inline constexpr int SM_CXICON = 11;
inline constexpr int SM_CYICON = 12;

}  // namespace tallow::ui
