// Message boxes. The window layer installs a backend that shows them; until
// then a box is not shown and its call answers 0, as the other system's
// MessageBox does when it cannot make the box, so that no question is ever
// taken as answered with OK.
#pragma once

#include <cstdint>

#include "platform/text.h"
#include "platform/window_handle.h"

namespace tallow {

using UINT = std::uint32_t;

// Buttons
inline constexpr UINT MB_OK = 0x00000000;
inline constexpr UINT MB_OKCANCEL = 0x00000001;
// Icons
inline constexpr UINT MB_ICONERROR = 0x00000010;
inline constexpr UINT MB_ICONWARNING = 0x00000030;
inline constexpr UINT MB_ICONINFORMATION = 0x00000040;
// Placement
inline constexpr UINT MB_TOPMOST = 0x00040000;

// Answers
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

class MessageBoxBackend {
 public:
  virtual ~MessageBoxBackend() = default;
  // Shows the box and returns the button chosen (IDOK, IDCANCEL), or 0 when
  // no box could be shown.
  virtual int Show(HWND owner, WStringView text, WStringView caption, UINT type) = 0;
};
// The backend stays owned by the caller; nullptr removes it.
void InstallMessageBoxBackend(MessageBoxBackend* backend);

// |owner| null: a box without owner. A null text or caption is empty.
int MessageBoxW(HWND owner, const char16_t* text, const char16_t* caption, UINT type);

}  // namespace tallow
