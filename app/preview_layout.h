// The preview window's geometry and mouse arithmetic, apart from any window-system call so that
// it can be tested without a display: initial size, fit zoom and placement, wheel zoom, the
// right-button fit toggle and dragging.
#pragma once

#include <cstdint>

namespace glintor {

struct PreviewLayout {
    int32_t imageWidth = 0;
    int32_t imageHeight = 0;
    int32_t windowWidth = 0;
    int32_t windowHeight = 0;
    float zoom = 1.0f;
    float fitZoom = 1.0f;
    bool fitted = true;
    float panX = 0.0f;  // window position of the image's lower-left corner
    float panY = 0.0f;
    bool dragging = false;
    int32_t lastX = 0;
    int32_t lastY = 0;

    // Window at most 1024 x 768; larger images are zoomed to fit and centred.
    static PreviewLayout ForImage(int32_t width, int32_t height);

    // Top-left window position on a screen: centred when it fits within a 50-pixel margin,
    // otherwise (0, 0).
    void WindowPosition(int32_t screenWidth, int32_t screenHeight, int32_t& x, int32_t& y) const;

    void Reshape(int32_t width, int32_t height) {
        windowWidth = width;
        windowHeight = height;
    }
    void WheelForward();  // zoom in while below 6
    void WheelBack();     // zoom out while above 0.2
    void ToggleFit();     // right button: 1:1 centred <-> fitted
    void PressLeft(int32_t x, int32_t y);
    void ReleaseLeft() { dragging = false; }
    // Answers whether the image moved (only while dragging).
    bool Drag(int32_t x, int32_t y);
};

}  // namespace glintor
