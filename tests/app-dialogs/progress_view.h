// What the save progress dialog shows at one moment, and the states a save
// shows, for the tests that drive it.
#pragma once

#include <gtest/gtest.h>

#include "app/dialogs/progress_dlg.h"
#include "res/resource_ids.h"

namespace tallow::app::testing {

using namespace tallow::res;

struct Snapshot {
  WString status;
  int pos = -1;
  bool okEnabled = false;
  bool cancelEnabled = false;
  bool okDefault = false;
  bool cancelDefault = false;
};

inline Snapshot Take(ui::CDialog& d) {
  Snapshot s;
  s.status = d.GetDlgItemText(IDC_PROGRESS_STATUS);
  s.pos = d.GetDlgItem(IDC_PROGRESS_BAR)->GetPos();
  s.okEnabled = d.GetDlgItem(IDC_PROGRESS_OK)->IsEnabled();
  s.cancelEnabled = d.GetDlgItem(IDC_PROGRESS_CANCEL)->IsEnabled();
  s.okDefault = d.GetDlgItem(IDC_PROGRESS_OK)->IsDefaultButton();
  s.cancelDefault = d.GetDlgItem(IDC_PROGRESS_CANCEL)->IsDefaultButton();
  return s;
}

inline void ExpectSaving(const Snapshot& s, int pos, bool cancelEnabled = true) {
  EXPECT_EQ(s.status, u"Now Saving Document(s)");
  EXPECT_EQ(s.pos, pos);
  EXPECT_FALSE(s.okEnabled);
  EXPECT_EQ(s.cancelEnabled, cancelEnabled);
}

inline void ExpectCompleted(const Snapshot& s) {
  EXPECT_EQ(s.status, u"Saved successfully");
  EXPECT_EQ(s.pos, 100);
  EXPECT_TRUE(s.okEnabled);
  EXPECT_TRUE(s.okDefault);
  EXPECT_FALSE(s.cancelEnabled);
  EXPECT_FALSE(s.cancelDefault);
}

}  // namespace tallow::app::testing
