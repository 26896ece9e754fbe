#pragma once

#include "assets/picture.h"
#include "platform/window_port.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace dravix {

enum class ElementKind { panel, picture };

// The window's two shapes. Opening grows the closed toggle `rise` pixels upward, so that the toggle
// ends at the bottom of the open strip, then widens it to show the information panel.
namespace shape {
inline constexpr int closedWidth = 26;
inline constexpr int closedHeight = 23;
inline constexpr int rise = 300;
inline constexpr int openWidth = 244;
inline constexpr int openHeight = closedHeight + rise;
} // namespace shape

using ElementIndex = int;
inline constexpr ElementIndex noElement = -1;

struct Element {
    std::string_view name;
    ElementKind kind = ElementKind::picture;
    ElementIndex parent = noElement; // noElement: the window itself
    int left = 0;                    // relative to the parent
    int top = 0;
    int width = 0;
    int height = 0;
    Rgb fill;                         // panels: shows where no child covers the panel
    const Picture* picture = nullptr; // pictures: the bitmap shown, opaque and unscaled
};

// The window's fixed set of panels and pictures, in creation order, and how they draw and
// take the pointer. The store pictures lie on the window's own black surface beyond the widest
// window, so only the panels and their pictures can ever be seen.
class Scene {
public:
    Scene();

    // Throws std::out_of_range for a name the window does not have.
    ElementIndex find(std::string_view name) const;
    const Element& element(ElementIndex index) const { return elements_[index]; }
    int elementCount() const { return static_cast<int>(elements_.size()); }

    void setTop(ElementIndex panel, int top);
    // The element shows a copy of the named store picture; its size never changes.
    void takePicture(ElementIndex target, std::string_view storeName);

    // Grows on every visible change, so a caller can skip composing when nothing changed.
    std::uint64_t revision() const { return revision_; }

    // Draws everything a window of this size shows, back to front.
    void compose(Frame& frame, int width, int height) const;
    // The front-most element under a window point, or noElement outside the window.
    ElementIndex hitTest(int x, int y, int width, int height) const;

private:
    std::vector<Element> elements_;
    std::uint64_t revision_ = 0;
};

} // namespace dravix
