#include "slots/slot_tip.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <vector>

namespace dravix {
namespace {

constexpr std::string_view ellipsis = "...";
// Between the strip and the tip, in screen pixels.
constexpr int gap = 4;

using Measure = std::function<PixelSize(const std::string&)>;

// Where each UTF-8 character of the text starts, and the text's end: a cut never splits one.
std::vector<std::size_t> characterStarts(const std::string& text) {
    std::vector<std::size_t> starts;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if ((static_cast<unsigned char>(text[at]) & 0xC0) != 0x80)
            starts.push_back(at);
    }
    starts.push_back(text.size());
    return starts;
}

// The text less `count` characters from the middle of its characters first to last (end
// excluded), with the ellipsis in their place. Each further character taken comes out of what
// the previous count kept, so the width only falls as the count grows.
std::string withoutMiddle(const std::string& text, const std::vector<std::size_t>& starts,
                          std::size_t first, std::size_t last, std::size_t count) {
    const std::size_t kept = last - first - count;
    const std::size_t cutFrom = starts[first + (kept + 1) / 2];
    const std::size_t cutTo = starts[last - kept / 2];
    return text.substr(0, cutFrom) + std::string(ellipsis) + text.substr(cutTo);
}

// The text with the fewest characters taken from between first and last that fits the width;
// nothing when even all of them taken does not.
std::optional<std::string> cutToFit(const std::string& text, const std::vector<std::size_t>& starts,
                                    std::size_t first, std::size_t last, int width,
                                    const Measure& measure) {
    const auto fits = [&](std::size_t count) {
        return measure(withoutMiddle(text, starts, first, last, count)).width <= width;
    };
    if (last <= first || !fits(last - first))
        return std::nullopt;
    std::size_t fewest = 1;
    std::size_t most = last - first;
    while (fewest < most) {
        const std::size_t count = fewest + (most - fewest) / 2;
        if (fits(count))
            most = count;
        else
            fewest = count + 1;
    }
    return withoutMiddle(text, starts, first, last, fewest);
}

// The path, shortened in the middle of its folders (then of its name) until its tip is no wider
// than the width.
std::string fittedText(const std::string& path, char separator, int width, const Measure& measure) {
    if (measure(path).width <= width)
        return path;
    const std::vector<std::size_t> starts = characterStarts(path);
    const std::size_t characters = starts.size() - 1;
    const std::size_t separatorAt = path.rfind(separator);
    if (separatorAt != std::string::npos) {
        // The folders are the characters before the last separator, which stays with the name.
        const std::size_t folders = static_cast<std::size_t>(
            std::lower_bound(starts.begin(), starts.end(), separatorAt) - starts.begin());
        if (std::optional<std::string> text = cutToFit(path, starts, 0, folders, width, measure))
            return *text;
    }
    if (std::optional<std::string> text = cutToFit(path, starts, 0, characters, width, measure))
        return *text;
    return std::string(ellipsis);
}

int clampedTo(long long value, long long low, long long high) {
    return static_cast<int>(std::max(low, std::min(value, high)));
}

} // namespace

TipLayout layOutTip(const std::string& path, char separator, const ScreenRect& strip, int rowTop,
                    const ScreenRect& workArea, const Measure& measure) {
    const long long rightRoom = workArea.right() - (strip.right() + gap);
    const long long leftRoom = static_cast<long long>(strip.left) - gap - workArea.left;
    const int fullWidth = measure(path).width;
    bool right = fullWidth <= rightRoom || (fullWidth > leftRoom && rightRoom >= leftRoom);
    long long room = right ? rightRoom : leftRoom;
    bool overStrip = false;
    if (fullWidth > room && room < workArea.width / 3) {
        overStrip = true;
        room = workArea.width;
    }
    TipLayout tip;
    tip.text = fittedText(path, separator, static_cast<int>(std::max(room, 0LL)), measure);
    const PixelSize size = measure(tip.text);
    long long left = 0;
    if (overStrip)
        left = workArea.left;
    else if (right)
        left = strip.right() + gap;
    else
        left = static_cast<long long>(strip.left) - gap - size.width;
    tip.at.left = clampedTo(left, workArea.left,
                            std::max<long long>(workArea.left, workArea.right() - size.width));
    tip.at.top = clampedTo(rowTop, workArea.top,
                           std::max<long long>(workArea.top, workArea.bottom() - size.height));
    return tip;
}

void SlotTip::pointerOver(int slot, const std::string& path, int rowOffset) {
    if (slot == slot_)
        return;
    hide();
    slot_ = slot;
    path_ = slot < 0 ? std::string() : path;
    rowOffset_ = rowOffset;
}

void SlotTip::tick() {
    if (shown_ || path_.empty() || ++restedTicks_ < restTicks)
        return;
    const WindowGeometry window = window_.geometry();
    const int scale = window_.scale();
    const ScreenRect strip{window.left, window.top, window.width * scale, window.height * scale};
    const TipLayout tip =
        layOutTip(path_, separator_, strip, saturatingAdd(window.top, rowOffset_ * scale),
                  window_.workAreaNear(strip),
                  [this](const std::string& text) { return window_.tipSize(text); });
    window_.showTip(tip.text, tip.at);
    shown_ = true;
}

void SlotTip::hide() {
    restedTicks_ = 0;
    if (!shown_)
        return;
    window_.hideTip();
    shown_ = false;
}

} // namespace dravix
