#include "platform/loaded_library.h"

#include <gtest/gtest.h>

#include <cstring>

namespace qs::testing {
namespace {

struct LibcApi {
    QS_FUNCTION(strlen);
};

// A library or a function that is not there is a reason, never a crash; the reason names
// what was looked for.
TEST(LoadedLibrary, MissingLibraryOrFunctionGivesItsReason) {
    std::string why;
    LoadedApi<LibcApi> missing("libqs-absent.so.9", [](LoadedLibrary& l, LibcApi& api) {
        return QS_BIND(l, api, strlen);
    });
    EXPECT_EQ(missing.Get(why), nullptr);
    EXPECT_EQ(why.find("libqs-absent.so.9 could not be loaded: "), 0u) << why;

    LoadedApi<LibcApi> lacking("libc.so.6", [](LoadedLibrary& l, LibcApi&) {
        void (*absent)() = nullptr;
        return l.Bind(absent, "qs_absent_function");
    });
    EXPECT_EQ(lacking.Get(why), nullptr);
    EXPECT_NE(why.find("lacks qs_absent_function"), std::string::npos) << why;

    LoadedApi<LibcApi> libc("libc.so.6",
                            [](LoadedLibrary& l, LibcApi& api) { return QS_BIND(l, api, strlen); });
    const LibcApi* api = libc.Get(why);
    ASSERT_NE(api, nullptr);
    EXPECT_EQ(api->strlen("abc"), 3u);
}

}  // namespace
}  // namespace qs::testing
