#pragma once

// SDL's headers give only the types and the function signatures: the library is opened with
// dlopen when a viewer runs, so a conversion never loads it and the program does not link it.
#if MIRVA_WITH_SDL
#include <SDL2/SDL.h>

#include <optional>

namespace mirva::display {

// The SDL functions the display uses, found in the library at run time.
struct SdlLibrary {
    decltype(&SDL_Init) init = nullptr;
    decltype(&SDL_Quit) quit = nullptr;
    decltype(&SDL_GetCurrentVideoDriver) current_video_driver = nullptr;
    decltype(&SDL_SetHint) set_hint = nullptr;
    decltype(&SDL_GetDisplayUsableBounds) display_usable_bounds = nullptr;
    decltype(&SDL_CreateWindow) create_window = nullptr;
    decltype(&SDL_DestroyWindow) destroy_window = nullptr;
    decltype(&SDL_CreateRenderer) create_renderer = nullptr;
    decltype(&SDL_DestroyRenderer) destroy_renderer = nullptr;
    decltype(&SDL_GetRendererOutputSize) renderer_output_size = nullptr;
    decltype(&SDL_CreateTexture) create_texture = nullptr;
    decltype(&SDL_DestroyTexture) destroy_texture = nullptr;
    decltype(&SDL_UpdateTexture) update_texture = nullptr;
    decltype(&SDL_SetRenderDrawColor) set_render_draw_color = nullptr;
    decltype(&SDL_RenderClear) render_clear = nullptr;
    decltype(&SDL_RenderCopy) render_copy = nullptr;
    decltype(&SDL_RenderPresent) render_present = nullptr;
    decltype(&SDL_ShowCursor) show_cursor = nullptr;
    decltype(&SDL_PollEvent) poll_event = nullptr;
    decltype(&SDL_WaitEventTimeout) wait_event_timeout = nullptr;
    decltype(&SDL_GetTicks64) ticks = nullptr;
};

/// Opens the SDL library of that name and finds the functions the display uses; fails with
/// "No se puede iniciar el modo grafico" when the library or a function is missing.
SdlLibrary load_sdl(const char* name);

/// The same, or nothing when the library or a function is missing.
std::optional<SdlLibrary> find_sdl(const char* name);

}  // namespace mirva::display

#endif
