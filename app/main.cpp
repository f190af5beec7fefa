// The program's entry. The real windows come first: a message box asked for
// before a back end is attached is answered 0 without being seen, and every
// start-up failure is reported in one. Then the program's resources, then
// the application, whose shut-down gives the exit code. The command line is
// not read.
#include <cstdio>

#include "app/tessoly_app.h"
#include "platform/ui/wx/wx_backend.h"
#include "res/resources.h"

int main() {
  tallow::ui::WxBackend windows;
  if (!windows.Ok()) {
    std::fputs("tallowmere: cannot open a display to show its windows on (is DISPLAY set?)\n",
               stderr);
    return 1;
  }
  tallow::res::RegisterProgramResources();
  tallow::app::CTessolyApp app;
  app.InitInstance();
  return app.ExitInstance();
}
