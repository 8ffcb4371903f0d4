#include "display/chafa_library.h"

#if MIRVA_WITH_TERMINAL

#include "base/library.h"

namespace mirva::display {

ChafaLibrary load_chafa() {
    // Chafa 1.12 (Debian 12) has every function here; an older one counts as missing.
    base::SharedLibrary chafa(CHAFA_LIBRARY);
    base::SharedLibrary glib(GLIB_LIBRARY);
    ChafaLibrary library;
    auto find = [](const base::SharedLibrary& from, const char* name, auto& function) {
        function = from.symbol<std::remove_reference_t<decltype(function)>>(name);
    };
    find(chafa, "chafa_set_n_threads", library.set_n_threads);
    find(chafa, "chafa_term_db_get_default", library.term_db_get_default);
    find(chafa, "chafa_term_db_detect", library.term_db_detect);
    find(chafa, "chafa_term_info_have_seq", library.term_info_have_seq);
    find(chafa, "chafa_term_info_unref", library.term_info_unref);
    find(chafa, "chafa_symbol_map_new", library.symbol_map_new);
    find(chafa, "chafa_symbol_map_add_by_tags", library.symbol_map_add_by_tags);
    find(chafa, "chafa_symbol_map_unref", library.symbol_map_unref);
    find(chafa, "chafa_canvas_config_new", library.canvas_config_new);
    find(chafa, "chafa_canvas_config_unref", library.canvas_config_unref);
    find(chafa, "chafa_canvas_config_set_geometry", library.canvas_config_set_geometry);
    find(chafa, "chafa_canvas_config_set_cell_geometry", library.canvas_config_set_cell_geometry);
    find(chafa, "chafa_canvas_config_set_canvas_mode", library.canvas_config_set_canvas_mode);
    find(chafa, "chafa_canvas_config_set_pixel_mode", library.canvas_config_set_pixel_mode);
    find(chafa, "chafa_canvas_config_set_symbol_map", library.canvas_config_set_symbol_map);
    find(chafa, "chafa_canvas_config_set_preprocessing_enabled",
         library.canvas_config_set_preprocessing);
    find(chafa, "chafa_canvas_config_set_work_factor", library.canvas_config_set_work_factor);
    find(chafa, "chafa_canvas_new", library.canvas_new);
    find(chafa, "chafa_canvas_unref", library.canvas_unref);
    find(chafa, "chafa_canvas_draw_all_pixels", library.canvas_draw_all_pixels);
    find(chafa, "chafa_canvas_print", library.canvas_print);
    find(glib, "g_string_free", library.string_free);
    return library;
}

}  // namespace mirva::display

#endif
