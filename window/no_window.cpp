#include "window/open_window.h"

#include <iostream>

namespace vaskerel {

int openWindow(int&, char**, const std::string&)
{
    std::cerr << "vaskerel: this build has no window (it was built without Qt); "
                 "see vaskerel --help for the command line\n";
    return 2;
}

} // namespace vaskerel
