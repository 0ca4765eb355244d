#include "app/window_start.h"

#include "cli/localized.h"
#include "cli/run_command_line.h"

namespace vaskerel {

int startWindow(int&, char**, const std::string&)
{
    return refuseWindow(tr("cannot open the window: this build has none (it was built without Qt)"));
}

} // namespace vaskerel
