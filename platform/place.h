#pragma once

namespace dravix {

// Where a window rests: screen pixels of its top-left corner.
struct Place {
    int left = 0;
    int top = 0;

    friend bool operator==(const Place&, const Place&) = default;
};

} // namespace dravix
