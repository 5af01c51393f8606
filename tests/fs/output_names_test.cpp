#include "fs/output_names.h"

#include <gtest/gtest.h>

#include "platform/native_names.h"
#include "text/characters.h"

namespace qs {
namespace {

Text Repeat(const Text& part, int n) {
    Text t;
    for (int i = 0; i < n; ++i) {
        t += part;
    }
    return t;
}

// What every output name is cut to: pieces (at most 100 characters before the extension),
// merge outputs, books and manifests (only the folder entry's 255 bytes of UTF-8). A row
// gives how many characters of the stem stay, -1 for no name.
TEST(FitFileNameTest, CutsTheStemToTheFolderEntry) {
    const Text escape("\x8F\x39\x81\x30", 4);  // a name byte that is not UTF-8: one byte on disk
    const struct {
        const char* name;
        Text stem;
        const char* suffix;
        Text dotExtension;
        int kept;       // any number of characters
        int keptAt100;  // at most 100 characters
    } rows[] = {
        {"short", "a", "", ".txt", 1, 1},
        {"short numbered", "a", "_12", ".txt", 1, 1},
        {"empty stem", "", "_3", ".txt", 0, 0},
        {"nothing before the extension", "", "", ".txt", -1, -1},
        {"ascii at the limit", Text(251, 'x'), "", ".txt", 251, 100},
        {"ascii one over", Text(252, 'x'), "", ".txt", 251, 100},
        {"ascii without extension", Text(300, 'x'), "_12", "", 252, 97},
        {"cjk at the limit", Repeat(U("中"), 83) + "ab", "", ".txt", 85, 85},
        // 240 bytes of GB18030 fit, 360 of UTF-8 do not
        {"cjk counted on disk", Repeat(U("中"), 120), "", ".txt", 83, 83},
        {"cjk numbered", Repeat(U("中"), 150), "_12", ".txt", 82, 82},
        {"cjk without extension", Repeat(U("中"), 150), "", "", 85, 85},
        {"mixed", Repeat(U("第一章abc"), 40), "", ".txt", 125, 100},
        {"four-byte characters", Repeat(U("😀"), 70), " (2)", ".txt", 61, 61},
        {"escaped bytes", Repeat(escape, 200), "", ".txt", 200, 100},
        {"long extension", "abc", "", "." + Text(250, 'e'), 3, 3},
        {"long extension numbered", "abc", "_12", "." + Text(250, 'e'), 1, 1},
        {"extension alone too long", "abc", "", "." + Text(255, 'e'), -1, -1},
        {"not one character fits", U("中中"), "", "." + Text(252, 'e'), -1, -1},
        {"no file-system form", "a\x81", "", ".txt", -1, -1},
    };
    for (const auto& row : rows) {
        for (const auto& [maxChars, kept] :
             {std::pair{SIZE_MAX, row.kept}, std::pair{std::size_t{100}, row.keptAt100}}) {
            const Text fitted = FitFileName(row.stem, row.suffix, row.dotExtension, maxChars);
            const Text expected =
                kept < 0 ? Text() : LeftChars(row.stem, kept) + row.suffix + row.dotExtension;
            EXPECT_EQ(fitted, expected) << row.name << " at " << maxChars;
            std::string native;
            EXPECT_TRUE(fitted.empty() ||
                        (InternalToNative(fitted, native) && native.size() <= kMaxFileNameBytes))
                << row.name;
        }
    }
}

}  // namespace
}  // namespace qs
