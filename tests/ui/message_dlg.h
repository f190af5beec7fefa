// A dialog that takes messages of its own, for the tests of both back ends:
// one through an entry of its message map, one through its own WindowProc,
// and WM_ICONERASEBKGND, which it sends itself while it paints its icon
// minimised, as the main window does.
#pragma once

#include <thread>
#include <utility>
#include <vector>

#include "platform/ui/dialog.h"
#include "platform/ui/icon.h"
#include "res/icons.h"

namespace tallow::ui::testing {

class MessageDlg : public CDialog {
 public:
  static constexpr UINT kMapped = WM_APP + 1;      // answers wParam + lParam
  static constexpr UINT kOverridden = WM_APP + 2;  // answers -wParam
  static constexpr UINT kUnknown = WM_APP + 3;     // nobody takes it
  static constexpr HICON kIcon = res::IDI_APPLICATION_ICON;

  using CDialog::CDialog;

  struct Seen {
    UINT message;
    WPARAM wParam;
    std::thread::id thread;
    friend bool operator==(const Seen&, const Seen&) = default;
  };
  std::vector<Seen> seen;     // UI thread only
  std::vector<HDC> erasures;  // the device contexts WM_ICONERASEBKGND came with

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message != kOverridden) return CDialog::WindowProc(message, wParam, lParam);
    seen.push_back({message, wParam, std::this_thread::get_id()});
    return -static_cast<LRESULT>(wParam);
  }

 protected:
  void DeclareMessageMap(MessageMap& map) override {
    map.OnMessage(kMapped, this, &MessageDlg::OnMapped);
    map.OnMessage(WM_ICONERASEBKGND, this, &MessageDlg::OnIconEraseBkgnd);
  }
  void OnPaint() override {
    if (!IsIconic()) return;
    CPaintDC dc(*this);
    SendMessageW(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    const Rect client = GetClientRect();
    const int cx = GetSystemMetrics(SM_CXICON);
    const int cy = GetSystemMetrics(SM_CYICON);
    dc.DrawIcon((client.cx - cx + 1) / 2, (client.cy - cy + 1) / 2, kIcon);
  }
  HICON OnQueryDragIcon() override { return kIcon; }

 private:
  LRESULT OnMapped(WPARAM wParam, LPARAM lParam) {
    seen.push_back({kMapped, wParam, std::this_thread::get_id()});
    return static_cast<LRESULT>(wParam) + lParam;
  }
  LRESULT OnIconEraseBkgnd(WPARAM wParam, LPARAM lParam) {
    erasures.push_back(reinterpret_cast<HDC>(wParam));
    return DefWindowProc(WM_ICONERASEBKGND, wParam, lParam);
  }
};

}  // namespace tallow::ui::testing
