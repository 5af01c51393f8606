// An encoded merge reads its members again slice by slice once the output's encoding is
// known. Random members in every encoding, with tiny slices, must give exactly the bytes and
// the verdicts of decoding every member whole, joining and encoding the text at once.
#include <gtest/gtest.h>

#include <random>

#include "encoding/charset_converter.h"
#include "merge/encoded_merge.h"
#include "merge_fixture.h"
#include "platform/services.h"

namespace qs::testing {
namespace {

class EncodedMergeTest : public MergeTest {
protected:
    JobEvents m_events;
};

Bytes RandomMember(std::mt19937& gen) {
    static const char* const kAlphabet[] = {"a",      "\n",         "\r\n", "中",   "文", "◆",
                                            "\uFEFF", "\U00020000", "<",    "\x1A", "丟", "𠀀"};
    Text text;
    for (int k = std::uniform_int_distribution<int>(0, 12)(gen); k > 0; --k) {
        Text internal;
        Utf8ToInternal(kAlphabet[gen() % std::size(kAlphabet)], internal);
        text += internal;
    }
    static const char* const kHeads[] = {"",
                                         "",
                                         "<meta charset=Big5>",
                                         "<meta charset=utf-8>",
                                         "\xEF\xBB\xBF",
                                         "\xFF\xFE",
                                         "\xC0\x80",
                                         "\xEF\xBB"};
    const TextEncoding encodings[] = {TextEncoding::Gb18030, TextEncoding::Utf8,
                                      TextEncoding::Utf16Le, TextEncoding::Utf16Be,
                                      TextEncoding::Big5};
    const TextEncoding encoding = encodings[gen() % std::size(encodings)];
    Bytes bytes = kHeads[gen() % std::size(kHeads)] +
                  EncodeText(text, {encoding, encoding != TextEncoding::Utf8 || gen() % 2 == 0})
                      .value_or(text);
    if (!bytes.empty() && gen() % 6 == 0) {
        bytes[gen() % bytes.size()] = static_cast<char>(gen());
    }
    return bytes;
}

struct Expected {
    std::optional<Bytes> out;  // none: not convertible as asked
    bool notConverted = false;
    bool keep = false;
};

// The rules on the whole text.
Expected WholeMerge(const std::vector<Bytes>& members, const Bytes& separator,
                    const OutputRequest& request) {
    Text text;
    TextEncoding last = TextEncoding::Undetected;
    bool anyMark = false;
    for (std::size_t k = 0; k < members.size(); ++k) {
        const DecodedText decoded = DecodeBytes(members[k]);
        const bool markOnly = decoded.text.empty() && decoded.format.mark;
        if (!markOnly && decoded.exact) {
            text += decoded.text;
            last = decoded.format.encoding;
            anyMark = anyMark || decoded.format.mark;
        }
        text += k + 1 < members.size() ? separator : Bytes();
    }
    if (!request.Empty()) {
        return {EncodeOutputText(text, {last, anyMark}, request)};
    }
    auto readsBack = [&](const std::optional<Bytes>& out) {
        return out && DecodeBytes(*out).exact && DecodeBytes(*out).text == text;
    };
    Expected expected{last > TextEncoding::Gb18030 ? EncodeText(text, {last, anyMark}) : text};
    if (!readsBack(expected.out)) {
        expected.notConverted = true;
        expected.out = EncodeText(text, {TextEncoding::Utf8, true});
        expected.keep = !readsBack(expected.out);
        expected.out = expected.keep ? text : expected.out;
        if (expected.keep && !readsBack(text)) {
            return {std::nullopt, false, true};
        }
    }
    return expected;
}

TEST_F(EncodedMergeTest, SlicedOutputIsThatOfTheWholeText) {
    for (unsigned seed = 1; seed <= 600; ++seed) {
        std::mt19937 gen(seed);
        std::vector<Bytes> members(1 + gen() % 4);
        EncodedMerge merge(1 + gen() % 9);
        const Bytes separators[] = {"", "\r\n", "\xEF\xBB\xBF", "\x81", "<meta charset=Big5>"};
        const Bytes separator = separators[gen() % std::size(separators)];
        OutputRequest request;
        if (gen() % 5 == 0) {
            static const char* const kAsked[] = {"big5", "utf-16be", "utf-8"};
            request.encoding = ParseOutputEncoding(kAsked[gen() % std::size(kAsked)]);
        }
        TextEncoding last = TextEncoding::Undetected;
        bool anyMark = false;
        for (std::size_t k = 0; k < members.size(); ++k) {
            members[k] = RandomMember(gen);
            const Text path = Put("m" + std::to_string(k), members[k]);
            const EncodedMerge::Examined examined = merge.AddDecoded(path, Fs().OpenRead(path));
            if (examined.outcome == EncodedMerge::Member::Added) {
                last = examined.format.encoding;
                anyMark = anyMark || examined.format.mark;
            }
            merge.AddBytes(k + 1 < members.size() ? separator : Bytes());
        }
        const Text target = m_temp.File("out.txt");
        std::unique_ptr<JobOutput> writer = std::move(*CreateOutput(target, m_events));
        const auto finished = merge.Write(writer, target, true, {last, anyMark}, request, m_events);
        const Expected expected = WholeMerge(members, separator, request);
        ASSERT_EQ(finished.outcome == EncodedMerge::Outcome::Written, expected.out.has_value())
            << "seed " << seed;
        ASSERT_EQ(finished.outputNotConverted, expected.notConverted) << "seed " << seed;
        ASSERT_EQ(finished.keepSources, expected.keep) << "seed " << seed;
        if (expected.out) {
            ASSERT_TRUE(writer->Commit());
            ASSERT_EQ(Read("out.txt"), *expected.out) << "seed " << seed;
        }
    }
}

// A UTF-8 member is copied as it was examined, without being read again: one that has lost
// or gained bytes since fails the output as unreadable instead of giving a cut one.
TEST_F(EncodedMergeTest, Utf8MemberChangedAfterExaminationFailsTheOutput) {
    // Shorter, longer, and as long but no UTF-8 any more.
    for (const char* edited :
         {"\xEF\xBB\xBF\xE4\xB8\xAD", "\xEF\xBB\xBF\xE4\xB8\xAD\xE6\x96\x87\n\xE6\x96\x87",
          "\xEF\xBB\xBF\x82\x80\xAD\xE6\x96\x87\n"}) {
        EncodedMerge merge;
        const Text first = Put("a.txt", "\xE4\xB8\xAD\xE6\x96\x87\n");  // 中文
        const Text second = Put("b.txt", "\xEF\xBB\xBF\xE4\xB8\xAD\xE6\x96\x87\n");
        ASSERT_EQ(merge.AddDecoded(first, Fs().OpenRead(first)).outcome,
                  EncodedMerge::Member::Added);
        ASSERT_EQ(merge.AddDecoded(second, Fs().OpenRead(second)).outcome,
                  EncodedMerge::Member::Added);
        Put("b.txt", edited);
        const Text target = m_temp.File("out.txt");
        std::unique_ptr<JobOutput> writer = std::move(*CreateOutput(target, m_events));
        const auto finished = merge.Write(writer, target, true, {TextEncoding::Utf8, true},
                                          OutputRequest(), m_events);
        EXPECT_EQ(finished.outcome, EncodedMerge::Outcome::ReadFailed) << edited;
        EXPECT_EQ(finished.unreadable, second);
    }
}

// A text that the charset asked for cannot hold names the first character it has no form for.
TEST_F(EncodedMergeTest, TextNotConvertedNamesTheCharacter) {
    EncodedMerge merge;
    const Text path = Put("a.txt", "\xE4\xB8\xAD\xE8\xBF\x99\n");  // 中这
    ASSERT_EQ(merge.AddDecoded(path, Fs().OpenRead(path)).outcome, EncodedMerge::Member::Added);
    const Text target = m_temp.File("out.txt");
    std::unique_ptr<JobOutput> writer = std::move(*CreateOutput(target, m_events));
    OutputRequest big5;
    big5.encoding = TextFormat{TextEncoding::Big5, false};
    const auto finished =
        merge.Write(writer, target, true, {TextEncoding::Utf8, false}, big5, m_events);
    EXPECT_EQ(finished.outcome, EncodedMerge::Outcome::NotConvertible);
    EXPECT_EQ(finished.unconvertible, "\xD5\xE2");  // 这
}

}  // namespace
}  // namespace qs::testing
