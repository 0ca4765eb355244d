#pragma once

#include "listgen/common/run_values.h"

#include <string>
#include <string_view>

namespace listgen {

// The manifest that md5sum -c checks: "<digest>  <path>" per file. A path holding a backslash,
// a line feed or a carriage return is written as md5sum writes it: the line starts with "\"
// and those characters become "\\", "\n" and "\r".
void appendManifestLine(std::string& out, std::string_view relName, const Md5Hex& md5);

// Reads one line without its line end, as md5sum -c does, also in binary form ("<digest> *<path>").
bool readManifestLine(std::string_view line, std::string& relName, Md5Hex& md5);

} // namespace listgen
