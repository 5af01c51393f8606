#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qs::bench {

// The files the cases work on, made once per benchmark run in a temporary folder.
struct BenchData {
    std::string folder;
    std::string utf8;                       // UTF-8 without mark
    std::string utf8Mark;                   // UTF-8 with EF BB BF
    std::string gbk;                        // GBK only, no four-byte characters
    std::string utf16;                      // UTF-16LE with FF FE
    std::string big5;                       // only characters Big5 can represent
    std::string utf8Small;                  // a tenth of the size, for the growth case
    std::string mergeFolder;                // the merge members m000.txt .. m099.txt (UTF-8)
    std::vector<std::string> mergeMembers;  // file names inside mergeFolder
    std::string gbkMergeFolder;             // the same names, GBK without four-byte characters
    std::string huge;                       // a sparse file of zeros
    // Unusual shapes of as many bytes as the UTF-8 text: that text without a line break,
    // one-character lines, nothing but line breaks.
    std::string oneLine;
    std::string tinyLines;
    std::string onlyBreaks;
    // A line "第N章" and nothing else on every line.
    std::string headingLines;
    // The UTF-8 text as a novel: a tag on its first line, a chapter heading at the start of a
    // line every ~100 KB.
    std::string novel;

    std::int64_t utf8Bytes = 0;
    std::int64_t utf8SmallBytes = 0;
    std::int64_t gbkBytes = 0;
    std::int64_t utf16Bytes = 0;
    std::int64_t hugeBytes = 0;
    std::int64_t mergeBytes = 0;
    // Characters of the decoded UTF-8 text as the program counts them (CR LF is one).
    std::int64_t utf8Chars = 0;
};

// The separator placed at the start of a line every ~10 KB, as UTF-8.
const char* SeparatorUtf8();
// The same in GBK.
std::string SeparatorGbk();
// What every heading of the novel begins with, and the word that ends its number.
const char* HeadingStart();
const char* HeadingEnd();

// Generates every file; sizeMb is the size of the UTF-8 text. Deterministic for a size.
// Returns false (with a message on stderr) when a file cannot be written.
bool MakeBenchData(const std::string& folder, int sizeMb, BenchData& data);

// One large file (or the 100 merge members) of about sizeMb MB, for the cases that show
// that memory stays flat and time linear; the GBK text holds the same characters as a
// UTF-8 text of 1.5 times its size.
enum class LargeSet { Utf8, Gbk, Members };
bool MakeLargeData(const std::string& folder, int sizeMb, LargeSet set, BenchData& data);

}  // namespace qs::bench
