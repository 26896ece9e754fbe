#include "access/accessible_model.h"

#include "app/core_fixture.h"

#include <gtest/gtest.h>

#include <sstream>

namespace dravix {
namespace {

using testing::CoreFixture;

// The window as a screen reader finds it, driven through the whole core: slot 3 holds a file that
// is there, slot 5 a file whose display name is empty, slot 7 a gone file with a name that is no
// UTF-8; the others are empty.
class AccessibleWindow : public CoreFixture {
protected:
    void startWithSlots(int scale) {
        desktop.setScale(scale);
        std::string lines;
        for (int slot = 0; slot < slotCount; ++slot) {
            const char* path = slot == 3   ? "/apps/three.sh"
                               : slot == 5 ? "/apps/.profile"
                               : slot == 7 ? "/gone/caf\xE9"
                                           : "";
            const char* name = slot == 3 ? "three" : slot == 7 ? "caf\xE9" : "";
            lines += std::string(path) + "\r\n" + name + "\r\n";
        }
        existing("/apps/three.sh");
        start(lines, std::string("532\r\n196\r\n"));
        desktop.takeAccessibleEvents();
    }

    // Words of the script: open (a click on the toggle, then the slide to its end), press N (a
    // screen reader presses node N), tab, backtab, enter, space, escape, up, settle, and
    // drop N PATH (a file dropped on slot N's button).
    void run(const std::string& script) {
        std::istringstream words(script);
        for (std::string word; words >> word;) {
            if (word == "open") {
                click("ProcBMP");
                tickUntilSettled();
            } else if (word == "press") {
                int node = 0;
                words >> node;
                form->accessiblePress(node);
            } else if (word == "drop") {
                int slot = 0;
                std::string path;
                words >> slot >> path;
                const testing::Point point = centreOf("kn" + std::to_string(slot));
                form->fileDropped(point.x, point.y, path);
            } else if (word == "settle") {
                tickUntilSettled();
            } else {
                const int key = word == "tab"       ? vkTab
                                : word == "backtab" ? vkShiftTab
                                : word == "enter"   ? vkReturn
                                : word == "space"   ? vkSpace
                                : word == "escape"  ? vkEscape
                                : word == "up"      ? vkUp
                                                    : 0;
                ASSERT_NE(key, 0) << "no such word: " << word;
                form->keyDown(key);
            }
        }
    }

    // "children 0, state 0, focus 4"
    static std::string spoken(const std::vector<AccessibleEvent>& events) {
        static constexpr const char* changes[] = {"children", "name", "state", "focus"};
        std::ostringstream text;
        for (const AccessibleEvent& event : events) {
            text << (&event == events.data() ? "" : ", ") << changes[static_cast<int>(event.change)]
                 << " " << event.node;
        }
        return text.str();
    }
};

TEST_F(AccessibleWindow, TheModelsRules) {
    const struct {
        int scale;
        const char* script;
        const char* events; // told to the backend during the script
        int nodes;          // after it
        int focusedNode;    // the one node that is focused
        int shownSlot;      // what the glyph cells spell, plus one
        int launches;       // of /apps/three.sh
        const char* error;  // the box shown, or nothing
        int node;           // a node looked at, or -1
        const char* name;   // its name, description and shortcut
        const char* description;
        const char* shortcut;
        ScreenRect extents;
    } rows[] = {
        // clang-format off
        // Closed: the toggle alone, named after the program.
        {1, "", "", 1, 0, 0, 0, nullptr, 0, "Dravix", "", "", {196, 532, 26, 23}},
        {2, "", "", 1, 0, 0, 0, nullptr, 0, "Dravix", "", "", {196, 600, 52, 46}},
        // Open: ten push buttons in slot order, named as the slot is, with the path and digit.
        {1, "open", "children 0, state 0", 11, 0, 0, 0, nullptr,
         4, "three", "/apps/three.sh", "3", {200, 300, 21, 13}},
        {2, "open", "children 0, state 0", 11, 0, 0, 0, nullptr,
         1, "Empty slot 0", "", "0", {204, 16, 42, 26}},
        {1, "open", "children 0, state 0", 11, 0, 0, 0, nullptr,
         6, "/apps/.profile", "/apps/.profile", "5", {200, 341, 21, 13}},
        {1, "open", "children 0, state 0", 11, 0, 0, 0, nullptr,
         8, "caf\xEF\xBF\xBD", "/gone/caf\xEF\xBF\xBD", "7", {}},
        {1, "open", "children 0, state 0", 11, 0, 0, 0, nullptr,
         0, "Dravix", "", "", {196, 532, 26, 23}},
        // A press on the toggle is a left click on it: it opens, and closes the open strip.
        {1, "press 0", "children 0, state 0", 11, 0, 0, 0, nullptr, -1, "", "", "", {}},
        {1, "open press 0 settle", "children 0, state 0, children 0, state 0", 1, 0, 0, 0, nullptr,
         -1, "", "", "", {}},
        // A press on a slot is a left release on it: it starts and the strip closes; an empty
        // slot only closes; a gone file leaves the box and the open strip.
        {1, "open press 4", "children 0, state 0, children 0, state 0", 1, 0, 0, 1, nullptr,
         -1, "", "", "", {}},
        {1, "open press 1", "children 0, state 0, children 0, state 0", 1, 0, 0, 0, nullptr,
         -1, "", "", "", {}},
        {1, "open press 8", "children 0, state 0", 11, 0, 0, 0, "File not found.",
         -1, "", "", "", {}},
        {1, "press 4 press 11 press -1", "", 1, 0, 0, 0, nullptr, -1, "", "", "", {}},
        // Tab and Shift+Tab go round the slots, shown in the glyph cells; Enter or Space starts
        // the focused one; the arrows stay the nudge.
        {1, "open tab", "children 0, state 0, focus 1", 11, 1, 1, 0, nullptr,
         1, "Empty slot 0", "", "0", {}},
        {1, "open backtab", "children 0, state 0, focus 10", 11, 10, 10, 0, nullptr,
         -1, "", "", "", {}},
        {1, "open backtab tab", "children 0, state 0, focus 10, focus 1", 11, 1, 1, 0, nullptr,
         -1, "", "", "", {}},
        {1, "open tab tab tab tab up", "children 0, state 0, focus 1, focus 2, focus 3, focus 4",
         11, 4, 4, 0, nullptr, -1, "", "", "", {}},
        {1, "open tab tab tab tab enter",
         "children 0, state 0, focus 1, focus 2, focus 3, focus 4, children 0, state 0, focus 0",
         1, 0, 4, 1, nullptr, -1, "", "", "", {}},
        {1, "open tab tab tab tab space",
         "children 0, state 0, focus 1, focus 2, focus 3, focus 4, children 0, state 0, focus 0",
         1, 0, 4, 1, nullptr, -1, "", "", "", {}},
        {1, "open enter space", "children 0, state 0", 11, 0, 0, 0, nullptr, -1, "", "", "", {}},
        {1, "open tab escape", "children 0, state 0, focus 1, children 0, state 0, focus 0",
         1, 0, 1, 0, nullptr, -1, "", "", "", {}},
        {1, "tab enter", "", 1, 0, 0, 0, nullptr, -1, "", "", "", {}},
        // The strip closes with the focus on a slot: the next opening starts from the toggle.
        {1, "open tab tab escape settle open",
         "children 0, state 0, focus 1, focus 2, children 0, state 0, focus 0, children 0, state 0",
         11, 0, 2, 0, nullptr, -1, "", "", "", {}},
        // An assignment renames its slot's node.
        {1, "open drop 2 /apps/two.sh", "children 0, state 0, name 3", 11, 0, 0, 0, nullptr,
         3, "two", "/apps/two.sh", "2", {}},
        // clang-format on
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.script) + " at scale " + std::to_string(row.scale));
        startWithSlots(row.scale);
        run(row.script);
        EXPECT_EQ(spoken(desktop.takeAccessibleEvents()), row.events);
        const std::vector<AccessibleNode> nodes = form->accessibleNodes();
        ASSERT_EQ(nodes.size(), static_cast<std::size_t>(row.nodes));
        for (std::size_t i = 0; i < nodes.size(); ++i) {
            EXPECT_EQ(nodes[i].id, static_cast<int>(i));
            EXPECT_EQ(nodes[i].focused, nodes[i].id == row.focusedNode) << "node " << i;
            EXPECT_EQ(nodes[i].expandable, i == 0);
        }
        EXPECT_EQ(nodes[0].expanded, row.nodes > 1);
        EXPECT_EQ(form->glyphs().shownSlot(), row.shownSlot);
        EXPECT_EQ(desktop.launches().size(), static_cast<std::size_t>(row.launches));
        EXPECT_EQ(desktop.errors(),
                  row.error ? std::vector<std::string>{row.error} : std::vector<std::string>{});
        if (row.node >= 0) {
            const AccessibleNode& node = nodes.at(static_cast<std::size_t>(row.node));
            EXPECT_EQ(node.name, row.name);
            EXPECT_EQ(node.description, row.description);
            EXPECT_EQ(node.shortcut, row.shortcut);
            if (row.extents != ScreenRect{}) {
                EXPECT_EQ(node.extents, row.extents);
            }
        }
        form.reset();
        desktop.startNewProcess();
    }
}

TEST(ValidUtf8, KeepsValidSequencesAndReplacesEveryOtherByte) {
    const std::string replacement = "\xEF\xBF\xBD";
    EXPECT_EQ(validUtf8("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"),
              "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80");
    EXPECT_EQ(validUtf8(std::string("a\0b", 3)), "a" + replacement + "b");
    EXPECT_EQ(validUtf8("\xC0\xAF"), replacement + replacement);                   // overlong
    EXPECT_EQ(validUtf8("\xED\xA0\x80"), replacement + replacement + replacement); // surrogate
    EXPECT_EQ(validUtf8("\xF4\x90\x80\x80x"),
              replacement + replacement + replacement + replacement + "x"); // above U+10FFFF
    EXPECT_EQ(validUtf8("\xE2\x82"), replacement + replacement);            // cut short
}

} // namespace
} // namespace dravix
