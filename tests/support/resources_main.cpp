// The main of every test that opens the program's windows or reads its
// version block: the resources are registered first, as start-up does.
#include <gtest/gtest.h>

#include "res/resources.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  tallow::res::RegisterProgramResources();
  return RUN_ALL_TESTS();
}
