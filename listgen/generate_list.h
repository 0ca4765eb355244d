#pragma once

#include "listgen/common/run_values.h"
#include "listgen/outcome.h"
#include "listgen/walk/exclude_filter.h"

#include <atomic>
#include <string>
#include <string_view>
#include <vector>

namespace listgen {

// What one run is asked to do: the window's four fields, and the command line's options.
struct ListRequest {
    std::string inputDir;
    std::string outputFile;
    std::string title;
    std::string stylesheet;
    // Files read at once; 0 lets the readers find the number (see HashingPlan).
    unsigned jobs = 0;
    // fnmatch(3) patterns of entries to leave out; see ExcludeFilter.
    std::vector<ExcludePattern> excludes;
    // Folders on other file systems than the input folder's are not entered.
    bool oneFileSystem = false;
    // Where to write an md5sum manifest of the same files as well; empty for none.
    std::string checksumsFile;
    // Where to write a sha256sum manifest of them too, from the same reads; empty for none.
    std::string sha256File;
};

// What both front ends say when a mandatory field is empty.
inline constexpr std::string_view kEmptyFieldsMessage = "全部入力してください";

// The input folder and the output file must be given; a text of blanks counts as given.
bool hasMandatoryFields(const ListRequest& request) noexcept;

// Writes the report of every file below `request.inputDir` to `request.outputFile`.
Outcome GenerateList(const ListRequest& request, const ProgressCallback& onProgress, const std::atomic<bool>& cancel);

} // namespace listgen
