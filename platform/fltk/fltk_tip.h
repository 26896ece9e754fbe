#pragma once

#include "platform/window_port.h"

#include <FL/Fl_Window.H>

#include <string>

namespace dravix::fltk {

// A one-line note in FLTK's tooltip look (its font, size and colours, a thin black border):
// an override-redirect window, so no window manager frames, moves or focuses it, that lets every
// pointer event through to whatever lies below it. On a dense screen its text and padding are the
// desktop's scale times larger, as the strip is.
class TipWindow final : public Fl_Window {
public:
    explicit TipWindow(int scale);

    // Shows the text with the window's top-left corner at the screen point; a shown tip takes
    // the new text and place.
    void showText(const std::string& text, Place at);
    // The size of the tip that shows the text at the scale.
    static PixelSize sizeFor(const std::string& text, int scale);

protected:
    void draw() override;

private:
    void useFont() const;

    std::string text_;
    int scale_;
};

} // namespace dravix::fltk
