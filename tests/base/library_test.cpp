#include "base/library.h"

#include <gtest/gtest.h>

#include "support/expect_failure.h"

namespace mirva::base {
namespace {

TEST(SharedLibrary, FindsFunctionsAndNamesWhatIsMissing) {
    SharedLibrary c_library("libc.so.6");
    auto length = c_library.symbol<std::size_t (*)(const char*)>("strlen");
    EXPECT_EQ(length("mirva"), 5u);
    EXPECT_FAILURE(c_library.symbol<void (*)()>("no_such_function_here"),
                   "No se encuentra la biblioteca libc.so.6");
    EXPECT_FAILURE(SharedLibrary("libmirva-missing.so.9"),
                   "No se encuentra la biblioteca libmirva-missing.so.9");
}

}  // namespace
}  // namespace mirva::base
