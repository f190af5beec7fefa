// The wxWidgets back end's shared state and helpers. Only the files of this
// folder include it: the back end's own and its test driver (testing/).
#pragma once

// The project's headers first: wx defines TRUE and FALSE as macros.
#include "platform/ui/icon.h"
#include "platform/ui/wx/wx_backend.h"

#include <wx/bitmap.h>
#include <wx/dc.h>
#include <wx/evtloop.h>
#include <wx/font.h>
#include <wx/frame.h>
#include <wx/menu.h>
#include <wx/panel.h>
#include <wx/radiobut.h>
#include <wx/string.h>
#include <wx/toplevel.h>
#include <wx/treebase.h>

#include <chrono>
#include <climits>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class wxChoice;

namespace tallow::ui {

class CImageList;
class CListCtrl;
class CComboBox;
class CTreeCtrl;
class Surface;

// Text between the layer (UTF-16) and wx.
wxString ToWx(WStringView s);
WString FromWx(const wxString& s);
std::string Utf8(const wxString& s);

// The templates name the other system's dialog fonts, which the desktop
// lacks: its own GUI font stands in.
wxFont DialogFont(const DialogTemplate& t);

wxColour ColourOf(COLORREF c);
// The program's icon art at |size| pixels; with a background colour the
// transparent parts take it, as an image list with a background does.
wxImage IconArt(HICON icon, int size, COLORREF background = CLR_NONE);
// An icon at the size its art was drawn in (buttons and icon statics show
// icons unscaled).
int NaturalSize(HICON icon);

struct WxBackend::Impl {
  using DialogHandler = std::function<void(CDialog&)>;

  // What was put into a list view, so that a sync touches only what changed.
  struct ListState {
    struct Row {
      std::vector<WString> texts;
      int image = -1;
    };
    std::vector<Row> rows;
    const CImageList* images = nullptr;
    int imageCount = -1;
    COLORREF imageBackground = CLR_NONE;
    // Column widths come in pixels of the other system's dialog font and
    // are shown scaled as the dialog units are: by |unitsX| / |referenceX|.
    int unitsX = 1;
    int referenceX = 1;
  };
  struct TreeEntry {
    HTREEITEM item;
    HTREEITEM parent;
    WString text;
    int image;
    int selectedImage;
    friend bool operator==(const TreeEntry&, const TreeEntry&) = default;
  };
  // The wx tree's items and the layer's handles, both ways.
  struct TreeState {
    std::vector<TreeEntry> entries;  // as last built, in pre-order
    std::map<HTREEITEM, wxTreeItemId> toWx;
    std::map<void*, HTREEITEM> fromWx;
    const CImageList* images = nullptr;
    int imageCount = -1;
    COLORREF imageBackground = CLR_NONE;
    // Column widths come in pixels of the other system's dialog font and
    // are shown scaled as the dialog units are: by |unitsX| / |referenceX|.
    int unitsX = 1;
    int referenceX = 1;
  };
  // One template entry's control.
  struct Slot {
    ControlKind kind = ControlKind::kStatic;
    wxWindow* win = nullptr;
    wxWindow* input = nullptr;  // takes the mouse and the focus (a list's rows)
    int group = -1;             // radio buttons: their group
    bool dirty = true;
    unsigned paints = 0;  // paint events a picture frame or icon static has handled
    std::unique_ptr<ListState> list;
    std::unique_ptr<TreeState> tree;
  };
  // A radio group as the layer sees it. GTK always keeps one button of a
  // group on, so a hidden one stands for "none checked".
  struct RadioGroup {
    std::vector<std::size_t> members;
    wxRadioButton* none = nullptr;
  };
  struct SysEntry {
    int id = 0;
    WString text;
    UINT state = 0;
    bool separator = false;
    friend bool operator==(const SysEntry&, const SysEntry&) = default;
  };
  struct Window {
    CDialog* dialog = nullptr;
    std::uint64_t serial = 0;
    wxTopLevelWindow* top = nullptr;
    wxFrame* frame = nullptr;  // when it has a menu bar
    wxPanel* client = nullptr;
    BaseUnits units;
    FrameMetrics metrics;  // what the layer was told
    std::string face;
    std::vector<Slot> slots;  // in template order
    std::map<const Control*, std::size_t> indexOf;
    std::vector<RadioGroup> radioGroups;
    bool dirty = true;
    bool shown = false;
    bool iconic = false;
    bool measured = false;  // its menu bar
    bool painted = false;  // its client area, since it was last shown
    bool clientDrawn = false;  // what the layer drew into the client area is on it
    // A modeless window shown by its Create: from then on each change the
    // layer makes reaches the screen before the call that made it returns.
    bool presented = false;
    Rect placed{INT_MIN, INT_MIN, -1, -1};
    HICON bigIcon = -1;
    HICON smallIcon = -1;
    int appliedFocus = 0;
    // Set when the window takes input again: GTK dropped its focus widget
    // when it was disabled, and without one its keys reach none of our
    // handlers (Enter still presses GTK's default button).
    bool refocus = false;
    // Set when a modal window it owned has ended while active: the owner
    // becomes the active window again, as the window system gives the
    // keyboard back to an ended dialog's owner.
    bool activate = false;
    // Marked modal for the window manager (and GTK), over its owner.
    bool modal = false;
    // Menus of its bar open now (a submenu counts as well).
    int openMenus = 0;
    // Menus: wx ids to the layer's commands, and the layer's menu behind each wx menu.
    bool menuDirty = false;
    bool menuStatesDirty = false;
    std::map<int, int> commands;
    std::map<int, int> sysCommands;
    std::map<const wxMenu*, const CMenu*> menus;
    std::vector<SysEntry> sysExtras;
    int nextMenuId = wxID_HIGHEST + 1;
  };

  bool started = false;
  std::map<const CDialog*, Window> windows;
  std::uint64_t nextSerial = 1;
  DialogHandler onShown;
  // A modal loop gives up after this long (0: never). Only tests set one: the
  // main window runs modally for as long as the program does.
  std::chrono::milliseconds modalTimeout{0};
  // Set while we change a wx control ourselves, so that its events are not
  // taken for the user's input.
  int updating = 0;
  // Set while the back end waits outside the loops (a window being put on
  // the screen, a join): only the window system's own events run, and input
  // that would run the program's handlers is queued (Deliver).
  int quiet = 0;
  bool flushScheduled = false;
  // Popup menus open now: they have the keyboard.
  int popupMenus = 0;
  std::map<int, BaseUnits> unitsByPoints;
  std::map<const DialogTemplate*, double> fittedPoints;  // by FitTexts
  int menuBarHeight = 0;    // likewise, 0 until known
  std::map<std::pair<HICON, int>, wxBitmap> iconCache;

  Window* Find(const CDialog* dialog) {
    auto it = windows.find(dialog);
    return it == windows.end() ? nullptr : &it->second;
  }
  // The window of |dialog| if it is still the one |serial| was given to.
  Window* Live(const CDialog* dialog, std::uint64_t serial) {
    Window* w = Find(dialog);
    return w && w->serial == serial ? w : nullptr;
  }
  Control* ControlAt(Window& w, std::size_t index) {
    const auto& controls = w.dialog->Controls();
    return index < controls.size() ? controls[index].get() : nullptr;
  }

  const wxBitmap& IconBitmap(HICON icon, int size);
  int EstimatedMenuBarHeight();

  // Windows (wx_windows.cpp).
  void ScheduleFlush();
  void FlushAll();
  void FlushWindow(Window& w);
  void LearnMenuBar(Window& w);
  void PinClientSize(Window& w);
  void Present(Window& w);
  // After a change to |w|: a presented window shows it now.
  void PresentChange(Window& w) {
    if (w.presented) Present(w);
  }
  // Input from the window system that runs the program's handlers: at once,
  // or queued for the layer's loop while the back end is quiet.
  void Deliver(std::function<void()> input);
  // Runs the window system's own events (paints, maps, moves) once, taking
  // no input and running none of the program's handlers.
  void YieldQuietly();
  void PushFocus(Window& w);
  // The owner window of a modal window that has ended (|ownerTop|, a wx
  // top-level of ours or null) becomes the active window: always when the
  // window that ended was the active one, else unless another window of
  // ours is active.
  void ActivateOwner(wxWindow* ownerTop, bool endedWasActive = false);
  void BindWindow(Window& w);

  // Controls (wx_controls.cpp, wx_input.cpp, wx_lists.cpp).
  void MakeControls(Window& w, const DialogTemplate& t);
  // Makes the window's font smaller, if need be, so that every text of the
  // template fits its control; before the controls are made.
  void FitTexts(Window& w, const DialogTemplate& t);
  wxWindow* MakeControl(Window& w, std::size_t index, const ControlTemplate& t, const Rect& px);
  void BindControl(Window& w, std::size_t index, const ControlTemplate& t);
  void Apply(Window& w, std::size_t index);
  void ApplyRadioGroup(Window& w, int group);
  void SyncSlot(Window& w, std::size_t index);
  void SyncList(Slot& slot, CListCtrl& list);
  void SyncTree(Slot& slot, CTreeCtrl& tree);
  void SyncCombo(CComboBox& combo, wxChoice* choice);
  void FlushSlot(Window& w, std::size_t index) {
    if (index < w.slots.size() && w.slots[index].dirty) SyncSlot(w, index);
  }

  // Menus (wx_menus.cpp).
  std::vector<SysEntry> SysExtras(CDialog& dialog);
  wxMenu* BuildMenu(Window& w, const CMenu& menu);
  wxMenu* BuildExtras(const std::vector<SysEntry>& extras, std::map<int, int>& ids, int& nextId);
  void RebuildMenuBar(Window& w);
  void SyncMenuStates(Window& w, const wxMenu* menu);
  void ShowExtrasMenu(Window& w, const wxPoint& at);

  // Painting (wx_painting.cpp).
  void PaintSurface(wxDC& dc, const Surface& surface, const wxPoint& offset);
  wxWindow* OwnerWindow(HWND owner);
};

// The event loop to run events in: the active one, or one of our own while
// none runs (before the first modal loop).
class ActiveLoop {
 public:
  ActiveLoop();
  wxEventLoopBase* operator->() const { return loop_; }

 private:
  std::unique_ptr<wxGUIEventLoop> own_;
  std::unique_ptr<wxEventLoopActivator> activator_;
  wxEventLoopBase* loop_;
};

// The state of the back end that is attached to the UI thread; null when
// none is. UI thread only.
WxBackend::Impl* CurrentWxImpl();
// The state of |backend|, for this folder's files.
WxBackend::Impl& ImplOf(WxBackend& backend);

}  // namespace tallow::ui
