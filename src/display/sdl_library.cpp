#include "display/sdl_library.h"

#if MIRVA_WITH_SDL

#include <dlfcn.h>

#include "base/failure.h"

namespace mirva::display {

namespace {

template <typename Function>
void resolve(void* library, const char* name, Function*& function, bool& complete) {
    function = reinterpret_cast<Function*>(::dlsym(library, name));
    if (function == nullptr)
        complete = false;
}

}  // namespace

SdlLibrary load_sdl(const char* name) {
    std::optional<SdlLibrary> sdl = find_sdl(name);
    if (!sdl)
        base::error(base::MSG_NO_GRAPHICS);
    return *sdl;
}

std::optional<SdlLibrary> find_sdl(const char* name) {
    // The library stays loaded until the process ends.
    void* library = ::dlopen(name, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr)
        return std::nullopt;
    SdlLibrary sdl;
    bool complete = true;
    resolve(library, "SDL_Init", sdl.init, complete);
    resolve(library, "SDL_Quit", sdl.quit, complete);
    resolve(library, "SDL_GetCurrentVideoDriver", sdl.current_video_driver, complete);
    resolve(library, "SDL_SetHint", sdl.set_hint, complete);
    resolve(library, "SDL_GetDisplayUsableBounds", sdl.display_usable_bounds, complete);
    resolve(library, "SDL_CreateWindow", sdl.create_window, complete);
    resolve(library, "SDL_DestroyWindow", sdl.destroy_window, complete);
    resolve(library, "SDL_CreateRenderer", sdl.create_renderer, complete);
    resolve(library, "SDL_DestroyRenderer", sdl.destroy_renderer, complete);
    resolve(library, "SDL_GetRendererOutputSize", sdl.renderer_output_size, complete);
    resolve(library, "SDL_CreateTexture", sdl.create_texture, complete);
    resolve(library, "SDL_DestroyTexture", sdl.destroy_texture, complete);
    resolve(library, "SDL_UpdateTexture", sdl.update_texture, complete);
    resolve(library, "SDL_SetRenderDrawColor", sdl.set_render_draw_color, complete);
    resolve(library, "SDL_RenderClear", sdl.render_clear, complete);
    resolve(library, "SDL_RenderCopy", sdl.render_copy, complete);
    resolve(library, "SDL_RenderPresent", sdl.render_present, complete);
    resolve(library, "SDL_ShowCursor", sdl.show_cursor, complete);
    resolve(library, "SDL_PollEvent", sdl.poll_event, complete);
    resolve(library, "SDL_WaitEventTimeout", sdl.wait_event_timeout, complete);
    resolve(library, "SDL_GetTicks64", sdl.ticks, complete);
    if (!complete)
        return std::nullopt;
    return sdl;
}

}  // namespace mirva::display

#endif
