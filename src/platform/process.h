#pragma once

#include <optional>

#include "platform/code_page.h"

namespace qs {

// Starts the program named by arguments[0] (searched on PATH when it has no "/") with the
// given arguments; no shell is involved. With wait, returns when it has ended. False when
// it could not be started.
bool SpawnProcess(const TextList& arguments, bool wait);

// The folder of the running executable, without a trailing "/"; empty when unknown.
Text ExecutableFolder();

// An environment variable as an internal text; nullopt when unset or not convertible.
std::optional<Text> EnvironmentValue(const char* name);

}  // namespace qs
