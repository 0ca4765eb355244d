#include "listgen/walk/walk_order.h"

#include "listgen/walk/name_order.h"

namespace listgen {

bool walkOrderLess(std::string_view a, std::string_view b) noexcept
{
    for (;;) {
        const std::size_t slashA = a.find('/');
        const std::size_t slashB = b.find('/');
        const std::string_view nameA = a.substr(0, slashA);
        const std::string_view nameB = b.substr(0, slashB);
        const bool folderA = slashA != std::string_view::npos;
        const bool folderB = slashB != std::string_view::npos;
        if (nameA != nameB || folderA != folderB) {
            if (folderA != folderB)
                return folderA;
            return nameLess(nameA, nameB);
        }
        if (!folderA)
            return false;
        a.remove_prefix(slashA + 1);
        b.remove_prefix(slashB + 1);
    }
}

} // namespace listgen
