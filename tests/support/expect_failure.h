#pragma once

#include <gtest/gtest.h>

#include <string>

#include "base/failure.h"

// Checks that a statement throws the program's Failure with exactly the expected text.
#define EXPECT_FAILURE(statement, expected)                        \
    do {                                                           \
        try {                                                      \
            statement;                                             \
            ADD_FAILURE() << "no failure from " #statement;        \
        } catch (const ::mirva::base::Failure& failure__) {        \
            EXPECT_EQ(failure__.message(), std::string(expected)); \
        }                                                          \
    } while (false)
