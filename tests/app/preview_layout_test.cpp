#include "app/preview_layout.h"

#include <gtest/gtest.h>

#include "app/tone_mapping.h"

namespace glintor {
namespace {

TEST(PreviewLayout, WindowSizeZoomAndPan) {
    PreviewLayout small = PreviewLayout::ForImage(640, 480);
    EXPECT_EQ(small.windowWidth, 640);
    EXPECT_EQ(small.windowHeight, 480);
    EXPECT_EQ(small.zoom, 1.0f);

    PreviewLayout big = PreviewLayout::ForImage(2048, 1536);
    EXPECT_EQ(big.windowWidth, 1024);
    EXPECT_EQ(big.windowHeight, 768);
    EXPECT_EQ(big.zoom, 0.5f);
    EXPECT_EQ(big.panX, 0.0f);
    EXPECT_EQ(big.panY, 0.0f);

    PreviewLayout wide = PreviewLayout::ForImage(2048, 768);
    EXPECT_EQ(wide.zoom, 0.5f);
    EXPECT_EQ(wide.panX, 0.0f);
    EXPECT_EQ(wide.panY, 192.0f);
}

TEST(PreviewLayout, Placement) {
    const PreviewLayout layout = PreviewLayout::ForImage(1024, 768);
    int x = -1, y = -1;
    layout.WindowPosition(1280, 1024, x, y);
    EXPECT_EQ(x, 128);
    EXPECT_EQ(y, 128);
    layout.WindowPosition(800, 600, x, y);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    // Within the 50-pixel margin the window is still centred, even at a negative position.
    layout.WindowPosition(1000, 740, x, y);
    EXPECT_EQ(x, -12);
    EXPECT_EQ(y, -14);
}

TEST(PreviewLayout, RightClickToggleSequence) {
    PreviewLayout layout = PreviewLayout::ForImage(640, 480);
    layout.ToggleFit();
    EXPECT_FALSE(layout.fitted);
    EXPECT_EQ(layout.zoom, 1.0f);
    EXPECT_EQ(layout.panX, 0.0f);
    layout.ToggleFit();
    EXPECT_TRUE(layout.fitted);
    EXPECT_EQ(layout.zoom, 1.0f);  // fitZoom of an image that needed no fitting

    PreviewLayout big = PreviewLayout::ForImage(2048, 1536);
    big.ToggleFit();
    EXPECT_EQ(big.zoom, 1.0f);
    EXPECT_EQ(big.panX, -512.0f);
    EXPECT_EQ(big.panY, -384.0f);
    big.ToggleFit();
    EXPECT_EQ(big.zoom, 0.5f);
    EXPECT_EQ(big.panX, 0.0f);
    // After a wheel step the zoom is neither 1 nor the fit zoom: the toggle fits again.
    big.WheelForward();
    big.ToggleFit();
    EXPECT_EQ(big.zoom, 0.5f);
    EXPECT_FALSE(big.fitted);
}

TEST(PreviewLayout, WheelLimits) {
    PreviewLayout layout = PreviewLayout::ForImage(640, 480);
    for (int i = 0; i < 200; ++i) {
        layout.WheelForward();
    }
    EXPECT_GE(layout.zoom, 6.0f);
    EXPECT_LT(layout.zoom, 6.075f);
    for (int i = 0; i < 200; ++i) {
        layout.WheelBack();
    }
    EXPECT_GT(layout.zoom, 0.125f);
    EXPECT_LE(layout.zoom, 0.2f);

    PreviewLayout pan = PreviewLayout::ForImage(640, 480);
    pan.WheelForward();
    EXPECT_EQ(pan.panX, -24.0f);  // floor(640 * 0.075) / 2
    EXPECT_EQ(pan.panY, -18.0f);
}

TEST(PreviewLayout, DragMovesOnlyWhileHeld) {
    PreviewLayout layout = PreviewLayout::ForImage(640, 480);
    EXPECT_FALSE(layout.Drag(10, 10));
    layout.PressLeft(100, 100);
    EXPECT_TRUE(layout.Drag(120, 90));
    EXPECT_EQ(layout.panX, 15.0f);
    EXPECT_EQ(layout.panY, 7.5f);
    layout.ReleaseLeft();
    EXPECT_FALSE(layout.Drag(0, 0));
}

TEST(ToneMapping, BoundsAndToneLine) {
    ToneMapping tone;
    tone.Reset(0.15f, 0.07f);
    tone.DecreaseGamma();
    EXPECT_FLOAT_EQ(tone.gamma, 0.1f);
    tone.DecreaseScale();
    EXPECT_FLOAT_EQ(tone.linearScale, 0.05f);
    tone.Reset(2.2f, 1.0f);
    EXPECT_EQ(tone.ToneLine(), "Gamma: 2.2 Linear Scale: 1.00");
    tone.IncreaseGamma();
    tone.IncreaseScale();
    EXPECT_EQ(tone.ToneLine(), "Gamma: 2.3 Linear Scale: 1.05");
}

}  // namespace
}  // namespace glintor
