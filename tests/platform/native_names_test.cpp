#include "platform/native_names.h"

#include <gtest/gtest.h>

#include <random>

namespace qs {
namespace {

// Every name the file system can hold comes back byte for byte; UTF-8 names map as they
// always did; escapes are no GB18030 character, so they never stand for a UTF-8 name.
TEST(NativeNames, EveryNameRoundTrips) {
    std::mt19937 random(11);
    const std::string pieces[] = {"a",        ".",        "\xE4\xB8\xAD", "\xF0\x9F\x98\x80",
                                  "\xD6\xD0", "\xCE\xC4", "\xFF",         "\x80",
                                  "\xE4\xB8", "\xC0\xAF", "\xED\xA0\x80", "\x8F\x39\x81\x30"};
    for (int round = 0; round < 2000; ++round) {
        std::string name;
        const int count = static_cast<int>(random() % 8);
        for (int k = 0; k < count; ++k) {
            name += random() % 3 == 0 ? std::string(1, static_cast<char>(1 + random() % 255))
                                      : pieces[random() % std::size(pieces)];
        }
        const Text internal = NativeToInternal(name);
        std::string back;
        ASSERT_TRUE(InternalToNative(internal, back)) << round;
        ASSERT_EQ(back, name) << round;
        Text viaUtf8;
        if (Utf8ToInternal(name, viaUtf8)) {
            EXPECT_EQ(internal, viaUtf8) << round;
        } else {
            std::string utf8;
            EXPECT_FALSE(InternalToUtf8(internal, utf8)) << round;
        }
    }
}

TEST(NativeNames, ShownReadably) {
    const struct {
        const char* name;
        std::string native;
        Text shown;
    } rows[] = {
        {"UTF-8 unchanged", "\xE4\xB8\xAD.txt", "\xD6\xD0.txt"},                          // 中.txt
        {"GBK shown as its characters", "\xD6\xD0\xCE\xC4.txt", "\xD6\xD0\xCE\xC4.txt"},  // 中文
        {"bytes that are no GB18030 escaped", "a\xFF.txt", "a\\xFF.txt"},
        {"a GBK run beside UTF-8", "\xE4\xB8\xAD-\xCE\xC4", "\xD6\xD0-\xCE\xC4"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(DisplayText(NativeToInternal(row.native)), row.shown) << row.name;
    }
}

}  // namespace
}  // namespace qs
