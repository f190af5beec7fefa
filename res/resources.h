// Everything of res/ that the layers below look up at run time.
#pragma once

namespace tallow::res {

// Registers the dialog templates, menus and icons with the window layer and
// the version block with the version information. The program's start-up
// calls it before it opens a window; the tests call it from their main.
void RegisterProgramResources();

}  // namespace tallow::res
