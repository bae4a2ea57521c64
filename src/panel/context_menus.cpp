#include "panel/context_menus.h"

#include "panel/form1.h"

namespace vp::panel {

void ContextMenus::Connect() { (void)form_; }

}  // namespace vp::panel
