// The MFP selection dialog (template 202): a device found by a search (USB
// devices through the still-image service, network devices through the
// discovery library) or a typed address or host name, with the HTTP port and
// the search port. OK tests the connection by listing the MFP's boxes, and
// only a device that answers becomes the current MFPInfo.
#pragma once

#include <cstdint>

#include "core/settings.h"
#include "platform/ui/dialog.h"

namespace tallow::app {

inline constexpr int kAddressMaxChars = 255;
inline constexpr int kPortMaxChars = 5;
inline constexpr int kDeviceNameColumnWidth = 175;
inline constexpr int kConnectToColumnWidth = 150;

// Whether |text| passes as a dotted IPv4 address and is taken as typed: four
// parts between dots (a run of dots counts as one, dots at either end are
// skipped), each a whole base-10 number (blanks and a sign before it
// allowed) that, read as unsigned, is at most 255. Anything else is a host
// name to look up.
bool IsDottedAddress(WStringView text);

// A port as typed: the decimal number the text starts with (blanks and a
// sign before it allowed; 0 when there is none). False for an empty text and
// for a number outside 0 to 65535.
bool ReadPortText(WStringView text, std::uint16_t* port);

class CSelectMfpDlg : public ui::CDialog {
 public:
  // |autoConnect|: hidden, it presses its own OK once with the stored
  // settings, and shows itself (hiding |startupWnd|) only if that fails.
  CSelectMfpDlg(int autoConnect, ui::CDialog* startupWnd, ui::CDialog* parent);

  WString m_strHttpPort;
  WString m_strSearchPort;
  ui::Control* m_editAddress = nullptr;
  WString m_strAddress;
  ui::CListCtrl* m_listDevices = nullptr;
  BOOL m_bUseAddress = FALSE;
  BOOL m_bNotShowDlg = FALSE;
  // The internal names of the USB devices listed. A USB row carries the
  // index of its name here + 1 as its item data; a network row carries 0.
  WStringList m_usbDeviceNames;
  MFPInfo m_mfpInfo;
  int m_bAutoConnect;
  // Set from the start of each OK until that OK succeeds.
  BOOL m_bConnectFailed = FALSE;
  ui::CDialog* m_pStartupWnd;

 protected:
  BOOL OnInitDialog() override;
  void DoDataExchange(ui::CDataExchange* dx) override;
  void DeclareMessageMap(ui::MessageMap& map) override;

 private:
  void InitDeviceList();
  // Appends a row; |usbIndex| is its name's index in m_usbDeviceNames, or
  // -1 for a network device.
  void AddDeviceRow(const WString& name, const WString& connectTo, int usbIndex);
  void OnSearch();
  void OnUseAddress();
  void OnChangeHttpPort();
  void OnChangeSearchPort();
  void OnBnClickedOk();
  void OnBnClickedCancel();
  // Fills the device fields of m_mfpInfo from the selected row or the typed
  // address; false after it has reported why it could not.
  bool TakeListedDevice();
  bool TakeTypedAddress();
  // The two ports into m_mfpInfo; false after it has reported a bad one.
  bool TakePorts();
  // 0 when the MFP listed its boxes, -1 when it did not, -2 without a target.
  int TestConnection();
  // TestConnection with its failure reported; true when connected.
  bool Connect();
  // After a failed OK the dialog is seen, in place of the start-up window.
  void ShowAfterError();
  void ShowError(int textId, int captionId);
};

// Builds and runs the dialog. 1 after a successful OK: |settings| then holds
// the chosen MFPInfo, and the current SettingInfo's machineName becomes the
// MFP's address when it was typed, else its name. -1 when the dialog ended
// otherwise after a failed OK; 0 when it ended without one.
int RunSelectMfpDlg(int autoConnect, ui::CDialog* startupWnd, AppSettings& settings,
                    ui::CDialog* parent);

}  // namespace tallow::app
