#pragma once

#include <functional>

#include "text/text.h"

namespace qs {

// Whether a folder could be listed, and if not why, as the system said as the listing failed.
struct FolderListing {
    bool listed = false;
    int systemError = 0;
};

// The files (or, with foldersOnly, the sub-folders) of one folder whose names match a
// wildcard pattern, as folder + "/" + name in natural name order. The result list is
// emptied first unless append is set; the return value is its length afterwards. The Try
// forms also tell whether the folder could be listed at all, and call perEntry after each
// entry of the listing (accepted or not), so that a job's caller stays live.
//
// EnumerateByFind matches whole names: "*" any run, "?" exactly one character, ASCII
// letters without regard to case, "*.*" every name; "|" separates patterns that are
// listed one after the other; an empty pattern means "*.*".
int EnumerateByFind(const Text& folder, const Text& pattern, TextList& result, bool append = false,
                    bool foldersOnly = false);
int TryEnumerateByFind(const Text& folder, const Text& pattern, TextList& result, bool append,
                       bool foldersOnly, FolderListing& listed,
                       const std::function<void()>& perEntry = {});

// EnumerateByObject: an empty pattern, "*" and "*.*" accept every name; "*.ext" (no other
// "*") compares the end of the name without regard to ASCII case; any other pattern is
// turned into an unanchored expression searched in the name ("|" is alternation).
int EnumerateByObject(const Text& folder, const Text& pattern, TextList& result,
                      bool append = false, bool foldersOnly = false);
int TryEnumerateByObject(const Text& folder, const Text& pattern, TextList& result, bool append,
                         bool foldersOnly, FolderListing& listed,
                         const std::function<void()>& perEntry = {});

// Whole-name wildcard match used by EnumerateByFind.
bool WildcardMatchesName(const Text& piece, const Text& name);

}  // namespace qs
