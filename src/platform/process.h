#pragma once

#include <optional>
#include <string>

#include "platform/code_page.h"

namespace qs {

// The running executable's path as the system names it (native bytes); empty when unknown.
std::string ExecutablePath();

// The folder of the running executable, without a trailing "/"; empty when unknown.
Text ExecutableFolder();

// An environment variable as an internal text; nullopt when unset or not convertible.
std::optional<Text> EnvironmentValue(const char* name);

}  // namespace qs
