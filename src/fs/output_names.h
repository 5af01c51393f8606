#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/file_system.h"
#include "text/text.h"

namespace qs {

// The longest name a folder entry may have, in bytes of its file-system form.
inline constexpr std::size_t kMaxFileNameBytes = 255;

// stem + suffix + dotExtension as a folder entry can hold it: the stem cut at a character
// boundary so that the name's file-system form (UTF-8, not the internal bytes) has at most
// kMaxFileNameBytes and stem + suffix at most maxChars characters. "" when nothing would
// stand before the extension, when the suffix and the extension alone do not fit, when a
// stem would lose every character, or when the name has no file-system form.
Text FitFileName(const Text& stem, const Text& suffix, const Text& dotExtension,
                 std::size_t maxChars = SIZE_MAX);

// What tells the k-th name of an output from the first: " (k)".
Text VariantSuffix(int k);

// The last k an output's name is tried with before its naming fails: every output that
// names itself without replacing tries as far.
inline constexpr int kMaxNameVariants = 100000;

// Gives a finished output a name without replacing what it must not: path itself unless
// reserved(path) (an older file there is replaced only when mayReplace() says so), then the
// variants variant(k) for k from next() to lastVariant that are not reserved, the first
// that is free; variant(k) is "" when no further name fits. next() (asked only when a
// variant is needed) is left where a later search for the same name goes on. path becomes
// the name given, or the one whose naming failed; Taken leaves it and the writer as they were.
template <typename Reserved, typename MayReplace, typename Variant, typename Next>
AtomicWriter::NameResult NameWithoutReplacing(AtomicWriter& out, Text& path, Reserved reserved,
                                              MayReplace mayReplace, Variant variant, Next next,
                                              int lastVariant) {
    using Result = AtomicWriter::NameResult;
    if (!reserved(path)) {
        const Result result = CommitOrReplace(out, path, mayReplace);
        if (result != Result::Taken) {
            return result;
        }
    }
    for (int& k = next(); k <= lastVariant; ++k) {
        const Text candidate = variant(k);
        if (candidate.empty()) {
            break;
        }
        if (reserved(candidate)) {
            continue;
        }
        const Result result = out.CommitNew(candidate);
        if (result != Result::Taken) {
            path = candidate;
            ++k;
            return result;
        }
    }
    return Result::Taken;
}

}  // namespace qs
