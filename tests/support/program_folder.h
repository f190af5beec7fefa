// A scratch folder that stands as the running program's folder while the
// object lives: the program file "tallowmere.bin" is taken to lie there, so
// the working and settings folders, the language sources and the libraries
// looked for beside the program are found there, never beside the build's
// programs.
#pragma once

#include <unistd.h>

#include <initializer_list>
#include <stdexcept>
#include <string>

#include "platform/path.h"
#include "support/temp_dir.h"

namespace tallow::test {

class ScratchProgramFolder : public TempDir {
 public:
  // |borrowed| files of the real program folder (the libraries a test
  // loads, say) are linked into the scratch folder.
  explicit ScratchProgramFolder(std::initializer_list<const char*> borrowed = {}) {
    const std::string real = ToAnsi(ProgramFolder());
    for (const char* name : borrowed) {
      if (::symlink((real + "/" + name).c_str(), File(name).c_str()) != 0) {
        throw std::runtime_error("cannot link " + real + "/" + name);
      }
    }
    SetProgramFilePathForTests(Wide("tallowmere.bin"));
  }
  ~ScratchProgramFolder() { SetProgramFilePathForTests({}); }
};

}  // namespace tallow::test
