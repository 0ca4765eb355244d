#include "temp_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace testing_support {

namespace {

std::string sortedLines(std::vector<std::string> lines)
{
    std::sort(lines.begin(), lines.end());
    std::string joined;
    for (const auto& line : lines)
        joined += line + "\n";
    return joined;
}

void makeRemovable(const fs::path& root)
{
    std::error_code error;
    fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, error);
    for (auto it = fs::recursive_directory_iterator(root, fs::directory_options::skip_permission_denied, error);
         it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_directory(error) && !it->is_symlink(error))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
    }
}

} // namespace

TempFolder::TempFolder()
{
    std::string pattern = (fs::temp_directory_path() / "vaskerel-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::system_error(errno, std::generic_category(), "mkdtemp");
    path_ = pattern;
}

TempFolder::~TempFolder()
{
    std::error_code error;
    makeRemovable(path_);
    fs::remove_all(path_, error);
}

void TempFolder::openToEveryone() const
{
    ::chmod(path_.c_str(), 0777);
}

void writeFile(const std::string& path, std::string_view content)
{
    std::error_code ignored;
    fs::create_directories(fs::path(path).parent_path(), ignored);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out)
        throw std::runtime_error("cannot write test file " + path);
}

std::string patternedBytes(std::size_t size, unsigned seed)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + seed) ^ (i >> 11));
    return bytes;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read test file " + path);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void makeSparseFile(const std::string& path, long long size)
{
    std::error_code error;
    std::ofstream(path, std::ios::binary | std::ios::trunc).close();
    fs::resize_file(path, static_cast<std::uintmax_t>(size), error);
    if (error)
        throw std::runtime_error("cannot make sparse test file " + path + ": " + error.message());
}

void makeDeepTree(const std::string& root, const std::string& level, int depth, const std::string& name)
{
    int folder = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int i = 0; i < depth && folder >= 0; ++i) {
        ::mkdirat(folder, level.c_str(), 0755);
        const int next = ::openat(folder, level.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(folder);
        folder = next;
    }
    const int file = folder < 0 ? -1 : ::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (file < 0 || ::write(file, "deep", 4) != 4)
        throw std::runtime_error("cannot make the deep test tree below " + root);
    ::close(file);
    ::close(folder);
}

std::string namesIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return sortedLines(std::move(names));
}

std::string treeSnapshot(const std::string& root)
{
    std::vector<std::string> lines;
    for (auto it = fs::recursive_directory_iterator(root, fs::directory_options::skip_permission_denied);
         it != fs::recursive_directory_iterator(); ++it) {
        struct stat status {};
        ::lstat(it->path().c_str(), &status);
        lines.push_back(it->path().string() + " mode " + std::to_string(status.st_mode) + " size " +
                        std::to_string(status.st_size) + " mtime " + std::to_string(status.st_mtim.tv_sec) + "." +
                        std::to_string(status.st_mtim.tv_nsec));
    }
    return sortedLines(std::move(lines));
}

} // namespace testing_support
