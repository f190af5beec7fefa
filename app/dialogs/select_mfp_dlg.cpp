#include "app/dialogs/select_mfp_dlg.h"

#include <limits>
#include <string>

#include "core/dialog_texts.h"
#include "core/digit_filter.h"
#include "core/file_utils.h"
#include "core/texts.h"
#include "device/channel_layer.h"
#include "device/discovery.h"
#include "device/sti_binding.h"
#include "device/usb_enum.h"
#include "platform/cursor.h"
#include "platform/host_lookup.h"
#include "res/resource_ids.h"

namespace tallow::app {

using namespace tallow::res;
using namespace tallow::ui;

namespace {

constexpr std::int32_t kUsbLabelId = 8003;  // "USB"
constexpr std::uint32_t kMaxPort = 65535;

WString UsbLabel() { return FindLabelText(kUsbLabelId).value_or(WString()); }
WString DecimalText(unsigned value) { return FromAnsi(std::to_string(value)); }

bool IsBlank(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// The C library's base-10 conversion to a signed long, over a whole token:
// blanks and a sign before the digits, nothing after them, no overflow.
bool ReadWholeLong(WStringView token, long* value) {
  std::size_t i = 0;
  while (i < token.size() && IsBlank(token[i])) ++i;
  bool negative = false;
  if (i < token.size() && (token[i] == u'+' || token[i] == u'-')) negative = token[i++] == u'-';
  if (i == token.size()) return false;
  unsigned long magnitude = 0;
  const unsigned long limit =
      negative ? static_cast<unsigned long>(std::numeric_limits<long>::max()) + 1
               : static_cast<unsigned long>(std::numeric_limits<long>::max());
  for (; i < token.size(); ++i) {
    if (!IsDigit(token[i])) return false;
    const unsigned long digit = token[i] - u'0';
    if (magnitude > (limit - digit) / 10) return false;  // out of range
    magnitude = magnitude * 10 + digit;
  }
  *value = negative ? static_cast<long>(0UL - magnitude) : static_cast<long>(magnitude);
  return true;
}

}  // namespace

bool IsDottedAddress(WStringView text) {
  int parts = 0;
  std::size_t at = 0;
  while (true) {
    while (at < text.size() && text[at] == u'.') ++at;
    if (at == text.size()) break;
    std::size_t end = text.find(u'.', at);
    if (end == WStringView::npos) end = text.size();
    if (++parts > 4) return false;  // a fifth part
    long value = 0;
    // A negative value read as unsigned is far above 255.
    if (!ReadWholeLong(text.substr(at, end - at), &value) ||
        static_cast<unsigned long>(value) > 255) {
      return false;
    }
    at = end;
  }
  return parts == 4;
}

bool ReadPortText(WStringView text, std::uint16_t* port) {
  if (text.empty()) return false;
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  std::uint32_t value = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    value = value * 10 + (text[i] - u'0');
    if (value > kMaxPort) return false;
  }
  // "-0" is 0; a negative port is refused as one above the range is.
  if (negative && value != 0) return false;
  *port = static_cast<std::uint16_t>(value);
  return true;
}

CSelectMfpDlg::CSelectMfpDlg(int autoConnect, CDialog* startupWnd, CDialog* parent)
    : CDialog(res::IDD_SELECT_MFP, parent), m_bAutoConnect(autoConnect), m_pStartupWnd(startupWnd) {}

void CSelectMfpDlg::DoDataExchange(CDataExchange* dx) {
  DDX_Text(dx, IDC_SELECT_MFP_HTTP_PORT, m_strHttpPort);
  DDV_MaxChars(dx, m_strHttpPort, kPortMaxChars);
  DDX_Text(dx, IDC_SELECT_MFP_SEARCH_PORT, m_strSearchPort);
  DDV_MaxChars(dx, m_strSearchPort, kPortMaxChars);
  DDX_Control(dx, IDC_SELECT_MFP_DEVICE_LIST, m_listDevices);
  DDX_Check(dx, IDC_SELECT_MFP_USE_ADDRESS, m_bUseAddress);
  DDX_Check(dx, IDC_SELECT_MFP_NOT_SHOW, m_bNotShowDlg);
  DDX_Control(dx, IDC_SELECT_MFP_ADDRESS, m_editAddress);
  DDX_Text(dx, IDC_SELECT_MFP_ADDRESS, m_strAddress);
}

void CSelectMfpDlg::DeclareMessageMap(MessageMap& map) {
  map.OnClicked(IDC_SELECT_MFP_SEARCH, this, &CSelectMfpDlg::OnSearch);
  map.OnClicked(IDC_SELECT_MFP_OK, this, &CSelectMfpDlg::OnBnClickedOk);
  map.OnClicked(IDC_SELECT_MFP_CANCEL, this, &CSelectMfpDlg::OnBnClickedCancel);
  map.OnClicked(IDC_SELECT_MFP_USE_ADDRESS, this, &CSelectMfpDlg::OnUseAddress);
  map.OnCommand(IDC_SELECT_MFP_HTTP_PORT, EN_CHANGE, this, &CSelectMfpDlg::OnChangeHttpPort);
  map.OnCommand(IDC_SELECT_MFP_SEARCH_PORT, EN_CHANGE, this, &CSelectMfpDlg::OnChangeSearchPort);
}

void CSelectMfpDlg::InitDeviceList() {
  if (!m_listDevices) return;
  m_listDevices->InsertColumn(0, LoadResString(12001), LVCFMT_LEFT, kDeviceNameColumnWidth);
  m_listDevices->InsertColumn(1, LoadResString(12002), LVCFMT_LEFT, kConnectToColumnWidth);
  m_listDevices->SetExtendedStyle(m_listDevices->GetExtendedStyle() | LVS_EX_FULLROWSELECT);
}

void CSelectMfpDlg::AddDeviceRow(const WString& name, const WString& connectTo, int usbIndex) {
  if (!m_listDevices) return;
  const int row = m_listDevices->InsertItem(LVIF_TEXT | LVIF_PARAM, m_listDevices->GetItemCount(),
                                            name, 0, 0, -1, usbIndex + 1);
  if (row >= 0) m_listDevices->SetItemText(row, 1, connectTo);
}

BOOL CSelectMfpDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SetSelectMfpDlgTexts(*this);
  InitDeviceList();

  m_mfpInfo = GetMFPInfo();
  m_bUseAddress = m_mfpInfo.isSpecifiedIPAddress;
  if (m_editAddress) m_editAddress->SetLimitText(kAddressMaxChars);
  if (!m_bUseAddress) {
    if (m_editAddress) m_editAddress->EnableWindow(false);
    if (!m_mfpInfo.machineName.empty() && m_listDevices) {
      if (m_mfpInfo.isUSB) {
        m_usbDeviceNames.push_back(m_mfpInfo.deviceInternalName);
        AddDeviceRow(m_mfpInfo.machineName, UsbLabel(),
                     static_cast<int>(m_usbDeviceNames.size()) - 1);
      } else {
        AddDeviceRow(m_mfpInfo.machineName, m_mfpInfo.IPv4Address, -1);
      }
      m_listDevices->SetItemState(0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    }
  } else {
    m_strAddress = m_mfpInfo.SpecifiedIPAddress;
    if (m_listDevices) m_listDevices->EnableWindow(false);
  }
  m_bNotShowDlg = m_mfpInfo.isNotShowDlg;
  m_strHttpPort = DecimalText(m_mfpInfo.httpPortNumber);
  m_strSearchPort = DecimalText(m_mfpInfo.SearchPortNumber);
  for (int id : {IDC_SELECT_MFP_ADDRESS, IDC_SELECT_MFP_HTTP_PORT, IDC_SELECT_MFP_SEARCH_PORT}) {
    if (Control* c = GetDlgItem(id)) c->SetInputMethodEnabled(false);
  }
  UpdateData(FALSE);

  if (m_bAutoConnect) {
    ShowWindow(SW_HIDE);
    if (Control* ok = GetDlgItem(IDC_SELECT_MFP_OK)) ok->PostClick();
  }
  // Without a port to hand it, the library searches on its own: the value
  // is still checked by Search and OK.
  if (!DiscoveryTakesSearchPort()) {
    if (Control* c = GetDlgItem(IDC_SELECT_MFP_SEARCH_PORT)) c->SetReadOnly(true);
  }
  return TRUE;
}

void CSelectMfpDlg::OnSearch() {
  UpdateData(TRUE);
  if (m_listDevices) m_listDevices->DeleteAllItems();
  const WaitCursorScope cursor;

  WStringList names, addresses;
  if (StillImageLoaded()) EnumerateUsbDevices(names, m_usbDeviceNames, addresses);
  // The USB devices come first: row i < usbCount has its name in
  // m_usbDeviceNames[i]. Rows after them are network devices whatever
  // their address, even an empty one.
  const std::size_t usbCount = names.size();

  std::uint16_t port = 0;
  if (!ReadPortText(m_strSearchPort, &port)) {
    ShowError(21015, 20003);
  } else {
    m_mfpInfo.SearchPortNumber = port;
    DiscoverMfps(GetSafeHwnd(), port, names, addresses);
    // Nothing at all: the network may not have answered in time.
    if (names.empty()) DiscoverMfps(GetSafeHwnd(), port, names, addresses);
  }

  for (std::size_t i = 0; i < names.size() && i < addresses.size(); ++i) {
    const bool usb = i < usbCount && i < m_usbDeviceNames.size();
    AddDeviceRow(names[i], usb ? UsbLabel() : addresses[i], usb ? static_cast<int>(i) : -1);
  }
}

void CSelectMfpDlg::OnUseAddress() {
  UpdateData(TRUE);
  if (m_editAddress) m_editAddress->EnableWindow(m_bUseAddress != 0);
  if (m_listDevices) m_listDevices->EnableWindow(m_bUseAddress == 0);
}

void CSelectMfpDlg::OnChangeHttpPort() { FilterDigitsInEdit(GetDlgItem(IDC_SELECT_MFP_HTTP_PORT)); }

void CSelectMfpDlg::OnChangeSearchPort() {
  FilterDigitsInEdit(GetDlgItem(IDC_SELECT_MFP_SEARCH_PORT));
}

void CSelectMfpDlg::ShowError(int textId, int captionId) {
  MessageBox(MessageText(textId), MessageText(captionId), MB_ICONERROR | MB_OK);
}

void CSelectMfpDlg::ShowAfterError() {
  if (m_pStartupWnd && m_pStartupWnd->GetSafeHwnd()) m_pStartupWnd->ShowWindow(SW_HIDE);
  ShowWindow(SW_SHOW);
}

bool CSelectMfpDlg::TakeListedDevice() {
  const int row = m_listDevices ? m_listDevices->GetNextItem(-1, LVNI_SELECTED) : -1;
  if (row < 0) {
    ShowError(21007, 20003);
    return false;
  }
  m_mfpInfo.machineName = m_listDevices->GetItemText(row, 0);
  // Told apart by the row's mark, not by its label: a network device may
  // come without an address.
  const LPARAM usbIndex = m_listDevices->GetItemData(row) - 1;
  if (usbIndex >= 0) {
    m_mfpInfo.isUSB = TRUE;
    m_mfpInfo.deviceInternalName = static_cast<std::size_t>(usbIndex) < m_usbDeviceNames.size()
                                       ? m_usbDeviceNames[static_cast<std::size_t>(usbIndex)]
                                       : WString();
    m_mfpInfo.IPv4Address.clear();
  } else {
    m_mfpInfo.isUSB = FALSE;
    m_mfpInfo.IPv4Address = m_listDevices->GetItemText(row, 1);
    m_mfpInfo.deviceInternalName.clear();
  }
  return true;
}

bool CSelectMfpDlg::TakeTypedAddress() {
  if (m_strAddress.empty()) {
    ShowError(21008, 20003);
    return false;
  }
  // A line break names no host, and the settings file could not hold it:
  // taken, it would cost the MFP's keys at exit.
  if (!SettingsFileTakes(m_strAddress)) {
    ShowError(21009, 20003);
    return false;
  }
  if (IsDottedAddress(m_strAddress)) {
    m_mfpInfo.IPv4Address = m_strAddress;
  } else {
    const std::string found = LookUpHostIPv4(WideToAnsi(m_strAddress.c_str()));
    if (found.empty()) {
      ShowError(21009, 20003);
      return false;
    }
    m_mfpInfo.IPv4Address = AnsiToWide(found.c_str());
  }
  m_mfpInfo.machineName.clear();
  m_mfpInfo.deviceInternalName.clear();
  m_mfpInfo.isUSB = FALSE;
  return true;
}

bool CSelectMfpDlg::TakePorts() {
  std::uint16_t httpPort = 0, searchPort = 0;
  if (!ReadPortText(m_strHttpPort, &httpPort)) {
    ShowError(21015, 20003);
    return false;
  }
  m_mfpInfo.httpPortNumber = httpPort;
  if (!ReadPortText(m_strSearchPort, &searchPort)) {
    ShowError(21015, 20003);
    return false;
  }
  m_mfpInfo.SearchPortNumber = searchPort;
  return true;
}

int CSelectMfpDlg::TestConnection() {
  if (GetDeviceAddress(m_mfpInfo).empty()) return -2;
  // The listing fills the channel's box table, from which the main window
  // builds its tree without asking the MFP again.
  WStringList boxes;
  return RefreshFolderList(m_mfpInfo, boxes) == 1 ? 0 : -1;
}

bool CSelectMfpDlg::Connect() {
  switch (TestConnection()) {
    case 0:
      return true;
    case -2:
      ShowError(21007, 20003);
      return false;
    default:
      ShowError(21001, 20001);
      return false;
  }
}

void CSelectMfpDlg::OnBnClickedOk() {
  m_bConnectFailed = TRUE;
  // Each step reports its own failure.
  const bool connected = UpdateData(TRUE) &&
                         (m_bUseAddress ? TakeTypedAddress() : TakeListedDevice()) &&
                         TakePorts() && Connect();
  if (!connected) {
    ShowAfterError();
    return;
  }
  m_mfpInfo.isNotShowDlg = m_bNotShowDlg;
  m_mfpInfo.isSpecifiedIPAddress = m_bUseAddress;
  m_mfpInfo.SpecifiedIPAddress = m_strAddress;
  SetMFPInfo(m_mfpInfo);
  m_bConnectFailed = FALSE;
  CDialog::OnOK();
}

void CSelectMfpDlg::OnBnClickedCancel() { OnCancel(); }

int RunSelectMfpDlg(int autoConnect, CDialog* startupWnd, AppSettings& settings, CDialog* parent) {
  CSelectMfpDlg dialog(autoConnect, startupWnd, parent);
  if (dialog.DoModal() == IDOK) {
    const MFPInfo mfp = settings.GetMFPInfo();
    SettingInfo setting = GetSettingInfo();
    setting.machineName = mfp.isSpecifiedIPAddress == 1 ? mfp.IPv4Address : mfp.machineName;
    SetSettingInfo(setting);
    return 1;
  }
  return dialog.m_bConnectFailed ? -1 : 0;
}

}  // namespace tallow::app
