#include "platform/monitors.h"

#include <algorithm>
#include <cassert>

namespace dravix {
namespace {

long long overlap(long long fromA, long long toA, long long fromB, long long toB) {
    return std::max(0LL, std::min(toA, toB) - std::max(fromA, fromB));
}

long long sharedArea(const ScreenRect& a, const ScreenRect& b) {
    return overlap(a.left, a.right(), b.left, b.right()) *
           overlap(a.top, a.bottom(), b.top, b.bottom());
}

// The gap between two spans on one axis, 0 when they meet or overlap.
long long gap(long long fromA, long long toA, long long fromB, long long toB) {
    return std::max({0LL, fromB - toA, fromA - toB});
}

// Squared, so that no root is needed to compare distances.
long long squaredDistance(const ScreenRect& a, const ScreenRect& b) {
    const long long dx = gap(a.left, a.right(), b.left, b.right());
    const long long dy = gap(a.top, a.bottom(), b.top, b.bottom());
    return dx * dx + dy * dy;
}

} // namespace

const Monitor& monitorFor(std::span<const Monitor> monitors, const ScreenRect& area) {
    assert(!monitors.empty() && "a desktop has at least one monitor");
    const Monitor* best = &monitors.front();
    long long bestShared = sharedArea(best->bounds, area);
    for (const Monitor& monitor : monitors.subspan(1)) {
        const long long shared = sharedArea(monitor.bounds, area);
        if (shared > bestShared) {
            best = &monitor;
            bestShared = shared;
        }
    }
    if (bestShared > 0)
        return *best;
    return *std::min_element(monitors.begin(), monitors.end(), [&](const auto& a, const auto& b) {
        return squaredDistance(a.bounds, area) < squaredDistance(b.bounds, area);
    });
}

} // namespace dravix
