#pragma once

// Chafa's headers give only the types and the function signatures: the library is opened when
// the terminal viewer runs, so nothing else loads it and the program does not link it.
#if MIRVA_WITH_TERMINAL
#include <chafa.h>

namespace mirva::display {

/// The library the terminal viewer draws with, and the GLib it returns its text in.
inline constexpr const char* CHAFA_LIBRARY = "libchafa.so.0";
inline constexpr const char* GLIB_LIBRARY = "libglib-2.0.so.0";

// The chafa and GLib functions the terminal viewer uses, found at run time.
struct ChafaLibrary {
    decltype(&chafa_set_n_threads) set_n_threads = nullptr;
    decltype(&chafa_term_db_get_default) term_db_get_default = nullptr;
    decltype(&chafa_term_db_detect) term_db_detect = nullptr;
    decltype(&chafa_term_info_have_seq) term_info_have_seq = nullptr;
    decltype(&chafa_term_info_unref) term_info_unref = nullptr;
    decltype(&chafa_symbol_map_new) symbol_map_new = nullptr;
    decltype(&chafa_symbol_map_add_by_tags) symbol_map_add_by_tags = nullptr;
    decltype(&chafa_symbol_map_unref) symbol_map_unref = nullptr;
    decltype(&chafa_canvas_config_new) canvas_config_new = nullptr;
    decltype(&chafa_canvas_config_unref) canvas_config_unref = nullptr;
    decltype(&chafa_canvas_config_set_geometry) canvas_config_set_geometry = nullptr;
    decltype(&chafa_canvas_config_set_cell_geometry) canvas_config_set_cell_geometry = nullptr;
    decltype(&chafa_canvas_config_set_canvas_mode) canvas_config_set_canvas_mode = nullptr;
    decltype(&chafa_canvas_config_set_pixel_mode) canvas_config_set_pixel_mode = nullptr;
    decltype(&chafa_canvas_config_set_symbol_map) canvas_config_set_symbol_map = nullptr;
    decltype(&chafa_canvas_config_set_preprocessing_enabled) canvas_config_set_preprocessing =
        nullptr;
    decltype(&chafa_canvas_config_set_work_factor) canvas_config_set_work_factor = nullptr;
    decltype(&chafa_canvas_new) canvas_new = nullptr;
    decltype(&chafa_canvas_unref) canvas_unref = nullptr;
    decltype(&chafa_canvas_draw_all_pixels) canvas_draw_all_pixels = nullptr;
    decltype(&chafa_canvas_print) canvas_print = nullptr;
    decltype(&g_string_free) string_free = nullptr;
};

/// Opens CHAFA_LIBRARY and GLIB_LIBRARY and finds the functions the terminal viewer uses;
/// fails with "No se encuentra la biblioteca %s" when a library or a function is missing.
ChafaLibrary load_chafa();

}  // namespace mirva::display

#endif
