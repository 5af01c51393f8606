#include "pattern/regex_facade.h"

#include <gtest/gtest.h>

#include <random>

#include "text/text.h"

namespace qs {
namespace {

TEST(RegexObjectTest, ExecuteAndMatchValues) {
    RegexObject re;
    ASSERT_TRUE(re.Compile("b+"));
    EXPECT_EQ(re.GetPattern(), "b+");
    EXPECT_EQ(re.Execute("abbcBd"), 2);
    EXPECT_EQ(re.MatchValue(1), "bb");
    EXPECT_EQ(re.MatchValue(2), "B");  // ignore case is on by default
    EXPECT_EQ(re.MatchValue(3), "");
    EXPECT_EQ(re.MatchValue(0), "");
    EXPECT_EQ(re.Execute(""), 0);
}

TEST(RegexObjectTest, EmptySubjectMatchesOnlyAnEmptyPattern) {
    RegexObject re;
    ASSERT_TRUE(re.Compile("x*"));
    EXPECT_EQ(re.Execute(""), 1);
    EXPECT_EQ(re.MatchValue(1), "");
}

TEST(RegexObjectTest, FlagsAndMultiLine) {
    RegexObject re;
    ASSERT_TRUE(re.Compile("^a", false, true, true));
    EXPECT_EQ(re.Execute("a\nA\na"), 2);
    ASSERT_TRUE(re.Compile("^a", true, false, true));
    EXPECT_EQ(re.Execute("a\na"), 1);
    ASSERT_TRUE(re.Compile("a", true, true, false));
    EXPECT_EQ(re.Execute("aaa"), 1);
    EXPECT_EQ(re.Replace("aaa", "b"), "baa");
}

TEST(RegexObjectTest, BadPatternLeavesAnEmptyObject) {
    RegexObject re;
    EXPECT_FALSE(re.Compile("(a"));
    EXPECT_EQ(re.Execute("a"), 0);
    EXPECT_EQ(re.Replace("a", "b"), "");
    EXPECT_EQ(re.GetPattern(), "");
    RegexObject fresh;
    EXPECT_EQ(fresh.GetPattern(), "");
}

TEST(RegexObjectTest, DoubleByteTextMapsToBytes) {
    RegexObject re;
    // 。 (A1 A3) between 第一 (B5 DA D2 BB) and 句 (BE E4)
    ASSERT_TRUE(re.Compile(U("[^。]+")));
    const Text subject = U("第一。句");
    EXPECT_EQ(re.Execute(subject), 2);
    EXPECT_EQ(re.MatchValue(1), U("第一"));
    EXPECT_EQ(re.MatchValue(2), U("句"));
    EXPECT_EQ(re.Replace(subject, U("字")), U("字。字"));
    // 誠 (D5 5C): a search for a backslash does not find its trail byte
    ASSERT_TRUE(re.Compile("\\\\"));
    EXPECT_EQ(re.Execute("\xD5\x5C"), 0);
}

TEST(RegexObjectTest, InvalidBytesDoNotBreakMatching) {
    RegexObject re;
    ASSERT_TRUE(re.Compile("b."));
    // 20 cannot follow a lead byte in GB18030: 81 stands alone there; a lone FF ends it.
    const Text subject(
        "b\x81\x20"
        "b.b\xFF",
        7);
    EXPECT_EQ(re.Execute(subject), 3);
    EXPECT_EQ(re.MatchValue(1), "b\x81");
    EXPECT_EQ(re.MatchValue(2), "b.");
    EXPECT_EQ(re.MatchValue(3), "b\xFF");
    ASSERT_TRUE(re.Compile(" "));
    EXPECT_EQ(re.Execute(subject), 1);  // the 20 is a character of its own
    ASSERT_TRUE(re.Compile("b"));
    EXPECT_EQ(re.Execute("\x80"
                         "b"),
              1);  // 80 begins no character: the b is one of its own
}

}  // namespace
}  // namespace qs
