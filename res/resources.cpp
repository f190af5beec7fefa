#include "res/resources.h"

#include "platform/version_info.h"
#include "res/dialog_templates.h"
#include "res/icons.h"
#include "res/menus.h"
#include "res/version_block.h"

namespace tallow::res {

void RegisterProgramResources() {
  static const ui::ResourceTables kTables{DialogTemplates(), MenuTemplates(), IconImages()};
  ui::RegisterResources(&kTables);
  RegisterProgramVersionBlock(ProgramVersionBlock());
}

}  // namespace tallow::res
