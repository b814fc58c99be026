#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "diagnostics/RuntimeError.h"

using diagnostics::CLng;
using diagnostics::RuntimeError;

TEST(CLng, ReadsDecimalNumbersAndRaisesTypeMismatchOrOverflow) {
    EXPECT_EQ(CLng("007"), 7);
    EXPECT_EQ(CLng("  42 "), 42);
    EXPECT_EQ(CLng("+5"), 5);
    EXPECT_EQ(CLng("2147483647"), 2147483647);
    EXPECT_EQ(CLng("-2147483648"), INT32_MIN);
    const std::pair<std::string, int32_t> failures[] = {
        {"", 13},          {"abc", 13},
        {"12a", 13},       {"1 2", 13},
        {"-", 13},         {std::string(254, ' '), 13},
        {"2147483648", 6}, {"99999999999999999999999", 6},
    };
    for (const auto& [text, number] : failures) {
        int32_t raised = 0;
        try {
            CLng(text);
        } catch (const RuntimeError& e) {
            raised = e.number();
        }
        EXPECT_EQ(raised, number) << '"' << text << '"';
    }
}
