#include "panel/operator_commands.h"

#include "panel/form1.h"

namespace vp::panel {

void OperatorCommands::Connect() { (void)form_; }

}  // namespace vp::panel
