#include "panel/set_points.h"

#include "panel/form1.h"

namespace vp::panel {

void SetPoints::Connect() { (void)form_; }

}  // namespace vp::panel
