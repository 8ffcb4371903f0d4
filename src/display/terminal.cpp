#include "display/terminal.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cassert>
#include <chrono>
#include <deque>
#include <string>
#include <thread>
#include <vector>

#include "base/failure.h"
#include "display/chafa_library.h"
#include "display/sdl.h"
#include "display/terminal_layout.h"
#include "display/tty.h"
#include "screen/screen_image.h"

// Built without chafa's headers, the program reports that no display can be opened.

namespace mirva::display {

#if MIRVA_WITH_TERMINAL

namespace {

using Clock = std::chrono::steady_clock;

// Kitty keeps every image it is sent: each frame first deletes the ones on screen.
constexpr std::string_view KITTY_DELETE_IMAGES = "\033_Ga=d\033\\";

// Returns the control sequence that moves the cursor to a cell counted from 0.
std::string move_to(int row, int column) {
    return "\033[" + std::to_string(row + 1) + ";" + std::to_string(column + 1) + "H";
}

// A frame as it is sent to the terminal, kept so that the two phases of a flashing screen are
// drawn by chafa only once.
struct Rendered {
    std::vector<std::uint8_t> frame;
    std::string text;
};

class TerminalDisplay final : public Display {
public:
    TerminalDisplay(std::unique_ptr<Tty> tty, const ChafaLibrary& chafa);
    ~TerminalDisplay() override;
    TerminalDisplay(const TerminalDisplay&) = delete;
    TerminalDisplay& operator=(const TerminalDisplay&) = delete;

    void graphics_on() override;
    void graphics_off() override;
    void set_palette_entry(int index, std::uint8_t red, std::uint8_t green,
                           std::uint8_t blue) override;
    void show_frame(std::span<const std::uint8_t> frame) override;
    int poll_key() override;
    int read_key() override;
    void pause(int milliseconds) override;

private:
    void handle(Tty::Event event);
    void draw(bool clear);
    std::string render(const TerminalLayout& layout, const TerminalSize& size) const;

    std::unique_ptr<Tty> tty_;
    ChafaLibrary chafa_;
    ChafaTermInfo* term_info_ = nullptr;
    TerminalMode mode_ = TerminalMode::colours_16;
    bool on_ = false;
    std::array<std::array<std::uint8_t, 4>, 256> colours_{};  // The palette as RGBA pixels.
    std::vector<std::uint8_t> frame_;  // The frame on screen; empty before the first one.
    std::deque<Rendered> rendered_;    // The frames last sent, at the size of last_size_.
    TerminalSize last_size_{};
    std::deque<int> keys_;  // Keys read and not yet taken.
};

TerminalDisplay::TerminalDisplay(std::unique_ptr<Tty> tty, const ChafaLibrary& chafa)
    : tty_(std::move(tty)), chafa_(chafa) {
    // A 320x200 frame is drawn fastest without chafa's worker threads.
    chafa_.set_n_threads(1);
    // The terminal's description comes from the environment: TERM, COLORTERM, and the
    // variables terminals set of their own (TERM_PROGRAM, VTE_VERSION, TMUX...).
    term_info_ = chafa_.term_db_detect(chafa_.term_db_get_default(), environ);
    auto has = [this](ChafaTermSeq sequence) {
        return chafa_.term_info_have_seq(term_info_, sequence) != FALSE;
    };
    mode_ = choose_terminal_mode({.kitty = has(CHAFA_TERM_SEQ_BEGIN_KITTY_IMMEDIATE_IMAGE_V1),
                                  .iterm2 = has(CHAFA_TERM_SEQ_BEGIN_ITERM2_IMAGE),
                                  .sixels = has(CHAFA_TERM_SEQ_BEGIN_SIXELS),
                                  .truecolour = has(CHAFA_TERM_SEQ_SET_COLOR_FGBG_DIRECT),
                                  .colours_256 = has(CHAFA_TERM_SEQ_SET_COLOR_FGBG_256)});
    for (auto& colour : colours_)
        colour = {0, 0, 0, 255};
}

TerminalDisplay::~TerminalDisplay() {
    graphics_off();
    chafa_.term_info_unref(term_info_);
}

void TerminalDisplay::graphics_on() {
    assert(!on_);
    tty_->enter();
    on_ = true;
}

void TerminalDisplay::graphics_off() {
    if (!on_)
        return;
    if (mode_ == TerminalMode::kitty)
        tty_->write(KITTY_DELETE_IMAGES);
    tty_->leave();
    on_ = false;
    frame_.clear();
    rendered_.clear();
    keys_.clear();
}

void TerminalDisplay::set_palette_entry(int index, std::uint8_t red, std::uint8_t green,
                                        std::uint8_t blue) {
    if (index < 0 || index >= static_cast<int>(colours_.size()))
        return;
    colours_[static_cast<std::size_t>(index)] = {expand_component(red), expand_component(green),
                                                 expand_component(blue), 255};
    rendered_.clear();
}

void TerminalDisplay::show_frame(std::span<const std::uint8_t> frame) {
    assert(frame.size() == screen::FRAME_BYTES);
    frame_.assign(frame.begin(), frame.end());
    draw(false);
}

void TerminalDisplay::draw(bool clear) {
    if (!on_ || frame_.empty())
        return;
    TerminalSize size = tty_->size();
    if (size.columns != last_size_.columns || size.rows != last_size_.rows ||
        size.cell_width != last_size_.cell_width || size.cell_height != last_size_.cell_height) {
        rendered_.clear();
        last_size_ = size;
        clear = true;
    }
    auto found = std::find_if(rendered_.begin(), rendered_.end(),
                              [this](const Rendered& entry) { return entry.frame == frame_; });
    if (found == rendered_.end()) {
        // An image drawn on the last row would scroll the screen.
        TerminalSize fitted = size;
        if (draws_pixels(mode_) && fitted.rows > 1)
            --fitted.rows;
        std::string text = render(terminal_layout(fitted), size);
        if (rendered_.size() == 2)
            rendered_.pop_front();
        rendered_.push_back({frame_, std::move(text)});
        found = std::prev(rendered_.end());
    }
    std::string output;
    if (clear)
        output += "\033[0m\033[2J";
    if (mode_ == TerminalMode::kitty)
        output += KITTY_DELETE_IMAGES;
    output += found->text;
    tty_->write(output);
}

std::string TerminalDisplay::render(const TerminalLayout& layout, const TerminalSize& size) const {
    std::vector<std::uint8_t> pixels;
    pixels.reserve(frame_.size() * 4);
    for (std::uint8_t index : frame_)
        pixels.insert(pixels.end(), colours_[index].begin(), colours_[index].end());

    ChafaCanvasConfig* config = chafa_.canvas_config_new();
    chafa_.canvas_config_set_geometry(config, layout.columns, layout.rows);
    bool cell_known = size.cell_width > 0 && size.cell_height > 0;
    int cell_width = cell_known ? size.cell_width : ASSUMED_CELL_WIDTH;
    int cell_height = cell_known ? size.cell_height : ASSUMED_CELL_HEIGHT;
    chafa_.canvas_config_set_cell_geometry(config, cell_width, cell_height);
    // The colours are the frame's own: no contrast or saturation boost.
    chafa_.canvas_config_set_preprocessing(config, FALSE);
    // A frame scaled sharp has at most two colours in most cells, which the fewest tries
    // match: the least work is a third faster than chafa's default and draws the same.
    chafa_.canvas_config_set_work_factor(config, 0.1F);
    switch (mode_) {
        case TerminalMode::kitty:
            chafa_.canvas_config_set_pixel_mode(config, CHAFA_PIXEL_MODE_KITTY);
            break;
        case TerminalMode::iterm2:
            chafa_.canvas_config_set_pixel_mode(config, CHAFA_PIXEL_MODE_ITERM2);
            break;
        case TerminalMode::sixels:
            chafa_.canvas_config_set_pixel_mode(config, CHAFA_PIXEL_MODE_SIXELS);
            break;
        case TerminalMode::truecolour:
            chafa_.canvas_config_set_canvas_mode(config, CHAFA_CANVAS_MODE_TRUECOLOR);
            break;
        case TerminalMode::colours_256:
            // The 16 first entries are each terminal's own choice; the 240 others are fixed.
            chafa_.canvas_config_set_canvas_mode(config, CHAFA_CANVAS_MODE_INDEXED_240);
            break;
        case TerminalMode::colours_16:
            chafa_.canvas_config_set_canvas_mode(config, CHAFA_CANVAS_MODE_INDEXED_16);
            break;
    }
    if (!draws_pixels(mode_)) {
        ChafaSymbolMap* symbols = chafa_.symbol_map_new();
        chafa_.symbol_map_add_by_tags(
            symbols, static_cast<ChafaSymbolTags>(CHAFA_SYMBOL_TAG_SPACE | CHAFA_SYMBOL_TAG_SOLID |
                                                  CHAFA_SYMBOL_TAG_BLOCK | CHAFA_SYMBOL_TAG_HALF));
        chafa_.canvas_config_set_symbol_map(config, symbols);
        chafa_.symbol_map_unref(symbols);
    }
    // The frame is scaled here to the pixels chafa works in, a symbol's 8x8 or the image's
    // own, so that chafa's smooth scaling, made for photographs, leaves it alone.
    int width = layout.columns * (draws_pixels(mode_) ? cell_width : CHAFA_SYMBOL_WIDTH_PIXELS);
    int height = layout.rows * (draws_pixels(mode_) ? cell_height : CHAFA_SYMBOL_HEIGHT_PIXELS);
    // A sixel is six pixels high: chafa cuts its image to whole sixels, and the frame is scaled
    // to that height rather than scaled again.
    if (mode_ == TerminalMode::sixels && height >= 6)
        height -= height % 6;
    std::vector<std::uint8_t> scaled =
        scale_nearest(pixels, screen::FRAME_WIDTH, screen::FRAME_HEIGHT, width, height);
    ChafaCanvas* canvas = chafa_.canvas_new(config);
    chafa_.canvas_config_unref(config);
    chafa_.canvas_draw_all_pixels(canvas, CHAFA_PIXEL_RGBA8_UNASSOCIATED, scaled.data(), width,
                                  height, width * 4);
    GString* printed = chafa_.canvas_print(canvas, term_info_);
    std::string text(printed->str, printed->len);
    chafa_.string_free(printed, TRUE);
    chafa_.canvas_unref(canvas);

    // Chafa writes an image from the cursor on, and rows of characters one below the other
    // from the left margin; each is moved where the layout puts it.
    if (draws_pixels(mode_))
        return move_to(layout.row, layout.column) + text;
    std::string positioned;
    positioned.reserve(text.size() + static_cast<std::size_t>(layout.rows) * 12);
    std::size_t start = 0;
    for (int row = 0; start <= text.size(); ++row) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        positioned += move_to(layout.row + row, layout.column);
        positioned.append(text, start, end - start);
        start = end + 1;
    }
    return positioned;
}

void TerminalDisplay::handle(Tty::Event event) {
    if (event == Tty::Event::key) {
        int key = tty_->read_key();
        if (key != 0)
            keys_.push_back(key);
    }
    if (event == Tty::Event::resize)
        draw(true);
}

int TerminalDisplay::poll_key() {
    if (!on_)
        return 0;
    if (tty_->take_resize())
        draw(true);
    if (keys_.empty()) {
        int key = tty_->read_key();
        if (key != 0)
            keys_.push_back(key);
    }
    if (keys_.empty())
        return 0;
    int key = keys_.front();
    keys_.pop_front();
    return key;
}

int TerminalDisplay::read_key() {
    assert(on_);
    while (keys_.empty())
        handle(tty_->wait(-1, true));
    return poll_key();
}

void TerminalDisplay::pause(int milliseconds) {
    auto deadline = Clock::now() + std::chrono::milliseconds(std::max(milliseconds, 0));
    while (true) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return;
        if (!on_) {
            std::this_thread::sleep_for(left);
            return;
        }
        // A waiting key stays in the terminal's queue meanwhile: only the signals are watched.
        handle(tty_->wait(static_cast<int>(left.count()) + 1, keys_.empty()));
    }
}

}  // namespace

std::unique_ptr<Display> open_terminal_display() {
    auto tty = std::make_unique<Tty>();
    return std::make_unique<TerminalDisplay>(std::move(tty), load_chafa());
}

#else

std::unique_ptr<Display> open_terminal_display() {
    base::error(base::MSG_NO_GRAPHICS);
}

#endif

}  // namespace mirva::display
