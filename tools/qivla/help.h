// The help texts: the program's, and each command's (qivla COMMAND --help).
#pragma once

#include <string>

namespace qivla {

extern const char* const usage_text;
// The help of one command; empty for an unknown one.
std::string command_help(const std::string& command);

}  // namespace qivla
