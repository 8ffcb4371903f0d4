#include "screen/roots.h"

#include <cassert>

namespace mirva::screen {

namespace {

// The n-th root of a, 0 < a <= 2: Newton's steps from 1 or a, whichever is larger and so lies
// above the root, come down to it without overshooting, and stop when rounding no longer lets
// them come down.
template <int N>
double nth_root(double a) {
    assert(a > 0 && a <= 2);
    double root = a > 1 ? a : 1.0;
    for (int step = 0; step < 100; ++step) {
        double power = 1.0;  // root^(N - 1)
        for (int k = 1; k < N; ++k)
            power *= root;
        const double next = ((N - 1) * root + a / power) / N;
        if (next >= root)
            break;
        root = next;
    }
    return root;
}

}  // namespace

double cube_root(double t) {
    return nth_root<3>(t);
}

double power_2_4(double v) {
    const double square = v * v;
    return square * nth_root<5>(square);
}

}  // namespace mirva::screen
