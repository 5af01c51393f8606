#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "text/text.h"

namespace qs {

// A path in the JSON report: its display text under key and, where the name's bytes are not
// UTF-8 (an old GBK name), the bytes themselves in hex under key + "Bytes", so that a script
// finds the very file and two files never get entries that look the same.
void PutPath(nlohmann::json& object, const std::string& key, const Text& path);

// A path as an entry of a list of paths: its text, or where that is not exactly the name, an
// object with "path" and "pathBytes".
nlohmann::json PathEntry(const Text& path);

}  // namespace qs
