#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <utility>
#include <vector>

#include "base/failure.h"
#include "display/graphics.h"
#include "screen/palette.h"

namespace mirva::testing {

/// A display that records every call made to it and plays keys from a script on a virtual
/// clock: pause moves the clock on, and a key is waiting from its time until it is taken.
class RecordingDisplay final : public display::Display {
public:
    enum class Call { GraphicsOn, GraphicsOff, Palette, ShowFrame, PollKey, ReadKey, Pause };

    struct Entry {
        Call call = Call::GraphicsOn;
        int index = 0;                      // Palette: the entry set.
        screen::Rgb colour{};               // Palette: its components.
        std::vector<std::uint8_t> frame{};  // ShowFrame: a copy of the frame.
        int milliseconds = 0;               // Pause: its length.
        int key = 0;                        // PollKey, ReadKey: the result.
        int clock = 0;                      // The virtual time of the call.
    };

    std::vector<Entry> calls;
    /// A call that throws a Failure instead of doing its work (after it is recorded).
    std::optional<Call> fail_at;

    /// Schedules a key to arrive at the given virtual time; keys are given in time order.
    void press(int at_milliseconds, int key) { script_.emplace_back(at_milliseconds, key); }

    void graphics_on() override { record({.call = Call::GraphicsOn}); }
    void graphics_off() override { record({.call = Call::GraphicsOff}); }
    void set_palette_entry(int index, std::uint8_t red, std::uint8_t green,
                           std::uint8_t blue) override {
        record({.call = Call::Palette, .index = index, .colour = {red, green, blue}});
    }
    void show_frame(std::span<const std::uint8_t> frame) override {
        record({.call = Call::ShowFrame, .frame = {frame.begin(), frame.end()}});
    }
    int poll_key() override {
        int key = 0;
        if (next_ < script_.size() && script_[next_].first <= clock_)
            key = script_[next_++].second;
        record({.call = Call::PollKey, .key = key});
        return key;
    }
    int read_key() override {
        if (next_ >= script_.size())
            throw std::logic_error("read_key would wait for ever");
        clock_ = std::max(clock_, script_[next_].first);
        int key = script_[next_++].second;
        record({.call = Call::ReadKey, .key = key});
        return key;
    }
    void pause(int milliseconds) override {
        record({.call = Call::Pause, .milliseconds = milliseconds});
        clock_ += milliseconds;
    }

    /// The kinds of the calls, in order.
    std::vector<Call> kinds() const {
        std::vector<Call> result;
        for (const auto& entry : calls)
            result.push_back(entry.call);
        return result;
    }
    /// The calls of one kind, in order.
    std::vector<Entry> of(Call call) const {
        std::vector<Entry> result;
        std::copy_if(calls.begin(), calls.end(), std::back_inserter(result),
                     [call](const Entry& entry) { return entry.call == call; });
        return result;
    }
    int clock() const { return clock_; }

private:
    void record(Entry entry) {
        entry.clock = clock_;
        Call call = entry.call;
        calls.push_back(std::move(entry));
        if (fail_at == call)
            throw base::Failure("failure from the display");
    }

    std::vector<std::pair<int, int>> script_;
    std::size_t next_ = 0;
    int clock_ = 0;
};

}  // namespace mirva::testing
