// The companion run as a user runs it, on every system: the built program, started without a
// shell, against this test's private world.
#pragma once

#include "support/PrivateEnvTest.h"
#include "support/Process.h"

#include <algorithm>
#include <filesystem>

class CompanionTest : public PrivateEnvTest {
protected:
    void SetUp() override {
        m_ctl = BuiltCompanion();
        ASSERT_TRUE(std::filesystem::exists(m_ctl)) << m_ctl << " is not the built companion";
    }

    ProgramResult Run(std::vector<std::string> args) {
        args.insert(args.begin(), m_ctl);
        return RunProgram(args);
    }

    // Exit status 2 and exactly one line on standard error that mentions `what`.
    static void ExpectRefused(const ProgramResult& result, const std::string& what) {
        EXPECT_EQ(result.status, 2) << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        EXPECT_NE(result.err.find(what), std::string::npos) << result.err;
    }

    std::string m_ctl;
};
