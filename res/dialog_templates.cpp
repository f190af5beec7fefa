#include "res/dialog_templates.h"

namespace tallow::res {

using namespace tallow::ui;

namespace {

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kModalDialog =
    DS_SETFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kCheck = kChild | WS_TABSTOP | BS_AUTOCHECKBOX;
constexpr DWORD kRadio = kChild | WS_TABSTOP | BS_AUTORADIOBUTTON;
constexpr DWORD kGroupBox = kChild | BS_GROUPBOX;
constexpr DWORD kPush = kChild | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kDefPush = kChild | WS_TABSTOP | BS_DEFPUSHBUTTON;
constexpr DWORD kLabel = kChild | SS_LEFT;
constexpr DWORD kNumberEdit = kChild | WS_BORDER | WS_TABSTOP | ES_NUMBER | ES_AUTOHSCROLL;

constexpr ControlTemplate kAboutControls[] = {
    {IDC_STATIC, ControlKind::kIcon, {11, 17, 20, 20}, kChild | SS_ICON, u"", IDI_APPLICATION_ICON},
    {IDC_ABOUT_PRODUCT, ControlKind::kStatic, {40, 10, 170, 8},
     kChild | SS_LEFT | SS_NOPREFIX, u"Tallowmere"},
    {IDC_STATIC, ControlKind::kStatic, {40, 22, 40, 8}, kChild | SS_LEFT, u"Version:"},
    {IDC_ABOUT_VERSION, ControlKind::kStatic, {85, 22, 120, 8}, kChild | SS_LEFT, u"X.X.X.X"},
    {IDC_STATIC, ControlKind::kStatic, {40, 34, 40, 8}, kChild | SS_LEFT, u"Language:"},
    {IDC_ABOUT_LANGUAGE, ControlKind::kStatic, {85, 34, 120, 8}, kChild | SS_LEFT, u"X.X.X.X"},
    // Up to the dialog's right margin, below the OK button: the notice is one long line.
    {IDC_ABOUT_LEGAL, ControlKind::kStatic, {40, 46, 228, 8}, kChild | SS_LEFT, u""},
    {IDOK, ControlKind::kButton, {218, 7, 50, 14},
     kChild | WS_TABSTOP | WS_GROUP | BS_DEFPUSHBUTTON, u"OK"},
};

// The list is wide enough for its two columns of 175 and 150 pixels.
constexpr ControlTemplate kSelectMfpControls[] = {
    {IDC_SELECT_MFP_DEVICE_LIST, ControlKind::kListView, {7, 7, 226, 90},
     kChild | WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS, u""},
    {IDC_SELECT_MFP_USE_ADDRESS, ControlKind::kCheckBox, {7, 103, 140, 10},
     kCheck, u"IP address or Hostname "},
    {IDC_SELECT_MFP_ADDRESS, ControlKind::kEdit, {19, 116, 214, 14},
     kChild | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, u""},
    {IDC_SELECT_MFP_PORT_GROUP, ControlKind::kGroupBox, {7, 136, 226, 46},
     kGroupBox, u"Specify the Port Number"},
    {IDC_SELECT_MFP_HTTP_PORT_LABEL, ControlKind::kStatic, {14, 151, 130, 8},
     kLabel, u"HTTP Port Number:   (Default:80)"},
    {IDC_SELECT_MFP_HTTP_PORT, ControlKind::kEdit, {148, 149, 34, 14}, kNumberEdit, u""},
    {IDC_SELECT_MFP_HTTP_PORT_RANGE, ControlKind::kStatic, {186, 151, 44, 8},
     kLabel, u"(0 - 65535)"},
    {IDC_SELECT_MFP_SEARCH_PORT_LABEL, ControlKind::kStatic, {14, 167, 130, 8}, kLabel,
     u"Search Port Number:   (Default:61000)"},
    {IDC_SELECT_MFP_SEARCH_PORT, ControlKind::kEdit, {148, 165, 34, 14}, kNumberEdit, u""},
    {IDC_SELECT_MFP_SEARCH_PORT_RANGE, ControlKind::kStatic, {186, 167, 44, 8},
     kLabel, u"(0 - 65535)"},
    {IDC_SELECT_MFP_NOT_SHOW, ControlKind::kCheckBox, {7, 188, 226, 10}, kCheck,
     u"Do not show this dialog when the application starts"},
    {IDC_SELECT_MFP_SEARCH, ControlKind::kButton, {7, 205, 50, 14}, kPush, u"Search"},
    {IDC_SELECT_MFP_OK, ControlKind::kButton, {129, 205, 50, 14}, kDefPush, u"OK"},
    {IDC_SELECT_MFP_CANCEL, ControlKind::kButton, {183, 205, 50, 14}, kPush, u"Cancel"},
};

constexpr ControlTemplate kPasswordControls[] = {
    {IDC_PASSWORD_LABEL, ControlKind::kStatic, {7, 9, 40, 8}, kChild | SS_LEFT, u"Password:"},
    {IDC_PASSWORD_EDIT, ControlKind::kEdit, {50, 7, 40, 12},
     kChild | WS_BORDER | WS_TABSTOP | ES_PASSWORD | ES_NUMBER | ES_AUTOHSCROLL, u""},
    {IDC_PASSWORD_RANGE, ControlKind::kStatic, {95, 9, 60, 8}, kChild | SS_LEFT, u"(0001 - 9999)"},
    {IDC_PASSWORD_SAVE, ControlKind::kCheckBox, {7, 25, 100, 10},
     kChild | WS_TABSTOP | BS_AUTOCHECKBOX, u"Save Password"},
    {IDC_PASSWORD_OK, ControlKind::kButton, {26, 42, 50, 14},
     kChild | WS_TABSTOP | BS_DEFPUSHBUTTON, u"OK"},
    {IDC_PASSWORD_CANCEL, ControlKind::kButton, {87, 42, 50, 14},
     kChild | WS_TABSTOP | BS_PUSHBUTTON, u"Cancel"},
};

constexpr ControlTemplate kProgressControls[] = {
    {IDC_PROGRESS_STATUS, ControlKind::kStatic, {17, 14, 158, 8}, kChild | SS_CENTER, u""},
    {IDC_PROGRESS_BAR, ControlKind::kProgress, {15, 25, 160, 14},
     kChild | WS_BORDER | PBS_SMOOTH, u""},
    {IDC_PROGRESS_OK, ControlKind::kButton, {33, 43, 50, 14},
     kChild | WS_TABSTOP | BS_DEFPUSHBUTTON, u"OK"},
    {IDC_PROGRESS_CANCEL, ControlKind::kButton, {107, 43, 50, 14},
     kChild | WS_TABSTOP | BS_PUSHBUTTON, u"Cancel"},
};

// Each radio pair is a group of its own: WS_GROUP on its first button starts
// it and WS_GROUP on the control after its last ends it. The combo box's
// rectangle includes its drop-down list; closed, only its top part shows.
constexpr ControlTemplate kBasicSettingControls[] = {
    {IDC_SETTING_DEVICE_LABEL, ControlKind::kStatic, {7, 9, 70, 8}, kLabel, u"Device Name:"},
    {IDC_SETTING_DEVICE_NAME, ControlKind::kStatic, {80, 9, 153, 8}, kLabel, u""},
    {IDC_SETTING_BOX_LABEL, ControlKind::kStatic, {7, 26, 70, 8}, kLabel, u"Box Name:"},
    {IDC_SETTING_BOX, ControlKind::kComboBox, {80, 24, 153, 100},
     kChild | WS_VSCROLL | WS_TABSTOP | CBS_DROPDOWNLIST | CBS_SORT, u""},
    {IDC_SETTING_FOLDER_LABEL, ControlKind::kStatic, {7, 43, 70, 8},
     kLabel, u"Destination Folder:"},
    {IDC_SETTING_FOLDER, ControlKind::kEdit, {80, 41, 99, 14},
     kChild | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, u""},
    {IDC_SETTING_BROWSE, ControlKind::kButton, {183, 41, 50, 14}, kPush, u"Browse"},
    {IDC_SETTING_FORMAT_GROUP, ControlKind::kGroupBox, {7, 62, 226, 50}, kGroupBox, u"File Format"},
    {IDC_SETTING_COLOR_GROUP, ControlKind::kGroupBox, {14, 74, 103, 32}, kGroupBox, u"Color"},
    {IDC_SETTING_COLOR_PDF, ControlKind::kRadio, {21, 88, 40, 10}, kRadio | WS_GROUP, u"PDF"},
    {IDC_SETTING_COLOR_JPEG, ControlKind::kRadio, {65, 88, 45, 10}, kRadio, u"JPEG"},
    {IDC_SETTING_MONO_GROUP, ControlKind::kGroupBox, {123, 74, 103, 32},
     kGroupBox | WS_GROUP, u"B/W"},
    {IDC_SETTING_MONO_PDF, ControlKind::kRadio, {130, 88, 40, 10}, kRadio | WS_GROUP, u"PDF"},
    {IDC_SETTING_MONO_TIFF, ControlKind::kRadio, {174, 88, 45, 10}, kRadio, u"TIFF"},
    {IDC_SETTING_ERASE_GROUP, ControlKind::kGroupBox, {7, 118, 226, 28},
     kGroupBox | WS_GROUP, u"Erase document(s)"},
    {IDC_SETTING_DELETE_AFTER_SAVE, ControlKind::kCheckBox, {14, 131, 212, 10},
     kCheck, u"Delete after save"},
    {IDC_SETTING_MODE_GROUP, ControlKind::kGroupBox, {7, 152, 226, 28}, kGroupBox, u"Mode"},
    {IDC_SETTING_MODE_ADVANCED, ControlKind::kRadio, {14, 165, 100, 10},
     kRadio | WS_GROUP, u"Advanced Mode"},
    {IDC_SETTING_MODE_SIMPLE, ControlKind::kRadio, {120, 165, 100, 10}, kRadio, u"Simple Mode"},
    {IDC_SETTING_OK, ControlKind::kButton, {129, 188, 50, 14}, kDefPush | WS_GROUP, u"OK"},
    {IDC_SETTING_CANCEL, ControlKind::kButton, {183, 188, 50, 14}, kPush, u"Cancel"},
};

// Both modes' controls in one template: the mode switch shows one set and
// hides the other. The page buttons' pictures are set at run time.
constexpr DWORD kUpDown =
    kChild | WS_TABSTOP | UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_AUTOBUDDY | UDS_ARROWKEYS |
    UDS_NOTHOUSANDS;
constexpr DWORD kGroupLabel = kLabel | WS_GROUP;
constexpr DWORD kValueLabel = kGroupLabel | SS_ENDELLIPSIS;

constexpr ControlTemplate kMainControls[] = {
    // Advanced Mode.
    {IDC_MAIN_BOX_TREE, ControlKind::kTreeView, {7, 7, 65, 156},
     kChild | WS_BORDER | WS_HSCROLL | WS_TABSTOP | TVS_HASLINES | TVS_SHOWSELALWAYS, u""},
    {IDC_MAIN_DOCUMENT_LIST, ControlKind::kListView, {78, 7, 214, 156},
     kChild | WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS, u""},
    {IDC_MAIN_PREVIEW, ControlKind::kCheckBox, {311, 130, 93, 10}, kCheck, u"Preview"},
    {IDC_MAIN_PREV_PAGE, ControlKind::kButton, {302, 145, 11, 14}, kPush | BS_ICON, u""},
    {IDC_MAIN_NEXT_PAGE, ControlKind::kButton, {335, 145, 10, 14}, kPush | BS_ICON, u""},
    {IDC_MAIN_PAGE, ControlKind::kEdit, {313, 146, 21, 14}, kNumberEdit | ES_WANTRETURN, u""},
    {IDC_MAIN_RANGE_GROUP, ControlKind::kGroupBox, {22, 170, 166, 63}, kGroupBox, u"Page Range"},
    {IDC_MAIN_RANGE_ALL, ControlKind::kRadio, {27, 182, 55, 10}, kRadio | WS_GROUP, u"All"},
    {IDC_MAIN_RANGE_CURRENT, ControlKind::kRadio, {27, 197, 75, 10}, kRadio, u"Current page"},
    {IDC_MAIN_RANGE_PAGES, ControlKind::kRadio, {27, 212, 56, 10}, kRadio, u"Pages"},
    {IDC_MAIN_PAGE_FROM, ControlKind::kEdit, {85, 211, 33, 14}, kNumberEdit, u""},
    {IDC_MAIN_PAGE_FROM_SPIN, ControlKind::kUpDown, {115, 222, 10, 14}, kUpDown, u""},
    {IDC_MAIN_PAGE_TO, ControlKind::kEdit, {132, 211, 32, 14}, kNumberEdit, u""},
    {IDC_MAIN_PAGE_TO_SPIN, ControlKind::kUpDown, {167, 221, 10, 14}, kUpDown, u""},
    {IDC_MAIN_ERASE_GROUP, ControlKind::kGroupBox, {195, 171, 119, 30},
     kGroupBox, u"Erase document(s)"},
    {IDC_MAIN_DELETE_AFTER_SAVE, ControlKind::kCheckBox, {202, 182, 110, 11},
     kCheck, u"Delete after save"},
    {IDC_MAIN_SAVE, ControlKind::kButton, {192, 245, 69, 14}, kPush, u"Save"},
    {IDC_MAIN_REFRESH, ControlKind::kButton, {268, 245, 65, 14}, kPush, u"Refresh"},
    {IDC_MAIN_EXIT, ControlKind::kButton, {340, 245, 64, 14}, kPush, u"Exit"},
    {IDC_MAIN_PREVIEW_FRAME, ControlKind::kPicture, {299, 7, 105, 122},
     kChild | WS_BORDER | SS_BLACKFRAME, u""},
    {IDC_MAIN_PAGE_COUNT, ControlKind::kStatic, {359, 147, 45, 8}, kGroupLabel, u"xxxPage(s)"},
    // In neither mode's set, so it keeps this visibility in both.
    {IDC_STATIC, ControlKind::kStatic, {123, 214, 8, 8}, kGroupLabel, u"-"},
    // Simple Mode.
    {IDC_SIMPLE_DOCUMENT_GROUP, ControlKind::kGroupBox, {7, 2, 175, 92},
     kGroupBox, u"Document Information"},
    {IDC_SIMPLE_DEVICE_LABEL, ControlKind::kStatic, {14, 15, 54, 8}, kGroupLabel, u"Device Name:"},
    {IDC_SIMPLE_DEVICE_NAME, ControlKind::kStatic, {77, 14, 98, 8}, kValueLabel, u""},
    {IDC_SIMPLE_BOX_LABEL, ControlKind::kStatic, {14, 27, 56, 8}, kGroupLabel, u"Box Name:"},
    {IDC_SIMPLE_BOX_NAME, ControlKind::kStatic, {77, 27, 76, 8}, kValueLabel, u""},
    {IDC_SIMPLE_FILE_NUMBER_LABEL, ControlKind::kStatic, {14, 40, 55, 8},
     kGroupLabel, u"File Number:"},
    {IDC_SIMPLE_FILE_NUMBER, ControlKind::kStatic, {77, 40, 57, 8}, kValueLabel, u""},
    {IDC_SIMPLE_DATE_TIME_LABEL, ControlKind::kStatic, {14, 53, 55, 8}, kGroupLabel, u"Date/Time:"},
    {IDC_SIMPLE_DATE_TIME, ControlKind::kStatic, {77, 53, 96, 8}, kValueLabel, u""},
    {IDC_SIMPLE_PAGES_LABEL, ControlKind::kStatic, {15, 66, 53, 8}, kGroupLabel, u"Pages:"},
    {IDC_SIMPLE_PAGES, ControlKind::kStatic, {77, 66, 56, 8}, kValueLabel, u""},
    {IDC_SIMPLE_COLOR_LABEL, ControlKind::kStatic, {15, 79, 55, 8}, kGroupLabel, u"B/W / Color:"},
    {IDC_SIMPLE_COLOR, ControlKind::kStatic, {77, 79, 57, 8}, kValueLabel, u""},
    {IDC_SIMPLE_DESTINATION_GROUP, ControlKind::kGroupBox, {7, 96, 175, 42},
     kGroupBox, u"Destination Information"},
    {IDC_SIMPLE_FOLDER_LABEL, ControlKind::kStatic, {14, 109, 55, 8},
     kGroupLabel, u"Destination Folder:"},
    {IDC_SIMPLE_FOLDER, ControlKind::kEdit, {74, 106, 100, 14},
     kChild | WS_BORDER | WS_TABSTOP | ES_READONLY | ES_AUTOHSCROLL, u""},
    {IDC_SIMPLE_FORMAT_LABEL, ControlKind::kStatic, {15, 122, 55, 8}, kGroupLabel, u"File Format:"},
    {IDC_SIMPLE_FORMAT, ControlKind::kStatic, {77, 122, 95, 8}, kGroupLabel, u""},
    {IDC_SIMPLE_SAVE, ControlKind::kButton, {33, 141, 50, 14}, kDefPush, u"Save"},
    {IDC_SIMPLE_EXIT, ControlKind::kButton, {105, 141, 49, 14}, kPush, u"Exit"},
};

}  // namespace

const DialogTemplate kAboutTemplate = {
    IDD_ABOUTBOX, {0, 0, 275, 69}, kModalDialog, 0, u"About", u"MS UI Gothic", 9, kAboutControls};
const DialogTemplate kSelectMfpTemplate = {
    IDD_SELECT_MFP, {0, 0, 240, 226}, kModalDialog, 0, u"Select MFP", u"MS Shell Dlg", 8,
    kSelectMfpControls};
const DialogTemplate kPasswordTemplate = {
    IDD_PASSWORD, {0, 0, 163, 62}, kModalDialog, 0, u"TWAIN Box Password", u"MS Shell Dlg", 8,
    kPasswordControls};
const DialogTemplate kProgressTemplate = {
    IDD_PROGRESS, {0, 0, 193, 64}, kModalDialog | WS_VISIBLE, 0, u"Progress", u"MS Shell Dlg", 8,
    kProgressControls};
const DialogTemplate kBasicSettingTemplate = {
    IDD_BASIC_SETTING, {0, 0, 240, 209}, kModalDialog, 0, u"Basic Settings", u"MS Shell Dlg", 8,
    kBasicSettingControls};
// Created minimised, so that it appears only once its mode has given it its size.
const DialogTemplate kMainTemplate = {
    IDD_MAIN, {0, 0, 412, 266},
    WS_POPUP | WS_MINIMIZE | WS_CAPTION | WS_SYSMENU | DS_CENTER | DS_SETFONT, WS_EX_APPWINDOW,
    u"Tallowmere", u"MS UI Gothic", 9, kMainControls, IDR_MAIN_MENU};

std::span<const DialogTemplate* const> DialogTemplates() {
  static constexpr const DialogTemplate* kTemplates[] = {
      &kAboutTemplate,        &kSelectMfpTemplate, &kPasswordTemplate,
      &kBasicSettingTemplate, &kProgressTemplate,  &kMainTemplate};
  return kTemplates;
}

}  // namespace tallow::res
