#include <gtest/gtest.h>

#include <string>

#include "diagnostics/RuntimeError.h"

TEST(CLng, ReadsDecimalNumbersAndRaisesTypeMismatchOrOverflow) {
    EXPECT_EQ(diagnostics::CLng(" +007 "), 7);
    EXPECT_EQ(diagnostics::CLng("2147483647"), INT32_MAX);
    EXPECT_EQ(diagnostics::CLng("-2147483648"), INT32_MIN);
    // Type mismatch (13) for what is no number, overflow (6) for ten digits and more.
    for (const std::string text : {"", "12a", "1 2", "-", "2147483648", "99999999999999999999"}) {
        int32_t raised = 0;
        try {
            diagnostics::CLng(text);
        } catch (const diagnostics::RuntimeError& e) {
            raised = e.number();
        }
        EXPECT_EQ(raised, text.size() < 10 ? 13 : 6) << '"' << text << '"';
    }
}
