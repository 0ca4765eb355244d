#include "cli/localized.h"

#include "listgen/common/display_text.h"

#include <langinfo.h>

#include <clocale>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace vaskerel {

void useUserLocale()
{
    std::setlocale(LC_ALL, "");
    std::error_code error;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return;
    const std::filesystem::path catalogues = executable.parent_path().parent_path() / "share" / "locale";
    ::bindtextdomain("vaskerel", catalogues.c_str());
}

std::string withValues(std::string_view format, std::initializer_list<std::string_view> values)
{
    std::string text;
    const std::string_view* value = values.begin();
    for (std::size_t at = 0; at < format.size(); ++at) {
        if (format.compare(at, 2, "%s") == 0 && value != values.end()) {
            text += *value++;
            ++at;
        } else {
            text += format[at];
        }
    }
    return text;
}

std::string shown(std::string_view text)
{
    const char* codeset = ::nl_langinfo(CODESET);
    return listgen::displayText(text, codeset == nullptr || std::strcmp(codeset, "UTF-8") != 0);
}

} // namespace vaskerel
