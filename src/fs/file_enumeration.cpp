#include "fs/file_enumeration.h"

#include <algorithm>
#include <vector>

#include "fs/natural_order.h"
#include "pattern/regex_facade.h"
#include "pattern/wildcard.h"
#include "platform/services.h"
#include "platform/system_error.h"
#include "text/characters.h"

namespace qs {
namespace {

// The entries of the wanted kind in listing order; empty when the folder cannot be listed.
std::vector<Text> ListNames(const Text& folder, bool foldersOnly, FolderListing& listing) {
    std::vector<Text> names;
    auto entries = Fs().List(folder);
    listing = {entries.has_value(), entries ? 0 : LastSystemError()};
    if (!entries) {
        return names;
    }
    for (DirEntry& entry : *entries) {
        // A link to a folder is not entered (a walk stays inside the folder it was given);
        // a link to a file is a file.
        const bool linkedFolder = entry.isFolder && entry.isLink;
        if (entry.isFolder == foldersOnly && !linkedFolder && entry.name != "." &&
            entry.name != "..") {
            names.push_back(std::move(entry.name));
        }
    }
    std::sort(names.begin(), names.end(),
              [](const Text& a, const Text& b) { return NaturalLess(a, b); });
    return names;
}

// The folder with exactly one trailing separator.
Text FolderPrefix(const Text& folder) {
    std::size_t end = folder.size();
    while (end > 0 && folder[end - 1] == '/') {
        --end;
    }
    Text prefix = folder.substr(0, end);
    prefix += '/';
    return prefix;
}

char FoldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameCharNoCase(std::string_view x, std::string_view y) {
    if (x.size() != y.size()) {
        return false;
    }
    if (x.size() > 1) {
        return x == y;  // double-byte characters are compared as they are
    }
    return FoldAscii(x[0]) == FoldAscii(y[0]);
}

}  // namespace

bool WildcardMatchesName(const Text& piece, const Text& name) {
    if (piece == "*.*") {
        return true;
    }
    // Greedy match with one back-tracking point (the last "*"), one character at a time.
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t starP = Text::npos;
    std::size_t starN = 0;
    while (n < name.size()) {
        if (p < piece.size() && piece[p] == '*') {
            starP = ++p;
            starN = n;
            continue;
        }
        const std::size_t nl = CharLength(name, n);
        if (p < piece.size()) {
            const std::size_t pl = CharLength(piece, p);
            if (piece[p] == '?' || SameCharNoCase(std::string_view(piece).substr(p, pl),
                                                  std::string_view(name).substr(n, nl))) {
                p += pl;
                n += nl;
                continue;
            }
        }
        if (starP == Text::npos) {
            return false;
        }
        p = starP;
        starN += CharLength(name, starN);
        n = starN;
    }
    while (p < piece.size() && piece[p] == '*') {
        ++p;
    }
    return p == piece.size();
}

int EnumerateByFind(const Text& folder, const Text& pattern, TextList& result, bool append,
                    bool foldersOnly) {
    FolderListing listed;
    return TryEnumerateByFind(folder, pattern, result, append, foldersOnly, listed);
}

int TryEnumerateByFind(const Text& folder, const Text& pattern, TextList& result, bool append,
                       bool foldersOnly, FolderListing& listed,
                       const std::function<void()>& perEntry) {
    const Text prefix = FolderPrefix(folder);
    const TextList pieces = SplitText(pattern.empty() ? Text("*.*") : pattern, "|");
    if (!append) {
        result.clear();
    }
    const std::vector<Text> names = ListNames(prefix, foldersOnly, listed);
    for (const Text& piece : pieces) {
        for (const Text& name : names) {
            if (!piece.empty() && WildcardMatchesName(piece, name)) {
                result.push_back(prefix + name);
            }
            if (perEntry) {
                perEntry();
            }
        }
    }
    return static_cast<int>(result.size());
}

int EnumerateByObject(const Text& folder, const Text& pattern, TextList& result, bool append,
                      bool foldersOnly) {
    FolderListing listed;
    return TryEnumerateByObject(folder, pattern, result, append, foldersOnly, listed);
}

int TryEnumerateByObject(const Text& folder, const Text& pattern, TextList& result, bool append,
                         bool foldersOnly, FolderListing& listed,
                         const std::function<void()>& perEntry) {
    if (!append) {
        result.clear();
    }
    const Text prefix = FolderPrefix(folder);
    const Text wildcard = pattern.empty() ? Text("*") : pattern;

    enum class Filter { All, Suffix, Expression } filter;
    Text suffix;
    RegexObject expression;
    bool compiled = false;
    if (wildcard == "*" || wildcard == "*.*") {
        filter = Filter::All;
    } else if (wildcard.compare(0, 2, "*.") == 0 && wildcard.find('*', 1) == Text::npos) {
        filter = Filter::Suffix;
        suffix = AsciiLower(std::string_view(wildcard).substr(1));
    } else {
        filter = Filter::Expression;
        compiled = expression.Compile(WildcardToRegex(wildcard));
    }

    for (const Text& name : ListNames(prefix, foldersOnly, listed)) {
        bool accepted = false;
        switch (filter) {
            case Filter::All:
                accepted = true;
                break;
            case Filter::Suffix: {
                const std::size_t n = std::min(name.size(), suffix.size());
                accepted = AsciiLower(std::string_view(name).substr(name.size() - n)) == suffix;
                break;
            }
            case Filter::Expression:
                accepted = compiled && expression.Execute(name) > 0;
                break;
        }
        if (accepted) {
            result.push_back(prefix + name);
        }
        if (perEntry) {
            perEntry();
        }
    }
    return static_cast<int>(result.size());
}

}  // namespace qs
