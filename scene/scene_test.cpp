#include "scene/scene.h"

#include "assets/picture_store.h"
#include "tests/support/frame_shows.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace dravix {
namespace {

using testing::frameShows;

const Picture& store(const std::string& name) {
    return storePicture(name);
}

TEST(SceneComposition, ClosedToggleShowsItsPictureButTheRightmostColumnShowsTheInformationPanel) {
    Scene scene;
    Frame frame;
    scene.compose(frame, 26, 23);
    EXPECT_TRUE(frameShows(frame, 0, 0, store("k1"), 0, 25));
    EXPECT_TRUE(frameShows(frame, 25, 0, store("authBmp"), 0, 1, 23)) << "column x = 25";
}

// Open geometry as the slide leaves it: the slot panel at the top, the toggle at the bottom.
Frame openFrame(Scene& scene) {
    scene.setTop(scene.find("back"), 0);
    scene.setTop(scene.find("proc"), 300);
    scene.takePicture(scene.find("ProcBMP"), "k2");
    Frame frame;
    scene.compose(frame, 244, 323);
    return frame;
}

TEST(SceneComposition, OpenStripShowsSlotPanelButtonsCellsToggleAndInformationPanel) {
    Scene scene;
    const Frame frame = openFrame(scene);

    EXPECT_TRUE(frameShows(frame, 25, 0, store("authBmp")));
    EXPECT_TRUE(frameShows(frame, 0, 300, store("k2"), 0, 25));
    const int buttonTops[10] = {8, 28, 48, 68, 89, 109, 129, 150, 171, 192};
    for (int slot = 0; slot < 10; ++slot)
        EXPECT_TRUE(frameShows(frame, 4, buttonTops[slot], store("kk" + std::to_string(slot))))
            << "slot " << slot;
    for (int cell = 0; cell < 6; ++cell)
        EXPECT_TRUE(frameShows(frame, 4, 216 + 13 * cell, store("space"))) << "cell " << cell;
    // The slot panel's background shows around the buttons, for instance its left columns.
    EXPECT_TRUE(frameShows(frame, 0, 0, store("backBMP"), 0, 4));
}

TEST(SceneComposition, SettledStatesNeverShowTheBlackSurface) {
    // The backdrop and the slot panel have black in their artwork, so look for the surface
    // through a scene whose panels are known: every pixel must belong to some panel's picture.
    Scene scene;
    Frame closed;
    scene.compose(closed, 26, 23);
    Frame open = openFrame(scene);
    for (const Frame* frame : {&closed, &open}) {
        for (int y = 0; y < frame->height; ++y) {
            for (int x = 0; x < frame->width; ++x) {
                ASSERT_NE(scene.hitTest(x, y, frame->width, frame->height), noElement)
                    << x << ", " << y;
            }
        }
    }
    // Only a window that a manager makes larger than the strip shows it, below and beside.
    Frame larger;
    scene.compose(larger, 250, 360);
    for (const std::size_t pixel : {std::size_t{250 * 359 + 10}, std::size_t{250 * 100 + 247}})
        EXPECT_EQ(std::vector<std::uint8_t>(larger.rgb.begin() + 3 * pixel,
                                            larger.rgb.begin() + 3 * pixel + 3),
                  (std::vector<std::uint8_t>{0, 0, 0}))
            << pixel;
}

TEST(SceneComposition, FirstOpeningShowsBackdropBetweenRaisedPanelAndToggle) {
    Scene scene;
    scene.setTop(scene.find("back"), -68);
    scene.setTop(scene.find("proc"), 300);
    Frame frame;
    scene.compose(frame, 26, 323);
    // The slot panel's rows 68..299 stand at y 0..231; the backdrop shows from y 232 to 299.
    const Picture& back = store("backBMP");
    EXPECT_EQ(frame.rgb[0], back.pixel(0, 68).red);
    const Picture& backdrop = store("osnBMP");
    for (int y = 232; y < 300; ++y) {
        const std::uint8_t* shown = frame.rgb.data() + 3 * (y * 26);
        const Rgb expected = backdrop.pixel(0, y);
        ASSERT_EQ(shown[0], expected.red) << "y " << y;
        ASSERT_EQ(shown[1], expected.green) << "y " << y;
        ASSERT_EQ(shown[2], expected.blue) << "y " << y;
    }
}

TEST(SceneComposition, LoweredSlotPanelIsHiddenByTheToggleInTheTallWindow) {
    Scene scene;
    scene.setTop(scene.find("back"), 300);
    scene.setTop(scene.find("proc"), 300);
    Frame frame;
    scene.compose(frame, 26, 323);
    EXPECT_TRUE(frameShows(frame, 0, 300, store("k1"), 0, 25));
    EXPECT_EQ(scene.hitTest(5, 305, 26, 323), scene.find("ProcBMP"));
}

TEST(SceneComposition, NoStorePictureIsVisibleUpToTheWidestWindow) {
    Scene scene;
    for (ElementIndex index = 0; index < scene.elementCount(); ++index) {
        const Element& element = scene.element(index);
        if (element.parent == noElement && element.kind == ElementKind::picture) {
            EXPECT_GE(element.left, 244) << element.name;
        }
    }
}

TEST(SceneHitTesting, FrontMostElementTakesThePointer) {
    Scene scene;
    EXPECT_EQ(scene.hitTest(10, 10, 26, 23), scene.find("ProcBMP"));
    EXPECT_EQ(scene.hitTest(25, 10, 26, 23), scene.find("authBmp")) << "dead rightmost column";
    EXPECT_EQ(scene.hitTest(26, 10, 26, 23), noElement) << "outside the window";
    EXPECT_EQ(scene.hitTest(-1, 10, 26, 23), noElement);

    scene.setTop(scene.find("back"), 0);
    scene.setTop(scene.find("proc"), 300);
    EXPECT_EQ(scene.hitTest(4, 68, 244, 323), scene.find("kn3"));
    EXPECT_EQ(scene.hitTest(24, 68, 244, 323), scene.find("kn3"));
    EXPECT_EQ(scene.hitTest(25, 68, 244, 323), scene.find("authBmp"));
    EXPECT_EQ(scene.hitTest(3, 68, 244, 323), scene.find("backBMP"));
    EXPECT_EQ(scene.hitTest(4, 216, 244, 323), scene.find("w1"));
}

TEST(ScenePictures, TakingAPictureKeepsSizeAndRejectsAnotherSize) {
    Scene scene;
    const ElementIndex cell = scene.find("w1");
    const std::uint64_t before = scene.revision();
    scene.takePicture(cell, "bq");
    EXPECT_EQ(scene.element(cell).picture, &store("bq"));
    EXPECT_GT(scene.revision(), before);
    const std::uint64_t afterChange = scene.revision();
    scene.takePicture(cell, "bq");
    EXPECT_EQ(scene.revision(), afterChange) << "the same picture again changes nothing";
    EXPECT_THROW(scene.takePicture(cell, "k1"), std::logic_error);
    EXPECT_THROW(scene.takePicture(scene.find("ProcBMP"), "osnBMP"), std::logic_error)
        << "as wide, taller";
    EXPECT_EQ(scene.element(cell).width, 13);
}

TEST(ScenePictures, ElementsStartWithTheirStorePictures) {
    Scene scene;
    EXPECT_EQ(scene.element(scene.find("ProcBMP")).picture, &store("k1"));
    for (int slot = 0; slot < 10; ++slot) {
        const std::string digit = std::to_string(slot);
        EXPECT_EQ(scene.element(scene.find("kn" + digit)).picture, &store("kk" + digit));
    }
    for (const char* cell : {"w1", "w2", "w3", "w4", "w5", "w6"})
        EXPECT_EQ(scene.element(scene.find(cell)).picture, &store("space"));
    EXPECT_THROW(scene.find("nothing"), std::out_of_range);
}

} // namespace
} // namespace dravix
