// A fixture that gives every test its own private world (see TestEnv).
#pragma once

#include "support/TestEnv.h"

#include <gtest/gtest.h>

class PrivateEnvTest : public ::testing::Test {
protected:
    TestEnv m_env;
};
