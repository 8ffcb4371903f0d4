#include "screen/roots.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace mirva::screen {
namespace {

// The CIELAB tables keep each value as a float: at every argument they are built from, the
// roots give the float the mathematics library gives.
TEST(Roots, GiveTheLibrarysFloatAtEveryArgumentOfTheLabTables) {
    int compared = 0;
    for (int i = 0; i <= 256 * 16; ++i) {
        const double value = i / (255.0 * 16);
        if (value <= 0.04045)
            continue;
        const double v = (value + 0.055) / 1.055;
        EXPECT_EQ(static_cast<float>(power_2_4(v)), static_cast<float>(std::pow(v, 2.4))) << i;
        ++compared;
    }
    for (int i = 0; i <= 4096; ++i) {
        const double t = i / 4096.0;
        if (t <= 216.0 / 24389.0)
            continue;
        EXPECT_EQ(static_cast<float>(cube_root(t)), static_cast<float>(std::cbrt(t))) << i;
        ++compared;
    }
    EXPECT_EQ(compared, (4097 - 166) + (4097 - 37));
}

// Over the ranges the tables use, and beyond them for the cube root, within a few units in the
// last place of a double.
TEST(Roots, AreWithinAFewUnitsInTheLastPlace) {
    const double epsilon = std::numeric_limits<double>::epsilon();
    for (double x :
         {1e-12, 1e-6, 0.001, 0.0025, 0.05, 0.1, 0.2, 1.0 / 3, 0.5, 0.77, 0.999, 1.0, 1.5, 2.0})
        EXPECT_NEAR(cube_root(x), std::cbrt(x), 4 * epsilon * std::cbrt(x)) << x;
    for (double x : {0.05, 0.09, 0.1, 0.2, 1.0 / 3, 0.5, 0.77, 0.999, 1.0, 1.001, 1.2})
        EXPECT_NEAR(power_2_4(x), std::pow(x, 2.4), 4 * epsilon * std::pow(x, 2.4)) << x;
    EXPECT_EQ(cube_root(1.0), 1.0);
    EXPECT_EQ(cube_root(0.125), 0.5);
    EXPECT_EQ(power_2_4(1.0), 1.0);
}

}  // namespace
}  // namespace mirva::screen
