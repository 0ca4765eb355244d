#include "listgen/read/job_count.h"

#include <sched.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <fstream>

namespace listgen {

bool isOnRotationalDisk(const std::string& folder)
{
    struct stat status {};
    if (::stat(folder.c_str(), &status) != 0)
        return false;
    const std::string device =
        "/sys/dev/block/" + std::to_string(major(status.st_dev)) + ":" + std::to_string(minor(status.st_dev));
    // A partition keeps its queue settings in the whole disk's folder, one level up.
    for (const char* queue : {"/queue/rotational", "/../queue/rotational"}) {
        std::ifstream flag(device + queue);
        char value = 0;
        if (flag >> value)
            return value == '1';
    }
    return false;
}

unsigned availableCores()
{
    cpu_set_t cores;
    CPU_ZERO(&cores);
    if (::sched_getaffinity(0, sizeof cores, &cores) != 0)
        return 1;
    const int count = CPU_COUNT(&cores);
    return count > 0 ? static_cast<unsigned>(count) : 1;
}

unsigned jobsFor(unsigned requested, const std::string& folder)
{
    if (requested > 0)
        return requested;
    return isOnRotationalDisk(folder) ? 1 : availableCores();
}

} // namespace listgen
