// The user's hands and eyes on an X server, over a connection of the
// test's own: the mouse and the keyboard through the XTEST extension (the
// server takes them as real input, unlike events sent to a window), and the
// pixels the screen shows. For tests that drive a program from outside;
// links Xlib and libXtst (library tallow_test_x11).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tallow::test {

struct XRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

// The whole screen at one moment, as 0xRRGGBB pixels.
struct XScreenImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;

  std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
  // 0 (black) to 255 (white), as the eye weighs the three colours.
  int Luminance(int x, int y) const;
};

class XInput {
 public:
  // Connects to |display| (":N"); ok() is false when that fails or the
  // server lacks XTEST.
  explicit XInput(const std::string& display);
  ~XInput();
  XInput(const XInput&) = delete;
  XInput& operator=(const XInput&) = delete;

  bool ok() const;

  // Moves the pointer to the screen point and clicks the left button there.
  void Click(int x, int y);
  // A chord of key names joined by "+" ("ctrl+a", "Return", "F10"), the
  // names being X key symbol names, "ctrl", "shift" and "alt".
  void Key(const std::string& chord);
  // Types printable ASCII text, with Shift where the keyboard needs it.
  void Type(const std::string& text);

  // A top-level window's place on the screen and its size.
  std::optional<XRect> Geometry(unsigned long window);
  std::optional<XScreenImage> Grab();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Saves what the screen of |display| shows as a PNG file (ImageMagick's
// import); false when that fails.
bool SaveScreenshot(const std::string& display, const std::string& path);

}  // namespace tallow::test
