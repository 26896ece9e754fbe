#include "strip/placement.h"

#include "scene/scene.h"

#include <algorithm>

namespace dravix {
namespace {

// The lowest bound wins when the two cross, so a work area narrower than the strip keeps its left
// end in view.
int clampInto(long long value, long long lowest, long long highest) {
    return static_cast<int>(std::max(lowest, std::min(value, highest)));
}

} // namespace

ScreenRect toggleAt(Place resting, int scale) {
    return {resting.left, resting.top, shape::closedWidth * scale, shape::closedHeight * scale};
}

Place nearestWholePlace(Place resting, const ScreenRect& workArea, int scale) {
    const long long lowestTop = static_cast<long long>(workArea.top) + shape::rise * scale;
    const long long highestTop = workArea.bottom() - shape::closedHeight * scale;
    const long long highestLeft = workArea.right() - shape::openWidth * scale;
    return {clampInto(resting.left, workArea.left, highestLeft),
            clampInto(resting.top, std::min(lowestTop, highestTop), highestTop)};
}

} // namespace dravix
