#include "scene/scene.h"

#include "assets/picture_store.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace dravix {
namespace {

constexpr Rgb defaultPanelFill{240, 240, 240};
constexpr Rgb slotPanelFill{0, 140, 200};
constexpr Rgb black{0, 0, 0};
// The information panel starts one column inside the closed toggle, so that column shows it.
constexpr int authLeft = shape::closedWidth - 1;

struct StorePlace {
    std::string_view name;
    int left;
    int top;
};

// The store pictures in creation order, all beyond the widest window.
// clang-format off
constexpr StorePlace storePlaces[] = {
    {"k1", 249, 232}, {"k2", 249, 256},
    {"kk0", 249, 8}, {"kk1", 249, 24}, {"kk2", 249, 40}, {"kk3", 249, 56}, {"kk4", 249, 72},
    {"kk5", 249, 88}, {"kk6", 249, 104}, {"kk7", 249, 120}, {"kk8", 249, 136}, {"kk9", 249, 152},
    {"kk20", 273, 8}, {"kk21", 273, 24}, {"kk22", 273, 40}, {"kk23", 273, 56}, {"kk24", 273, 72},
    {"kk25", 273, 88}, {"kk26", 273, 104}, {"kk27", 273, 120}, {"kk28", 273, 136},
    {"kk29", 273, 152},
    {"c0", 436, 8}, {"c1", 452, 8}, {"c2", 468, 8}, {"c3", 484, 8}, {"c4", 500, 8}, {"c5", 516, 8},
    {"c6", 436, 24}, {"c7", 452, 24}, {"c8", 468, 24}, {"c9", 484, 24},
    {"minmin", 500, 24}, {"space", 516, 24},
    {"ba", 436, 40}, {"bb", 452, 40}, {"bc", 468, 40}, {"bd", 484, 40}, {"be", 500, 40},
    {"bf", 516, 40}, {"bm", 516, 56}, {"bl", 500, 56}, {"bk", 484, 56}, {"bi", 468, 56},
    {"bh", 452, 56}, {"bg", 436, 56}, {"bn", 436, 72}, {"bo", 452, 72}, {"bp", 468, 72},
    {"bq", 484, 72}, {"br", 500, 72}, {"bt", 516, 72}, {"bz", 516, 88}, {"by", 500, 88},
    {"bx", 484, 88}, {"bw", 468, 88}, {"bv", 452, 88}, {"bu", 436, 88},
    {"toch", 532, 24}, {"bs", 436, 103}, {"bj", 452, 103},
};

// The window's elements are made in one fixed order, which here puts kn9 before kn8 and the glyph
// cells from the bottom up except for the top three. That order decides each element's number and
// which element lies in front. None of these overlap, so it changes no pixel and no hit; sorting
// the lists would only give the elements numbers and a stacking that differ from the window's.
// The slot buttons in creation order, with their rows inside the slot panel.
constexpr StorePlace slotButtons[] = {
    {"kn0", 4, 8}, {"kn1", 4, 28}, {"kn2", 4, 48}, {"kn3", 4, 68}, {"kn4", 4, 89},
    {"kn5", 4, 109}, {"kn6", 4, 129}, {"kn7", 4, 150}, {"kn9", 4, 192}, {"kn8", 4, 171},
};

// The glyph cells in creation order, w1 on top.
constexpr StorePlace glyphCells[] = {
    {"w6", 4, 281}, {"w5", 4, 268}, {"w4", 4, 255}, {"w1", 4, 216}, {"w2", 4, 229},
    {"w3", 4, 242},
};
// clang-format on

struct Rect {
    int left;
    int top;
    int right; // exclusive
    int bottom;

    Rect intersect(const Rect& other) const {
        return {std::max(left, other.left), std::max(top, other.top), std::min(right, other.right),
                std::min(bottom, other.bottom)};
    }
    bool empty() const { return left >= right || top >= bottom; }
    bool contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

} // namespace

Scene::Scene() {
    auto addPicture = [this](std::string_view name, ElementIndex parent, int left, int top,
                             std::string_view pictureName) {
        const Picture& picture = storePicture(pictureName);
        elements_.push_back({name, ElementKind::picture, parent, left, top, picture.width(),
                             picture.height(), black, &picture});
    };
    auto addPanel = [this](std::string_view name, int left, int top, int width, int height,
                           Rgb fill) {
        elements_.push_back(
            {name, ElementKind::panel, noElement, left, top, width, height, fill, nullptr});
        return static_cast<ElementIndex>(elements_.size() - 1);
    };

    for (const StorePlace& place : storePlaces)
        addPicture(place.name, noElement, place.left, place.top, place.name);

    const ElementIndex osn = addPanel("osn", 0, 0, shape::closedWidth, 351, defaultPanelFill);
    addPicture("osnBMP", osn, 0, 0, "osnBMP");

    const ElementIndex back =
        addPanel("back", 0, 32, shape::closedWidth, shape::rise, slotPanelFill);
    addPicture("backBMP", back, 0, 0, "backBMP");
    for (const StorePlace& place : slotButtons) {
        const std::string normal = "kk" + std::string(place.name.substr(2));
        addPicture(place.name, back, place.left, place.top, normal);
    }
    for (const StorePlace& place : glyphCells)
        addPicture(place.name, back, place.left, place.top, "space");

    const ElementIndex proc =
        addPanel("proc", 0, 0, shape::closedWidth, shape::closedHeight, defaultPanelFill);
    addPicture("ProcBMP", proc, 0, 0, "k1");

    const ElementIndex auth = addPanel("auth", authLeft, 0, shape::openWidth - authLeft,
                                       shape::openHeight, slotPanelFill);
    addPicture("authBmp", auth, 0, 0, "authBmp");
}

ElementIndex Scene::find(std::string_view name) const {
    auto found = std::find_if(elements_.begin(), elements_.end(),
                              [name](const Element& element) { return element.name == name; });
    if (found == elements_.end())
        throw std::out_of_range("no element named " + std::string(name));
    return static_cast<ElementIndex>(found - elements_.begin());
}

void Scene::setTop(ElementIndex panel, int top) {
    Element& element = elements_[panel];
    if (element.top == top)
        return;
    element.top = top;
    ++revision_;
}

void Scene::takePicture(ElementIndex target, std::string_view storeName) {
    const Picture& picture = storePicture(storeName);
    Element& element = elements_[target];
    if (picture.width() != element.width || picture.height() != element.height)
        throw std::logic_error("a picture of another size cannot be taken");
    if (element.picture == &picture)
        return;
    element.picture = &picture;
    ++revision_;
}

namespace {

Rect windowRect(int width, int height) {
    return {0, 0, width, height};
}

Rect boundsOf(const Element& element, const Rect& parent) {
    const int left = parent.left + element.left;
    const int top = parent.top + element.top;
    return {left, top, left + element.width, top + element.height};
}

void fillRect(Frame& frame, const Rect& rect, Rgb colour) {
    for (int y = rect.top; y < rect.bottom; ++y) {
        std::uint8_t* out = frame.rgb.data() + 3 * (y * frame.width + rect.left);
        for (int x = rect.left; x < rect.right; ++x) {
            *out++ = colour.red;
            *out++ = colour.green;
            *out++ = colour.blue;
        }
    }
}

// Copies the visible part of a picture whose top-left corner is at origin.
void drawPicture(Frame& frame, const Picture& picture, int originX, int originY,
                 const Rect& visible) {
    for (int y = visible.top; y < visible.bottom; ++y) {
        const std::uint8_t* in = picture.row(y - originY) + 3 * (visible.left - originX);
        std::uint8_t* out = frame.rgb.data() + 3 * (y * frame.width + visible.left);
        for (int x = visible.left; x < visible.right; ++x, in += 3) {
            *out++ = in[2];
            *out++ = in[1];
            *out++ = in[0];
        }
    }
}

} // namespace

void Scene::compose(Frame& frame, int width, int height) const {
    frame.width = width;
    frame.height = height;
    frame.rgb.assign(static_cast<std::size_t>(3) * width * height, 0);
    const Rect window = windowRect(width, height);

    for (ElementIndex index = 0; index < elementCount(); ++index) {
        const Element& element = elements_[index];
        if (element.parent != noElement)
            continue;
        const Rect bounds = boundsOf(element, window);
        const Rect visible = bounds.intersect(window);
        if (visible.empty())
            continue;
        if (element.kind == ElementKind::picture) {
            drawPicture(frame, *element.picture, bounds.left, bounds.top, visible);
            continue;
        }
        fillRect(frame, visible, element.fill);
        for (ElementIndex child = index + 1; child < elementCount(); ++child) {
            const Element& childElement = elements_[child];
            if (childElement.parent != index)
                continue;
            const Rect childBounds = boundsOf(childElement, bounds);
            const Rect childVisible = childBounds.intersect(visible);
            if (!childVisible.empty())
                drawPicture(frame, *childElement.picture, childBounds.left, childBounds.top,
                            childVisible);
        }
    }
}

ElementIndex Scene::hitTest(int x, int y, int width, int height) const {
    const Rect window = windowRect(width, height);
    if (!window.contains(x, y))
        return noElement;
    // Panels stack in front of the window's own pictures, later ones in front of earlier ones;
    // inside a panel, later children lie in front.
    for (ElementIndex index = elementCount() - 1; index >= 0; --index) {
        const Element& element = elements_[index];
        if (element.kind != ElementKind::panel)
            continue;
        const Rect bounds = boundsOf(element, window);
        if (!bounds.contains(x, y))
            continue;
        for (ElementIndex child = elementCount() - 1; child > index; --child) {
            const Element& childElement = elements_[child];
            if (childElement.parent == index && boundsOf(childElement, bounds).contains(x, y))
                return child;
        }
        return index;
    }
    for (ElementIndex index = elementCount() - 1; index >= 0; --index) {
        const Element& element = elements_[index];
        if (element.parent == noElement && element.kind == ElementKind::picture &&
            boundsOf(element, window).contains(x, y))
            return index;
    }
    return noElement;
}

} // namespace dravix
