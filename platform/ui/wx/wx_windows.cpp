// Top-level windows: made from the templates, kept in step with the layer's
// state when the loop comes round, and their input carried back.
#include "platform/ui/ui_thread.h"
#include "platform/ui/wx/wx_impl.h"

#include <wx/app.h>
#include <wx/dcclient.h>
#include <wx/dialog.h>
#include <wx/window.h>
#include <wx/iconbndl.h>
#include <wx/utils.h>

// What wx does not reach: a window marked modal for the window manager
// without wx's own modal loop.
#include <gtk/gtk.h>

#include <algorithm>

namespace tallow::ui {

namespace {
// How long showing a modeless window waits for the X server at most.
constexpr std::chrono::milliseconds kPresentWait{1000};
}  // namespace

void WxBackend::Impl::ScheduleFlush() {
  if (flushScheduled || !wxTheApp) return;
  flushScheduled = true;
  wxTheApp->CallAfter([] {
    Impl* impl = CurrentWxImpl();
    if (!impl) return;
    impl->flushScheduled = false;
    impl->FlushAll();
  });
}

void WxBackend::Impl::FlushAll() {
  // A sync never reaches back into the layer's windows, but a snapshot keeps
  // the walk safe all the same.
  std::vector<std::pair<const CDialog*, std::uint64_t>> live;
  for (const auto& [dialog, w] : windows) live.emplace_back(dialog, w.serial);
  for (const auto& [dialog, serial] : live) {
    if (Window* w = Live(dialog, serial)) FlushWindow(*w);
  }
}

void WxBackend::Impl::FlushWindow(Window& w) {
  CDialog& d = *w.dialog;
  ++updating;
  if (w.dirty) {
    w.dirty = false;
    const wxString title = ToWx(d.GetWindowText());
    if (w.top->GetTitle() != title) w.top->SetTitle(title);
    if (w.top->IsEnabled() != d.IsWindowEnabled()) {
      w.top->Enable(d.IsWindowEnabled());
      if (d.IsWindowEnabled()) w.refocus = true;
    }
    // GTK cannot gray the close box; it can take it away while Close is grayed.
    w.top->EnableCloseButton(d.IsCloseCommandEnabled());

    const HICON big = d.GetIcon(TRUE);
    const HICON small = d.GetIcon(FALSE);
    if (big != w.bigIcon || small != w.smallIcon) {
      w.bigIcon = big;
      w.smallIcon = small;
      wxIconBundle icons;
      for (const auto& [icon, size] : {std::pair{big, 32}, std::pair{small, 16}}) {
        if (!icon) continue;
        wxIcon i;
        i.CopyFromBitmap(IconBitmap(icon, size));
        icons.AddIcon(i);
      }
      w.top->SetIcons(icons);
    }

    std::vector<SysEntry> extras = SysExtras(d);
    if (extras != w.sysExtras) {
      w.sysExtras = std::move(extras);
      if (w.frame) w.menuDirty = true;
    }

    if (!d.IsIconic()) {
      const Rect r = d.GetWindowRect();
      if (r != w.placed) {
        w.placed = r;
        w.top->Move(r.x, r.y);
        PinClientSize(w);
      }
    }

    // A dialog run modally over an owner is modal for the window manager
    // too, and stands over that owner: a click on the owner, which the
    // layer disabled, leaves the dialog the keyboard, as the other system
    // does. GTK then keeps the toolkit's own input for it (its grab). Set
    // before the window is first shown, so that the manager knows at once.
    const Window* owner = d.IsModal() ? Find(d.GetOwner()) : nullptr;
    if ((owner != nullptr) != w.modal) {
      w.modal = owner != nullptr;
      GtkWindow* gtk = GTK_WINDOW(w.top->GetHandle());
      if (owner) gtk_window_set_transient_for(gtk, GTK_WINDOW(owner->top->GetHandle()));
      gtk_window_set_modal(gtk, w.modal);
    }

    const bool visible = d.IsWindowVisible();
    if (visible && !w.shown) {
      w.shown = true;
      w.painted = false;
      w.iconic = d.IsIconic();
      if (w.iconic) w.top->Iconize(true);
      w.top->Show();
      if (!w.iconic) w.top->Raise();
    } else if (!visible && w.shown) {
      w.shown = false;
      w.top->Hide();
    }
    if (w.shown && d.IsIconic() != w.iconic) {
      w.iconic = d.IsIconic();
      w.top->Iconize(w.iconic);
      if (!w.iconic) w.top->Raise();
    }
    // GTK lets a modal window's grab go when the window is disabled (its
    // own modal child runs); it takes its input back with the keyboard.
    GtkWidget* widget = w.top->GetHandle();
    if (w.modal && w.shown && w.top->IsEnabled() && !gtk_widget_has_grab(widget)) {
      gtk_grab_add(widget);
    }
  }
  if (w.menuDirty) {
    w.menuDirty = false;
    w.menuStatesDirty = false;
    RebuildMenuBar(w);
  }
  if (w.menuStatesDirty) {
    w.menuStatesDirty = false;
    if (wxMenuBar* bar = w.frame ? w.frame->GetMenuBar() : nullptr) {
      for (std::size_t i = 0; i < bar->GetMenuCount(); ++i) SyncMenuStates(w, bar->GetMenu(i));
    }
  }
  if (w.activate && w.top->IsEnabled()) {
    w.activate = false;
    if (w.shown && !w.iconic) w.top->Raise();  // gtk_window_present: the keyboard's focus too
  }
  --updating;
  for (std::size_t i = 0; i < w.slots.size(); ++i) FlushSlot(w, i);
  PushFocus(w);
  if (w.shown && !w.measured && w.top->IsShownOnScreen()) LearnMenuBar(w);
}

// Puts the window on the screen as the layer holds it and waits, a little
// while at most, until the X server has it mapped and painted. Only the
// window system's own events run meanwhile: input waits, and what would run
// the program's handlers is queued for the layer's loop (Deliver), so that
// nothing of the program runs inside the call that changed the window.
void WxBackend::Impl::Present(Window& w) {
  if (quiet) {
    // A change made while the back end waits (by a paint handler): the loop
    // shows it.
    w.dirty = true;
    ScheduleFlush();
    return;
  }
  FlushWindow(w);
  if (!w.shown || w.iconic || !wxTheApp) return;
  // Painted afresh as a whole, so that there is a paint to wait for.
  w.painted = false;
  w.client->Refresh();
  const CDialog* d = w.dialog;
  const std::uint64_t serial = w.serial;
  const auto deadline = std::chrono::steady_clock::now() + kPresentWait;
  for (;;) {
    YieldQuietly();
    Window* live = Live(d, serial);
    if (!live) return;
    if (live->top->IsShownOnScreen() && live->painted) {
      live->top->Update();  // what was drawn has reached the server
      return;
    }
    if (std::chrono::steady_clock::now() > deadline) return;
    wxMilliSleep(5);
  }
}

ActiveLoop::ActiveLoop() : loop_(wxEventLoopBase::GetActive()) {
  if (loop_) return;
  own_ = std::make_unique<wxGUIEventLoop>();
  activator_ = std::make_unique<wxEventLoopActivator>(own_.get());
  loop_ = own_.get();
}

void WxBackend::Impl::YieldQuietly() {
  ++quiet;
  ActiveLoop()->YieldFor(wxEVT_CATEGORY_UI);
  --quiet;
}

// The layer's size, held as the window's least and greatest: the user
// cannot resize our windows, and GTK keeps them at that size when what they
// hold changes (a menu bar set anew on a shown frame).
void WxBackend::Impl::PinClientSize(Window& w) {
  if (w.placed.cx < 0) return;  // not placed yet: the template's size stands
  const FrameMetrics& m = w.metrics;
  const wxSize client(std::max(1, w.placed.cx - m.left - m.right),
                      std::max(1, w.placed.cy - m.top - m.bottom));
  w.top->SetSizeHints(wxDefaultSize, wxDefaultSize);
  w.top->SetClientSize(client);
  const wxSize size = w.top->GetSize();
  w.top->SetSizeHints(size, size);
}

// The menu bar's height as this desktop draws it; later windows are told.
void WxBackend::Impl::LearnMenuBar(Window& w) {
  w.measured = true;
  if (!w.frame || !w.frame->GetMenuBar()) return;
  const int bar = w.frame->GetMenuBar()->GetSize().y;
  if (bar > 0) menuBarHeight = bar;
}

void WxBackend::Impl::PushFocus(Window& w) {
  const int id = w.dialog->GetFocusId();
  if (id == w.appliedFocus && !w.refocus) return;
  const bool again = w.refocus;
  if (!w.top->IsEnabled()) return;  // a disabled window takes no focus; kept for later
  w.refocus = false;
  w.appliedFocus = id;
  Control* c = w.dialog->GetDlgItem(id);
  auto it = c ? w.indexOf.find(c) : w.indexOf.end();
  wxWindow* target = it == w.indexOf.end() ? nullptr : w.slots[it->second].input;
  if (target && target->IsShown() && target->IsEnabled()) {
    if (again || wxWindow::FindFocus() != target) target->SetFocus();
  } else if (again) {
    // No control of the layer's: the panel gives it to its first one, as
    // the dialog manager does.
    w.client->SetFocus();
  }
}

// The window manager's and the keyboard's input to a top-level window, and
// the painting of its client area.
void WxBackend::Impl::BindWindow(Window& w) {
  CDialog* d = w.dialog;
  Impl* impl = this;
  const std::uint64_t serial = w.serial;
  wxTopLevelWindow* top = w.top;
  top->Bind(wxEVT_CLOSE_WINDOW, [impl, d, serial](wxCloseEvent& e) {
    if (!e.CanVeto()) {
      e.Skip();
      return;
    }
    e.Veto();  // the layer decides, and destroys the window itself
    impl->Deliver([impl, d, serial] {
      if (impl->Live(d, serial)) d->InputCloseBox();
      impl->ScheduleFlush();
    });
  });
  top->Bind(wxEVT_CHAR_HOOK, [impl, d, serial](wxKeyEvent& e) {
    Impl::Window* w = impl->Live(d, serial);
    if (!w) return e.Skip();
    // An open menu has the keyboard: its Esc closes it and goes no further,
    // its Enter chooses an item and presses no button.
    if (w->openMenus > 0 || impl->popupMenus > 0) return e.Skip();
    switch (e.GetKeyCode()) {
      case WXK_ESCAPE:
        d->InputKey(VK_ESCAPE);
        break;
      case WXK_RETURN:
      case WXK_NUMPAD_ENTER:
        // The layer picks the button: the focused push button, else the default.
        d->InputKey(VK_RETURN);
        break;
      case WXK_UP:
      case WXK_DOWN: {
        // In an edit the arrows are the dialog's (an up-down's buddy steps).
        wxWindow* focus = wxWindow::FindFocus();
        const auto edit = std::find_if(w->slots.begin(), w->slots.end(), [focus](const auto& s) {
          return s.kind == ControlKind::kEdit && s.win == focus;
        });
        if (!focus || edit == w->slots.end()) return e.Skip();
        d->InputKey(e.GetKeyCode() == WXK_UP ? VK_UP : VK_DOWN);
        break;
      }
      default:
        return e.Skip();
    }
    impl->ScheduleFlush();
  });
  top->Bind(wxEVT_ICONIZE, [impl, d, serial](wxIconizeEvent& e) {
    e.Skip();
    Impl::Window* w = impl->Live(d, serial);
    if (!w || !w->shown) return;
    // The window manager minimised or restored it; our own requests come
    // back here as what the layer already holds.
    w->iconic = e.IsIconized();
    if (w->iconic == d->IsIconic()) return;
    impl->Deliver([impl, d, serial, iconic = w->iconic] {
      if (!impl->Live(d, serial) || iconic == d->IsIconic()) return;
      if (iconic) {
        d->InputMinimize();
      } else {
        d->InputRestore();
      }
      if (Impl::Window* again = impl->Live(d, serial)) again->dirty = true;
      impl->ScheduleFlush();
    });
  });
  top->Bind(wxEVT_MOVE, [impl, d, serial, top](wxMoveEvent& e) {
    e.Skip();
    Impl::Window* w = impl->Live(d, serial);
    if (!w || !w->shown || d->IsIconic()) return;
    const wxPoint at = top->GetPosition();
    const Rect r = d->GetWindowRect();
    if (at.x == r.x && at.y == r.y) return;
    d->InputMoved(at.x, at.y);
    w->placed = d->GetWindowRect();
  });
  top->Bind(wxEVT_MENU, [impl, d, serial](wxCommandEvent& e) {
    Impl::Window* w = impl->Live(d, serial);
    if (!w) return;
    if (auto it = w->commands.find(e.GetId()); it != w->commands.end()) {
      const int command = it->second;
      w->menuStatesDirty = true;  // wx flipped a check item by itself
      d->InputMenuCommand(command);
    } else if (auto sys = w->sysCommands.find(e.GetId()); sys != w->sysCommands.end()) {
      w->dirty = true;
      d->InputSysCommand(static_cast<UINT>(sys->second));
    } else {
      e.Skip();
    }
    impl->ScheduleFlush();
  });
  top->Bind(wxEVT_MENU_OPEN, [impl, d, serial](wxMenuEvent& e) {
    e.Skip();
    Impl::Window* w = impl->Live(d, serial);
    if (!w || !e.GetMenu()) return;
    ++w->openMenus;
    ++impl->updating;
    impl->SyncMenuStates(*w, e.GetMenu());
    --impl->updating;
  });
  top->Bind(wxEVT_MENU_CLOSE, [impl, d, serial](wxMenuEvent& e) {
    e.Skip();
    Impl::Window* w = impl->Live(d, serial);
    if (w && e.GetMenu() && w->openMenus > 0) --w->openMenus;
  });
  top->Bind(wxEVT_DESTROY, [impl, d, serial, top](wxWindowDestroyEvent& e) {
    e.Skip();
    // wx takes an owned window down with its owner; the layer's mirror of
    // it goes then too, so that nothing points at it.
    if (e.GetEventObject() != top) return;
    if (impl->Live(d, serial)) impl->windows.erase(d);
  });
  w.client->Bind(wxEVT_PAINT, [impl, d, serial](wxPaintEvent&) {
    Impl::Window* w = impl->Live(d, serial);
    if (!w) return;
    w->painted = true;
    wxPaintDC dc(w->client);
    impl->PaintSurface(dc, d->GetSurface(), wxPoint(0, 0));
  });
  w.client->Bind(wxEVT_RIGHT_DOWN, [impl, d, serial](wxMouseEvent& e) {
    Impl::Window* w = impl->Live(d, serial);
    if (!w || w->frame || w->sysExtras.empty() || !d->IsWindowEnabled()) return e.Skip();
    impl->ShowExtrasMenu(*w, e.GetPosition());
  });
}

void WxBackend::WindowCreated(CDialog& dialog) {
  const DialogTemplate* t = dialog.Template();
  if (!t || !impl_->started) return;
  Impl* impl = impl_.get();
  wxWindow* parent = nullptr;
  if (CDialog* owner = dialog.GetOwner()) {
    if (Impl::Window* w = impl->Find(owner)) parent = w->top;
  }
  // Resizable for GTK, but held at the layer's size (PinClientSize): GTK
  // shrinks a window that is not to what it holds whenever that changes.
  long style = wxCAPTION | wxRESIZE_BORDER;
  if (t->style & WS_SYSMENU) style |= wxSYSTEM_MENU | wxCLOSE_BOX;
  Impl::Window& w = impl->windows[&dialog];
  w = Impl::Window{};
  w.dialog = &dialog;
  w.serial = impl->nextSerial++;
  // GTK dialogs cannot hold a menu bar: a window with one is a frame.
  if (t->menuId) {
    w.frame = new wxFrame(parent, wxID_ANY, ToWx(dialog.GetWindowText()), wxDefaultPosition,
                          wxDefaultSize, style);
    w.top = w.frame;
  } else {
    w.top = new wxDialog(parent, wxID_ANY, ToWx(dialog.GetWindowText()), wxDefaultPosition,
                         wxDefaultSize, style);
  }
  w.client = new wxPanel(w.top, wxID_ANY);
  const wxFont font = DialogFont(*t);
  w.top->SetFont(font);
  w.client->SetFont(font);
  w.face = font.GetFaceName().ToStdString();
  w.units = DialogBaseUnits(*t);
  w.metrics = WindowFrame(*t);
  const Rect client = DialogUnitsToPixels(Rect{0, 0, t->rect.cx, t->rect.cy}, w.units);
  w.top->SetClientSize(client.cx, client.cy);
  impl->FitTexts(w, *t);
  impl->MakeControls(w, *t);
  impl->BindWindow(w);
  if (dialog.GetMenu()) w.menuDirty = true;
  impl->ScheduleFlush();
}

void WxBackend::Impl::ActivateOwner(wxWindow* ownerTop, bool endedWasActive) {
  if (!ownerTop) return;
  if (!endedWasActive) {
    // A native modal window has gone: the owner comes back unless another
    // of our windows took the keyboard meanwhile.
    wxWindow* active = wxGetActiveWindow();
    if (active && wxGetTopLevelParent(active) != ownerTop && active->IsShown()) return;
  }
  for (auto& [dialog, w] : windows) {
    if (w.top != ownerTop) continue;
    w.activate = true;
    w.dirty = true;
    ScheduleFlush();
    return;
  }
}

void WxBackend::WindowDestroyed(CDialog& dialog) {
  auto it = impl_->windows.find(&dialog);
  if (it == impl_->windows.end()) return;
  wxTopLevelWindow* top = it->second.top;
  const bool wasActive = top->IsActive();
  impl_->windows.erase(it);
  if (wasActive) {
    if (Impl::Window* owner = impl_->Find(dialog.GetOwner())) impl_->ActivateOwner(owner->top, true);
  }
  top->Hide();
  // Deferred: this may run inside one of the window's own handlers.
  top->Destroy();
}

void WxBackend::PresentNow(CDialog& dialog) {
  Impl::Window* w = impl_->Find(&dialog);
  if (!w || dialog.IsModal()) return;
  w->presented = true;
  impl_->Present(*w);
}

void WxBackend::Impl::Deliver(std::function<void()> input) {
  if (quiet) {
    PostToUi(std::move(input));
  } else {
    input();
  }
}

void WxBackend::WindowChanged(CDialog& dialog) {
  Impl::Window* w = impl_->Find(&dialog);
  if (!w) return;
  // Applied once the current call is done: a show and a restore in a row
  // make one change on the screen.
  w->dirty = true;
  impl_->ScheduleFlush();
  impl_->PresentChange(*w);
}

}  // namespace tallow::ui
