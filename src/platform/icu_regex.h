#pragma once

#include "platform/regex_engine.h"

namespace qs {

// ICU regular expressions. The internal text is converted to UTF-16 for the engine and the
// match offsets back to bytes of the internal text.
class IcuRegexEngine : public RegexEngine {
public:
    std::unique_ptr<CompiledRegex> Compile(const Text& pattern, RegexFlags flags) override;
};

}  // namespace qs
