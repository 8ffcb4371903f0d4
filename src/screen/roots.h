// Roots by Newton's method, so that a conversion needs no mathematics library at run time: the
// dynamic loader's work for one more library costs more than a conversion of a screen.
#pragma once

namespace mirva::screen {

/// Takes t, 0 < t <= 2; returns its cube root to the last bit or two of a double.
double cube_root(double t);

/// Takes v, 0 < v <= 1.3; returns v to the power 2.4 (v^2 times the fifth root of v^2), to the last
/// bit or two of a double for v from 0.05 up (to about ten of them for the tiniest v).
double power_2_4(double v);

}  // namespace mirva::screen
