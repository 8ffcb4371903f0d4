#include "display/graphics.h"

namespace mirva::display {

void drain_keys(Display& display) {
    // Each poll consumes the key it reports, so the loop never waits for one more key.
    while (display.poll_key() != 0) {
    }
}

int wait_for_key(Display& display) {
    drain_keys(display);
    return display.read_key();
}

}  // namespace mirva::display
