#include "cli/kinds.h"

#include <cassert>

#include "containers/archive.h"
#include "containers/fixed_offset.h"
#include "containers/pzx.h"
#include "containers/scr.h"
#include "containers/sna.h"
#include "containers/szx.h"
#include "containers/tap.h"
#include "containers/tzx.h"
#include "containers/z80.h"
#include "pictures/gif_reader.h"
#include "pictures/gif_writer.h"
#include "pictures/jpeg_reader.h"
#include "pictures/pcx.h"
#include "pictures/png_reader.h"
#include "pictures/png_writer.h"

namespace mirva::cli {

namespace {

screen::ScreenImage read_tap(base::ByteSource& source, std::string_view path, std::uint8_t&) {
    return containers::read_tap_screen(source, path);
}

screen::ScreenImage read_pzx(base::ByteSource& source, std::string_view path, std::uint8_t&) {
    return containers::read_pzx_screen(source, path);
}

template <const containers::FixedOffsetLayout& Layout>
screen::ScreenImage read_fixed(base::ByteSource& source, std::string_view path,
                               std::uint8_t& border_colour) {
    return containers::read_fixed_offset_screen(source, Layout, path, border_colour);
}

const std::array<KindRow, 16> KINDS{{
    {FileKind::scr,
     {".SCR"},
     Family::screen,
     containers::read_scr_screen,
     nullptr,
     containers::write_scr_screen,
     "volcado de pantalla: los 6912 bytes"},
    {FileKind::tap,
     {".TAP"},
     Family::screen,
     read_tap,
     nullptr,
     containers::write_tap_screen,
     "cinta: el primer bloque de 6914 bytes"},
    {FileKind::sp,
     {".SP"},
     Family::snapshot,
     read_fixed<containers::SP_LAYOUT>,
     nullptr,
     nullptr,
     "instantanea SP: pantalla y borde"},
    {FileKind::sna,
     {".SNA"},
     Family::snapshot,
     containers::read_sna_screen,
     nullptr,
     nullptr,
     "instantanea SNA (48K y 128K): pantalla visible y borde"},
    {FileKind::sit,
     {".SIT"},
     Family::snapshot,
     read_fixed<containers::SIT_LAYOUT>,
     nullptr,
     nullptr,
     "instantanea SIT: pantalla y borde"},
    {FileKind::z80,
     {".Z80"},
     Family::snapshot,
     containers::read_z80_screen,
     nullptr,
     nullptr,
     "instantanea Z80 (versiones 1 a 3, 48K y 128K): pantalla visible y borde"},
    {FileKind::slt,
     {".SLT"},
     Family::snapshot,
     containers::read_z80_screen,
     nullptr,
     nullptr,
     "instantanea SLT: pantalla visible y borde"},
    {FileKind::szx,
     {".SZX"},
     Family::snapshot,
     containers::read_szx_screen,
     nullptr,
     nullptr,
     "instantanea SZX (zx-state): pantalla visible y borde"},
    {FileKind::tzx,
     {".TZX"},
     Family::snapshot,
     containers::read_tzx_screen,
     nullptr,
     nullptr,
     "cinta TZX: el primer bloque de datos de 6914 bytes, o la pantalla de carga"},
    {FileKind::pzx,
     {".PZX"},
     Family::snapshot,
     read_pzx,
     nullptr,
     nullptr,
     "cinta PZX: el primer bloque DATA de 6914 bytes"},
    {FileKind::gif,
     {".GIF"},
     Family::picture,
     nullptr,
     pictures::read_gif_picture,
     pictures::write_gif_screen,
     "imagen GIF de hasta 256x192",
     true},
    {FileKind::pcx,
     {".PCX"},
     Family::picture,
     nullptr,
     pictures::read_pcx_picture,
     pictures::write_pcx_screen,
     "imagen PCX de 8 bits de hasta 256x192"},
    {FileKind::png,
     {".PNG"},
     Family::picture,
     nullptr,
     nullptr,
     pictures::write_png_screen,
     "imagen PNG: de cualquier tipo, reducida a 256x192; escrita con los colores del Spectrum",
     true,
     nullptr,
     pictures::read_png_picture},
    {FileKind::jpeg,
     {".JPG", ".JPEG"},
     Family::picture,
     nullptr,
     nullptr,
     nullptr,
     "imagen JPEG en color o gris, reducida a 256x192",
     false,
     nullptr,
     pictures::read_jpeg_picture},
    {FileKind::zip,
     {".ZIP"},
     Family::archive,
     nullptr,
     nullptr,
     nullptr,
     "archivo ZIP: el primer fichero de un tipo que se lee",
     false,
     containers::read_zip_member,
     nullptr},
    {FileKind::gz,
     {".GZ"},
     Family::archive,
     nullptr,
     nullptr,
     nullptr,
     "fichero comprimido con gzip: NOMBRE.gz se lee como NOMBRE",
     false,
     containers::read_gzip_member,
     nullptr},
}};

constexpr std::size_t row_index(FileKind kind) {
    return static_cast<std::size_t>(kind) - 1;
}

}  // namespace

std::span<const KindRow> kind_table() {
    return KINDS;
}

const KindRow& kind_row(FileKind kind) {
    assert(kind != FileKind::none && row_index(kind) < KINDS.size());
    const KindRow& row = KINDS[row_index(kind)];
    assert(row.kind == kind);
    return row;
}

Family family_of(FileKind kind) {
    return kind == FileKind::none ? Family::none : kind_row(kind).family;
}

bool is_source_kind(FileKind kind) {
    if (kind == FileKind::none)
        return false;
    const KindRow& row = kind_row(kind);
    return row.read_screen != nullptr || row.read_picture != nullptr || row.read_rgb != nullptr ||
           row.read_archive != nullptr;
}

FileKind kind_of_extension(std::string_view extension) {
    for (const KindRow& row : KINDS) {
        for (std::string_view known : row.extensions) {
            if (!known.empty() && extension == known)
                return row.kind;
        }
    }
    return FileKind::none;
}

}  // namespace mirva::cli
