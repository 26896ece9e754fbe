#include "platform/held_buttons.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

using dravix::HeldButtons;
using dravix::MouseButton;
using dravix::Release;

MouseButton buttonNamed(char name) {
    return name == 'L' ? MouseButton::left : name == 'R' ? MouseButton::right : MouseButton::middle;
}

// Plays steps separated by spaces: "dL" presses the left button, "uM" releases the middle one,
// "x" loses the capture, "?" asks whether the pointer is captured. Returns what the releases,
// losses and questions answered, in order.
std::string play(HeldButtons buttons, const std::string& steps) {
    std::istringstream in(steps);
    std::string step, answers;
    const char* const releases[] = {"held", "lost", "unseen"};
    while (in >> step) {
        if (step[0] == 'd')
            buttons.press(buttonNamed(step[1]));
        else if (step[0] == 'u')
            answers += releases[static_cast<int>(buttons.release(buttonNamed(step[1])))];
        else if (step == "x")
            answers += buttons.loseCapture() ? "captureLost" : "noCapture";
        else
            answers += buttons.capturing() ? "captured" : "free";
        answers += step[0] == 'd' ? "" : " ";
    }
    return answers;
}

TEST(HeldButtons, APressIsHeldUntilItsReleaseOrUntilTheCaptureIsLost) {
    constexpr auto left = MouseButton::left, right = MouseButton::right;
    constexpr auto middle = MouseButton::middle;
    // The buttons that capture for the core's routing, for Windows and for X.
    const HeldButtons routing{left}, windows{left, middle}, x{left, right, middle};
    struct Case {
        const char* what;
        HeldButtons buttons;
        const char* steps;
        const char* answers;
    };
    // clang-format off
    const Case cases[] = {
        {"a release ends the press it belongs to",
         routing, "? dL ? uL ? uL",      "free captured held free unseen "},
        {"a release with no press is unseen",
         routing, "uL uR",               "unseen unseen "},
        {"a loss forgets the press; its release is lost, once",
         routing, "dL x ? uL uL",        "captureLost free lost unseen "},
        {"with nothing held there is no capture to lose",
         routing, "x dL uL x",           "noCapture held noCapture "},
        {"a button that captures nothing is no capture",
         routing, "dR ? x uR",           "free noCapture held "},
        {"and stays held through a loss",
         windows, "dL dR x uR uL",       "captureLost held lost "},
        {"a press after a loss is held again",
         routing, "dL x dL ? uL uL",     "captureLost captured held unseen "},
        {"a second press while held is still one press",
         routing, "dL dL uL uL",         "held unseen "},
        {"the capture stays while another capturing button is held",
         windows, "dL dM uL ? uM ?",     "held captured held free "},
        {"a loss forgets every capturing button",
         x,       "dL dR dM x uM uR uL", "captureLost lost lost lost "},
        {"a loss forgets no release already made",
         routing, "dL uL x uL",          "held noCapture unseen "},
    };
    // clang-format on
    for (const Case& c : cases)
        EXPECT_EQ(play(c.buttons, c.steps), c.answers) << c.what << ": " << c.steps;
}

TEST(HeldButtons, KnowsWhichButtonsCaptureAndWhichAreHeld) {
    HeldButtons buttons{MouseButton::left, MouseButton::middle};
    EXPECT_TRUE(buttons.captures(MouseButton::left));
    EXPECT_FALSE(buttons.captures(MouseButton::right));
    EXPECT_TRUE(buttons.captures(MouseButton::middle));
    buttons.press(MouseButton::right);
    EXPECT_TRUE(buttons.held(MouseButton::right));
    EXPECT_FALSE(buttons.held(MouseButton::left));
    EXPECT_FALSE(buttons.held(MouseButton::middle));
}

} // namespace
