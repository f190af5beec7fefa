#include "res/dialog_templates.h"

namespace tallow::res {

using namespace tallow::ui;

namespace {

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kModalDialog =
    DS_SETFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU;

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

}  // namespace

const DialogTemplate kAboutTemplate = {
    IDD_ABOUTBOX, {0, 0, 275, 69}, kModalDialog, 0, u"About", u"MS UI Gothic", 9, kAboutControls};
const DialogTemplate kPasswordTemplate = {
    IDD_PASSWORD, {0, 0, 163, 62}, kModalDialog, 0, u"TWAIN Box Password", u"MS Shell Dlg", 8,
    kPasswordControls};
const DialogTemplate kProgressTemplate = {
    IDD_PROGRESS, {0, 0, 193, 64}, kModalDialog | WS_VISIBLE, 0, u"Progress", u"MS Shell Dlg", 8,
    kProgressControls};

}  // namespace tallow::res

namespace tallow::ui {

const DialogTemplate* FindDialogTemplate(int id) {
  for (const DialogTemplate* t : {&res::kAboutTemplate, &res::kPasswordTemplate,
                                  &res::kProgressTemplate}) {
    if (t->id == id) return t;
  }
  return nullptr;
}

}  // namespace tallow::ui
