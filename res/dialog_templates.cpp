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
    {102, ControlKind::kStatic, {40, 10, 170, 8}, kChild | SS_LEFT | SS_NOPREFIX, u"Tallowmere"},
    {IDC_STATIC, ControlKind::kStatic, {40, 22, 40, 8}, kChild | SS_LEFT, u"Version:"},
    {1121, ControlKind::kStatic, {85, 22, 120, 8}, kChild | SS_LEFT, u"X.X.X.X"},
    {IDC_STATIC, ControlKind::kStatic, {40, 34, 40, 8}, kChild | SS_LEFT, u"Language:"},
    {1122, ControlKind::kStatic, {85, 34, 120, 8}, kChild | SS_LEFT, u"X.X.X.X"},
    {1124, ControlKind::kStatic, {40, 46, 170, 8}, kChild | SS_LEFT, u""},
    {IDOK, ControlKind::kButton, {218, 7, 50, 14}, kChild | WS_TABSTOP | WS_GROUP | BS_DEFPUSHBUTTON,
     u"OK"},
};

// The list is wide enough for its two columns of 175 and 150 pixels.
constexpr ControlTemplate kSelectMfpControls[] = {
    {1201, ControlKind::kListView, {7, 7, 226, 90},
     kChild | WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS, u""},
    {3101, ControlKind::kCheckBox, {7, 103, 140, 10}, kCheck, u"IP address or Hostname "},
    {3001, ControlKind::kEdit, {19, 116, 214, 14},
     kChild | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, u""},
    {3304, ControlKind::kGroupBox, {7, 136, 226, 46}, kGroupBox, u"Specify the Port Number"},
    {3305, ControlKind::kStatic, {14, 151, 130, 8}, kLabel, u"HTTP Port Number:   (Default:80)"},
    {3002, ControlKind::kEdit, {148, 149, 34, 14}, kNumberEdit, u""},
    {3307, ControlKind::kStatic, {186, 151, 44, 8}, kLabel, u"(0 - 65535)"},
    {3306, ControlKind::kStatic, {14, 167, 130, 8}, kLabel,
     u"Search Port Number:   (Default:61000)"},
    {3003, ControlKind::kEdit, {148, 165, 34, 14}, kNumberEdit, u""},
    {3308, ControlKind::kStatic, {186, 167, 44, 8}, kLabel, u"(0 - 65535)"},
    {3102, ControlKind::kCheckBox, {7, 188, 226, 10}, kCheck,
     u"Do not show this dialog when the application starts"},
    {3201, ControlKind::kButton, {7, 205, 50, 14}, kPush, u"Search"},
    {3202, ControlKind::kButton, {129, 205, 50, 14}, kDefPush, u"OK"},
    {3203, ControlKind::kButton, {183, 205, 50, 14}, kPush, u"Cancel"},
};

constexpr ControlTemplate kPasswordControls[] = {
    {6301, ControlKind::kStatic, {7, 9, 40, 8}, kChild | SS_LEFT, u"Password:"},
    {6001, ControlKind::kEdit, {50, 7, 40, 12},
     kChild | WS_BORDER | WS_TABSTOP | ES_PASSWORD | ES_NUMBER | ES_AUTOHSCROLL, u""},
    {6302, ControlKind::kStatic, {95, 9, 60, 8}, kChild | SS_LEFT, u"(0001 - 9999)"},
    {6101, ControlKind::kCheckBox, {7, 25, 100, 10}, kChild | WS_TABSTOP | BS_AUTOCHECKBOX,
     u"Save Password"},
    {6201, ControlKind::kButton, {26, 42, 50, 14}, kChild | WS_TABSTOP | BS_DEFPUSHBUTTON, u"OK"},
    {6202, ControlKind::kButton, {87, 42, 50, 14}, kChild | WS_TABSTOP | BS_PUSHBUTTON, u"Cancel"},
};

constexpr ControlTemplate kProgressControls[] = {
    {5101, ControlKind::kStatic, {17, 14, 158, 8}, kChild | SS_CENTER, u""},
    {5001, ControlKind::kProgress, {15, 25, 160, 14}, kChild | WS_BORDER | PBS_SMOOTH, u""},
    {5201, ControlKind::kButton, {33, 43, 50, 14}, kChild | WS_TABSTOP | BS_DEFPUSHBUTTON, u"OK"},
    {5202, ControlKind::kButton, {107, 43, 50, 14}, kChild | WS_TABSTOP | BS_PUSHBUTTON, u"Cancel"},
};


// Each radio pair is a group of its own: WS_GROUP on its first button starts
// it and WS_GROUP on the control after its last ends it. The combo box's
// rectangle includes its drop-down list; closed, only its top part shows.
constexpr ControlTemplate kBasicSettingControls[] = {
    {4601, ControlKind::kStatic, {7, 9, 70, 8}, kLabel, u"Device Name:"},
    {4001, ControlKind::kStatic, {80, 9, 153, 8}, kLabel, u""},
    {4602, ControlKind::kStatic, {7, 26, 70, 8}, kLabel, u"Box Name:"},
    {4201, ControlKind::kComboBox, {80, 24, 153, 100},
     kChild | WS_VSCROLL | WS_TABSTOP | CBS_DROPDOWNLIST | CBS_SORT, u""},
    {4603, ControlKind::kStatic, {7, 43, 70, 8}, kLabel, u"Destination Folder:"},
    {4101, ControlKind::kEdit, {80, 41, 99, 14},
     kChild | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, u""},
    {4501, ControlKind::kButton, {183, 41, 50, 14}, kPush, u"Browse"},
    {4604, ControlKind::kGroupBox, {7, 62, 226, 50}, kGroupBox, u"File Format"},
    {4605, ControlKind::kGroupBox, {14, 74, 103, 32}, kGroupBox, u"Color"},
    {4401, ControlKind::kRadio, {21, 88, 40, 10}, kRadio | WS_GROUP, u"PDF"},
    {4402, ControlKind::kRadio, {65, 88, 45, 10}, kRadio, u"JPEG"},
    {4606, ControlKind::kGroupBox, {123, 74, 103, 32}, kGroupBox | WS_GROUP, u"B/W"},
    {4403, ControlKind::kRadio, {130, 88, 40, 10}, kRadio | WS_GROUP, u"PDF"},
    {4404, ControlKind::kRadio, {174, 88, 45, 10}, kRadio, u"TIFF"},
    {4607, ControlKind::kGroupBox, {7, 118, 226, 28}, kGroupBox | WS_GROUP, u"Erase document(s)"},
    {4301, ControlKind::kCheckBox, {14, 131, 212, 10}, kCheck, u"Delete after save"},
    {4608, ControlKind::kGroupBox, {7, 152, 226, 28}, kGroupBox, u"Mode"},
    {4405, ControlKind::kRadio, {14, 165, 100, 10}, kRadio | WS_GROUP, u"Advanced Mode"},
    {4406, ControlKind::kRadio, {120, 165, 100, 10}, kRadio, u"Simple Mode"},
    {4502, ControlKind::kButton, {129, 188, 50, 14}, kDefPush | WS_GROUP, u"OK"},
    {4503, ControlKind::kButton, {183, 188, 50, 14}, kPush, u"Cancel"},
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
    {1211, ControlKind::kTreeView, {7, 7, 65, 156},
     kChild | WS_BORDER | WS_HSCROLL | WS_TABSTOP | TVS_HASLINES | TVS_SHOWSELALWAYS, u""},
    {1201, ControlKind::kListView, {78, 7, 214, 156},
     kChild | WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS, u""},
    {1101, ControlKind::kCheckBox, {311, 130, 93, 10}, kCheck, u"Preview"},
    {1503, ControlKind::kButton, {302, 145, 11, 14}, kPush | BS_ICON, u""},
    {1504, ControlKind::kButton, {335, 145, 10, 14}, kPush | BS_ICON, u""},
    {1003, ControlKind::kEdit, {313, 146, 21, 14}, kNumberEdit | ES_WANTRETURN, u""},
    {1702, ControlKind::kGroupBox, {22, 170, 166, 63}, kGroupBox, u"Page Range"},
    {1301, ControlKind::kRadio, {27, 182, 55, 10}, kRadio | WS_GROUP, u"All"},
    {1302, ControlKind::kRadio, {27, 197, 75, 10}, kRadio, u"Current page"},
    {1303, ControlKind::kRadio, {27, 212, 56, 10}, kRadio, u"Pages"},
    {1001, ControlKind::kEdit, {85, 211, 33, 14}, kNumberEdit, u""},
    {1501, ControlKind::kUpDown, {115, 222, 10, 14}, kUpDown, u""},
    {1002, ControlKind::kEdit, {132, 211, 32, 14}, kNumberEdit, u""},
    {1502, ControlKind::kUpDown, {167, 221, 10, 14}, kUpDown, u""},
    {1703, ControlKind::kGroupBox, {195, 171, 119, 30}, kGroupBox, u"Erase document(s)"},
    {1102, ControlKind::kCheckBox, {202, 182, 110, 11}, kCheck, u"Delete after save"},
    {1601, ControlKind::kButton, {192, 245, 69, 14}, kPush, u"Save"},
    {1603, ControlKind::kButton, {268, 245, 65, 14}, kPush, u"Refresh"},
    {1602, ControlKind::kButton, {340, 245, 64, 14}, kPush, u"Exit"},
    {1401, ControlKind::kPicture, {299, 7, 105, 122}, kChild | WS_BORDER | SS_BLACKFRAME, u""},
    {1701, ControlKind::kStatic, {359, 147, 45, 8}, kGroupLabel, u"xxxPage(s)"},
    // In neither mode's set, so it keeps this visibility in both.
    {IDC_STATIC, ControlKind::kStatic, {123, 214, 8, 8}, kGroupLabel, u"-"},
    // Simple Mode.
    {2001, ControlKind::kGroupBox, {7, 2, 175, 92}, kGroupBox, u"Document Information"},
    {2002, ControlKind::kStatic, {14, 15, 54, 8}, kGroupLabel, u"Device Name:"},
    {2201, ControlKind::kStatic, {77, 14, 98, 8}, kValueLabel, u""},
    {2003, ControlKind::kStatic, {14, 27, 56, 8}, kGroupLabel, u"Box Name:"},
    {2202, ControlKind::kStatic, {77, 27, 76, 8}, kValueLabel, u""},
    {2004, ControlKind::kStatic, {14, 40, 55, 8}, kGroupLabel, u"File Number:"},
    {2203, ControlKind::kStatic, {77, 40, 57, 8}, kValueLabel, u""},
    {2005, ControlKind::kStatic, {14, 53, 55, 8}, kGroupLabel, u"Date/Time:"},
    {2204, ControlKind::kStatic, {77, 53, 96, 8}, kValueLabel, u""},
    {2006, ControlKind::kStatic, {15, 66, 53, 8}, kGroupLabel, u"Pages:"},
    {2205, ControlKind::kStatic, {77, 66, 56, 8}, kValueLabel, u""},
    {2007, ControlKind::kStatic, {15, 79, 55, 8}, kGroupLabel, u"B/W / Color:"},
    {2206, ControlKind::kStatic, {77, 79, 57, 8}, kValueLabel, u""},
    {2008, ControlKind::kGroupBox, {7, 96, 175, 42}, kGroupBox, u"Destination Information"},
    {2009, ControlKind::kStatic, {14, 109, 55, 8}, kGroupLabel, u"Destination Folder:"},
    {2011, ControlKind::kEdit, {74, 106, 100, 14},
     kChild | WS_BORDER | WS_TABSTOP | ES_READONLY | ES_AUTOHSCROLL, u""},
    {2010, ControlKind::kStatic, {15, 122, 55, 8}, kGroupLabel, u"File Format:"},
    {2208, ControlKind::kStatic, {77, 122, 95, 8}, kGroupLabel, u""},
    {2101, ControlKind::kButton, {33, 141, 50, 14}, kDefPush, u"Save"},
    {2102, ControlKind::kButton, {105, 141, 49, 14}, kPush, u"Exit"},
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
