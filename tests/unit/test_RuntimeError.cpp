#include <gtest/gtest.h>

#include "diagnostics/RuntimeError.h"

using diagnostics::CLng;
using diagnostics::RuntimeError;

namespace {

int32_t ErrorNumberOf(const char* text) {
    try {
        CLng(text);
    } catch (const RuntimeError& e) {
        return e.number();
    }
    return 0;
}

}  // namespace

TEST(CLng, ReadsDecimalNamesOfThreadIds) {
    EXPECT_EQ(CLng("1234"), 1234);
    EXPECT_EQ(CLng("007"), 7);
    EXPECT_EQ(CLng("  42 "), 42);
    EXPECT_EQ(CLng("-2147483646"), -2147483646);
    EXPECT_EQ(CLng("+5"), 5);
    EXPECT_EQ(CLng("2147483647"), 2147483647);
    EXPECT_EQ(CLng("-2147483648"), INT32_MIN);
}

TEST(CLng, RaisesTypeMismatchOrOverflow) {
    EXPECT_EQ(ErrorNumberOf(""), 13);
    EXPECT_EQ(ErrorNumberOf("abc"), 13);
    EXPECT_EQ(ErrorNumberOf("12a"), 13);
    EXPECT_EQ(ErrorNumberOf("-"), 13);
    EXPECT_EQ(ErrorNumberOf(std::string(254, ' ').c_str()), 13);
    EXPECT_EQ(ErrorNumberOf("2147483648"), 6);
    EXPECT_EQ(ErrorNumberOf("99999999999999999999999"), 6);
}

TEST(TryStep, SwallowsTheStepsFailure) {
    int after = 0;
    diagnostics::TryStep([] { throw RuntimeError(13, "Type mismatch"); });
    diagnostics::TryStep([&] { after = 1; });
    EXPECT_EQ(after, 1);
}
