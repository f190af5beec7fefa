// The program's resource ids by name: dialog templates, menus, icons.
#pragma once

namespace tallow::res {

// ---- Dialog templates
inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDD_SELECT_MFP = 202;
inline constexpr int IDD_PASSWORD = 203;
inline constexpr int IDD_BASIC_SETTING = 205;
inline constexpr int IDD_PROGRESS = 206;
inline constexpr int IDD_MAIN = 207;

// ---- Menus
inline constexpr int IDR_MAIN_MENU = 402;      // the main window's menu bar
inline constexpr int IDR_DOCUMENT_MENU = 403;  // the document list's context menu

// ---- Icons
inline constexpr int IDI_APPLICATION_ICON = 128;  // 32 x 32
// 16 x 16: the tree's and the list's images, then the page buttons' pictures.
inline constexpr int IDI_DOCUMENT = 301;
inline constexpr int IDI_BOX = 302;
inline constexpr int IDI_BOX_SELECTED = 303;
inline constexpr int IDI_ROOT = 304;
inline constexpr int IDI_PREV_PAGE = 305;
inline constexpr int IDI_NEXT_PAGE = 306;

}  // namespace tallow::res
