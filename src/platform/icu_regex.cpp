#include "platform/icu_regex.h"

namespace qs {

// Placeholder until the ICU engine lands: nothing compiles.
std::unique_ptr<CompiledRegex> IcuRegexEngine::Compile(const Text&, RegexFlags) {
    return nullptr;
}

}  // namespace qs
