#include "ui/about_texts.h"

#include <gtest/gtest.h>

namespace dp {
namespace {

TEST(AboutTextsTest, CopyrightYearsRunFromTheFirstYearToNow) {
    EXPECT_EQ(CopyrightLine(2010), L"Copyright (C) 2010 Nerovane");
    EXPECT_EQ(CopyrightLine(2026), L"Copyright (C) 2010-2026 Nerovane");
    EXPECT_EQ(CopyrightLine(2009), L"Copyright (C) 2010 Nerovane") << "a clock set too early";
}

} // namespace
} // namespace dp
