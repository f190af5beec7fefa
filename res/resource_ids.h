// The program's resource ids by name: dialog templates and every control
// they hold, menus and their commands, icons. The templates, the control-text
// tables and the dialogs all use these names. String ids stay numbers where
// they are looked up, beside the texts they name.
#pragma once

namespace tallow::res {

// ---- Dialog templates
inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDD_SELECT_MFP = 202;
inline constexpr int IDD_PASSWORD = 203;
inline constexpr int IDD_BASIC_SETTING = 205;
inline constexpr int IDD_PROGRESS = 206;
inline constexpr int IDD_MAIN = 207;

// ---- About (template 100)
inline constexpr int IDC_ABOUT_PRODUCT = 102;    // product name
inline constexpr int IDC_ABOUT_VERSION = 1121;   // the program's file version
inline constexpr int IDC_ABOUT_LANGUAGE = 1122;  // the language file's version
inline constexpr int IDC_ABOUT_LEGAL = 1124;     // legal notice

// ---- Select MFP (template 202)
inline constexpr int IDC_SELECT_MFP_DEVICE_LIST = 1201;        // found devices
inline constexpr int IDC_SELECT_MFP_USE_ADDRESS = 3101;        // check: use the typed address
inline constexpr int IDC_SELECT_MFP_ADDRESS = 3001;            // edit: IPv4 address or host name
inline constexpr int IDC_SELECT_MFP_PORT_GROUP = 3304;         // group box of the two ports
inline constexpr int IDC_SELECT_MFP_HTTP_PORT_LABEL = 3305;
inline constexpr int IDC_SELECT_MFP_HTTP_PORT = 3002;          // edit
inline constexpr int IDC_SELECT_MFP_HTTP_PORT_RANGE = 3307;    // "(0 - 65535)"
inline constexpr int IDC_SELECT_MFP_SEARCH_PORT_LABEL = 3306;
inline constexpr int IDC_SELECT_MFP_SEARCH_PORT = 3003;        // edit
inline constexpr int IDC_SELECT_MFP_SEARCH_PORT_RANGE = 3308;  // "(0 - 65535)"
inline constexpr int IDC_SELECT_MFP_NOT_SHOW = 3102;           // check: not at start-up
inline constexpr int IDC_SELECT_MFP_SEARCH = 3201;             // button
inline constexpr int IDC_SELECT_MFP_OK = 3202;
inline constexpr int IDC_SELECT_MFP_CANCEL = 3203;

// ---- Password (template 203)
inline constexpr int IDC_PASSWORD_LABEL = 6301;
inline constexpr int IDC_PASSWORD_EDIT = 6001;
inline constexpr int IDC_PASSWORD_RANGE = 6302;  // "(0001 - 9999)"
inline constexpr int IDC_PASSWORD_SAVE = 6101;   // check: remember the password
inline constexpr int IDC_PASSWORD_OK = 6201;
inline constexpr int IDC_PASSWORD_CANCEL = 6202;

// ---- Basic Settings (template 205)
inline constexpr int IDC_SETTING_DEVICE_LABEL = 4601;
inline constexpr int IDC_SETTING_DEVICE_NAME = 4001;  // static
inline constexpr int IDC_SETTING_BOX_LABEL = 4602;
inline constexpr int IDC_SETTING_BOX = 4201;          // combo box of box names
inline constexpr int IDC_SETTING_FOLDER_LABEL = 4603;
inline constexpr int IDC_SETTING_FOLDER = 4101;       // edit: destination folder
inline constexpr int IDC_SETTING_BROWSE = 4501;       // button
inline constexpr int IDC_SETTING_FORMAT_GROUP = 4604;
inline constexpr int IDC_SETTING_COLOR_GROUP = 4605;
inline constexpr int IDC_SETTING_COLOR_PDF = 4401;    // radio group: colour format
inline constexpr int IDC_SETTING_COLOR_JPEG = 4402;
inline constexpr int IDC_SETTING_MONO_GROUP = 4606;
inline constexpr int IDC_SETTING_MONO_PDF = 4403;     // radio group: black-and-white format
inline constexpr int IDC_SETTING_MONO_TIFF = 4404;
inline constexpr int IDC_SETTING_ERASE_GROUP = 4607;
inline constexpr int IDC_SETTING_DELETE_AFTER_SAVE = 4301;  // check
inline constexpr int IDC_SETTING_MODE_GROUP = 4608;
inline constexpr int IDC_SETTING_MODE_ADVANCED = 4405;  // radio group: start-up mode
inline constexpr int IDC_SETTING_MODE_SIMPLE = 4406;
inline constexpr int IDC_SETTING_OK = 4502;
inline constexpr int IDC_SETTING_CANCEL = 4503;

// ---- Progress (template 206)
inline constexpr int IDC_PROGRESS_STATUS = 5101;  // status line
inline constexpr int IDC_PROGRESS_BAR = 5001;
inline constexpr int IDC_PROGRESS_OK = 5201;
inline constexpr int IDC_PROGRESS_CANCEL = 5202;

// ---- Main window (template 207), Advanced Mode's controls
inline constexpr int IDC_MAIN_BOX_TREE = 1211;
inline constexpr int IDC_MAIN_DOCUMENT_LIST = 1201;
inline constexpr int IDC_MAIN_PREVIEW = 1101;        // check: preview on or off
inline constexpr int IDC_MAIN_PREV_PAGE = 1503;      // icon button
inline constexpr int IDC_MAIN_NEXT_PAGE = 1504;      // icon button
inline constexpr int IDC_MAIN_PAGE = 1003;           // edit: the page previewed
inline constexpr int IDC_MAIN_RANGE_GROUP = 1702;
inline constexpr int IDC_MAIN_RANGE_ALL = 1301;      // radio group: pages to save
inline constexpr int IDC_MAIN_RANGE_CURRENT = 1302;
inline constexpr int IDC_MAIN_RANGE_PAGES = 1303;
inline constexpr int IDC_MAIN_PAGE_FROM = 1001;      // edit: first page of the range
inline constexpr int IDC_MAIN_PAGE_FROM_SPIN = 1501;
inline constexpr int IDC_MAIN_PAGE_TO = 1002;        // edit: last page of the range
inline constexpr int IDC_MAIN_PAGE_TO_SPIN = 1502;
inline constexpr int IDC_MAIN_ERASE_GROUP = 1703;
inline constexpr int IDC_MAIN_DELETE_AFTER_SAVE = 1102;  // check
inline constexpr int IDC_MAIN_SAVE = 1601;
inline constexpr int IDC_MAIN_REFRESH = 1603;
inline constexpr int IDC_MAIN_EXIT = 1602;
inline constexpr int IDC_MAIN_PREVIEW_FRAME = 1401;  // the preview picture's frame
inline constexpr int IDC_MAIN_PAGE_COUNT = 1701;     // static: pages of the document

// ---- Main window (template 207), Simple Mode's controls
inline constexpr int IDC_SIMPLE_DOCUMENT_GROUP = 2001;
inline constexpr int IDC_SIMPLE_DEVICE_LABEL = 2002;
inline constexpr int IDC_SIMPLE_DEVICE_NAME = 2201;
inline constexpr int IDC_SIMPLE_BOX_LABEL = 2003;
inline constexpr int IDC_SIMPLE_BOX_NAME = 2202;
inline constexpr int IDC_SIMPLE_FILE_NUMBER_LABEL = 2004;
inline constexpr int IDC_SIMPLE_FILE_NUMBER = 2203;
inline constexpr int IDC_SIMPLE_DATE_TIME_LABEL = 2005;
inline constexpr int IDC_SIMPLE_DATE_TIME = 2204;
inline constexpr int IDC_SIMPLE_PAGES_LABEL = 2006;
inline constexpr int IDC_SIMPLE_PAGES = 2205;
inline constexpr int IDC_SIMPLE_COLOR_LABEL = 2007;
inline constexpr int IDC_SIMPLE_COLOR = 2206;        // "B/W" or "Color"
inline constexpr int IDC_SIMPLE_DESTINATION_GROUP = 2008;
inline constexpr int IDC_SIMPLE_FOLDER_LABEL = 2009;
inline constexpr int IDC_SIMPLE_FOLDER = 2011;       // read-only edit: destination folder
inline constexpr int IDC_SIMPLE_FORMAT_LABEL = 2010;
inline constexpr int IDC_SIMPLE_FORMAT = 2208;       // the output format
inline constexpr int IDC_SIMPLE_SAVE = 2101;
inline constexpr int IDC_SIMPLE_EXIT = 2102;

// ---- Menus
inline constexpr int IDR_MAIN_MENU = 402;      // the main window's menu bar
inline constexpr int IDR_DOCUMENT_MENU = 403;  // the document list's context menu

// Commands of the menu bar, the context menu and the system menu.
inline constexpr int ID_SETTINGS_SELECT_MFP = 30003;
inline constexpr int ID_SETTINGS_BASIC = 30002;
inline constexpr int ID_MODE_ADVANCED = 30102;
inline constexpr int ID_MODE_SIMPLE = 30103;
inline constexpr int ID_DOCUMENT_DELETE = 30201;
inline constexpr int ID_SYSTEM_ABOUT = 16;  // the item added to the main window's system menu

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
