#include "cli/viewer_choice.h"

#include "display/sdl.h"
#include "display/terminal.h"

namespace mirva::cli {

std::unique_ptr<display::Display> open_display(const screen::Options& options) {
    if (options.viewer == screen::Viewer::automatic) {
        if (auto window = display::open_shown_sdl_display())
            return window;
    }
    return display::open_terminal_display();
}

}  // namespace mirva::cli
