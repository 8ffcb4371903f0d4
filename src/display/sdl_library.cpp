#include "display/sdl_library.h"

#if MIRVA_WITH_SDL

#include <dlfcn.h>

#include "base/failure.h"

namespace mirva::display {

namespace {

template <typename Function>
void resolve(void* library, const char* name, Function*& function) {
    function = reinterpret_cast<Function*>(::dlsym(library, name));
    if (function == nullptr)
        base::error(base::MSG_NO_GRAPHICS);
}

}  // namespace

SdlLibrary load_sdl(const char* name) {
    // The library stays loaded until the process ends.
    void* library = ::dlopen(name, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr)
        base::error(base::MSG_NO_GRAPHICS);
    SdlLibrary sdl;
    resolve(library, "SDL_Init", sdl.init);
    resolve(library, "SDL_Quit", sdl.quit);
    resolve(library, "SDL_GetCurrentVideoDriver", sdl.current_video_driver);
    resolve(library, "SDL_SetHint", sdl.set_hint);
    resolve(library, "SDL_GetDisplayUsableBounds", sdl.display_usable_bounds);
    resolve(library, "SDL_CreateWindow", sdl.create_window);
    resolve(library, "SDL_DestroyWindow", sdl.destroy_window);
    resolve(library, "SDL_CreateRenderer", sdl.create_renderer);
    resolve(library, "SDL_DestroyRenderer", sdl.destroy_renderer);
    resolve(library, "SDL_GetRendererOutputSize", sdl.renderer_output_size);
    resolve(library, "SDL_CreateTexture", sdl.create_texture);
    resolve(library, "SDL_DestroyTexture", sdl.destroy_texture);
    resolve(library, "SDL_UpdateTexture", sdl.update_texture);
    resolve(library, "SDL_SetRenderDrawColor", sdl.set_render_draw_color);
    resolve(library, "SDL_RenderClear", sdl.render_clear);
    resolve(library, "SDL_RenderCopy", sdl.render_copy);
    resolve(library, "SDL_RenderPresent", sdl.render_present);
    resolve(library, "SDL_ShowCursor", sdl.show_cursor);
    resolve(library, "SDL_PollEvent", sdl.poll_event);
    resolve(library, "SDL_WaitEventTimeout", sdl.wait_event_timeout);
    resolve(library, "SDL_GetTicks64", sdl.ticks);
    return sdl;
}

}  // namespace mirva::display

#endif
