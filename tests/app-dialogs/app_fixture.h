// The headless window layer with the message tables filled as start-up
// fills them.
#pragma once

#include <gtest/gtest.h>

#include "core/texts.h"
#include "platform/ui/headless/headless_backend.h"
#include "res/resource_ids.h"

namespace tallow::app::testing {

class AppDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LoadMessageTable(MessageTable());
    LoadMessageTable(ProgressTextTable());
    LoadMessageTable(LabelTable());
  }
  ui::HeadlessBackend ui;
};

}  // namespace tallow::app::testing
