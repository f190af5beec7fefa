// For tests only: looks at what the wxWidgets back end's windows show and
// plays the user on them. Every call first brings the windows up to date
// with the layer. Only test programs link this (tallow_ui_wx_testing).
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/dialog.h"
#include "platform/ui/wx/wx_backend.h"

namespace tallow::ui::testing {

class WxDriver {
 public:
  using DialogHandler = std::function<void(CDialog&)>;

  explicit WxDriver(WxBackend& backend);

  // Called on each modal dialog once it is shown and painted, from inside
  // its loop, to look at it and to end it.
  void OnDialogShown(DialogHandler handler);
  // A modal loop gives up after this long without its dialog ending, so
  // that a broken test fails instead of hanging (0: no limit).
  void SetModalTimeout(std::chrono::milliseconds timeout);

  // What the window of |dialog| shows, in pixels of its client area.
  std::optional<BaseUnits> DialogBaseUnits(const CDialog& dialog) const;
  std::optional<Rect> ClientRect(const CDialog& dialog) const;
  // The height of the window's menu bar; 0 without one.
  int MenuBarHeight(const CDialog& dialog) const;
  // The control made from the |index|th entry of the dialog's template.
  std::optional<Rect> ControlRect(const CDialog& dialog, std::size_t index) const;
  // What the wx control made from the |index|th template entry shows.
  struct ControlView {
    std::string text;  // UTF-8; label, edit contents, combo box selection
    bool shown = false;
    bool enabled = false;
    bool checked = false;  // check boxes and radio buttons
    int value = 0;         // progress bars: position above the lower bound
    int range = 0;
    std::vector<std::string> items;  // combo boxes
    int selection = -1;
    bool hasBitmap = false;  // icon buttons and icon statics
  };
  std::optional<ControlView> ViewControl(const CDialog& dialog, std::size_t index) const;
  struct ListView {
    std::vector<std::string> headings;
    std::vector<int> widths;
    std::vector<int> headingWidths;  // what each heading's text needs, padding included
    std::vector<std::vector<std::string>> rows;  // item text, then the sub-items
    std::vector<int> images;
    std::vector<int> selected;
    int imageCount = 0;  // images in the list's image list
  };
  std::optional<ListView> ViewList(const CDialog& dialog, std::size_t index) const;
  // The width the wx control made from the |index|th template entry needs
  // to show its whole text in its own font: its label, an edit's contents,
  // a combo box's selection. Buttons are measured without the theme's least
  // width; a static that ends in an ellipsis needs its whole text too. None
  // for controls without text.
  std::optional<int> TextWidthNeeded(const CDialog& dialog, std::size_t index) const;
  struct TreeItemView {
    std::string text;
    int depth = 0;
    bool expanded = false;
    bool selected = false;
    int image = -1;
  };
  // Every item in display order, those under collapsed parents included.
  std::optional<std::vector<TreeItemView>> ViewTree(const CDialog& dialog, std::size_t index) const;
  // The label of |item| in the wx tree, in its client pixels.
  std::optional<Rect> TreeItemRect(const CDialog& dialog, std::size_t index, HTREEITEM item) const;
  // A tree sideways, in pixels: how far it is scrolled, how wide its
  // client area is and how wide all it shows is. (Whether GTK draws the
  // scroll bar only the screen tells.)
  struct ScrollView {
    int position = 0;
    int page = 0;
    int range = 0;
  };
  std::optional<ScrollView> ViewTreeScroll(const CDialog& dialog, std::size_t index) const;
  // Scrolls the tree sideways to |x| pixels, as its scroll bar's thumb
  // dragged there does.
  bool ScrollTree(const CDialog& dialog, std::size_t index, int x);
  struct MenuItemView {
    std::string text;  // with its "&"
    int id = 0;        // the layer's command id; 0 for separators and popups
    bool separator = false;
    bool enabled = true;
    bool checkable = false;
    bool checked = false;
    std::vector<MenuItemView> items;  // a popup's
  };
  // The menu bar's menus as popups of their items.
  std::vector<MenuItemView> ViewMenuBar(const CDialog& dialog) const;

  // Play the user on the wx controls. False when there is no such control.
  // A click on a button, check box or radio button.
  bool Click(const CDialog& dialog, std::size_t index);
  // Typing that replaces an edit's contents.
  bool TypeInto(const CDialog& dialog, std::size_t index, const std::string& utf8);
  // A mouse click on a list row (-1: below the rows) or a tree item.
  bool ClickListRow(const CDialog& dialog, std::size_t index, int row, bool right);
  bool ClickTreeItem(const CDialog& dialog, std::size_t index, HTREEITEM item);
  // Picks a row of a combo box; an arrow of an up-down (+1 up, -1 down).
  bool Choose(const CDialog& dialog, std::size_t index, int row);
  bool Spin(const CDialog& dialog, std::size_t index, int delta);
  // Chooses the menu bar item of the layer's command |id|.
  bool ChooseMenuItem(const CDialog& dialog, int id);
  // Whether a menu of the window's menu bar is open on the screen.
  bool MenuOpen(const CDialog& dialog) const;

  // The face name of the font the dialog's template font was mapped to.
  std::string FontFace(const CDialog& dialog) const;
  // The size of |utf8| in the font of the control made from the |index|th
  // template entry, and the size that control asks for itself.
  std::optional<Size> MeasureText(const CDialog& dialog, std::size_t index,
                                  const std::string& utf8) const;
  std::optional<Size> BestSize(const CDialog& dialog, std::size_t index) const;
  // Writes a PNG of the dialog's client area, with the menu bar above it
  // when the window has one; false when it could not.
  bool SaveScreenshot(const CDialog& dialog, const std::string& path);
  // Handles the window system's events and the layer's queue for about |time|.
  void Pump(std::chrono::milliseconds time);
  // Runs the layer's queue until it is empty and paints, before returning,
  // whatever of the dialog's window is due to be painted (as the window
  // system's next frame would); false when the window is not on the screen.
  bool PaintNow(const CDialog& dialog);
  // The paint events the picture frame or icon static made from the
  // |index|th template entry has handled so far.
  unsigned PaintCount(const CDialog& dialog, std::size_t index) const;

 private:
  WxBackend::Impl& impl_;
};

}  // namespace tallow::ui::testing
