#include "app/preview_layout.h"

#include <algorithm>

namespace glintor {

PreviewLayout PreviewLayout::ForImage(int32_t width, int32_t height) {
    PreviewLayout layout;
    layout.imageWidth = width;
    layout.imageHeight = height;
    layout.windowWidth = std::min(width, 1024);
    layout.windowHeight = std::min(height, 768);
    if (width > 1024 || height > 768) {
        layout.fitZoom =
            std::min(1024.0f / static_cast<float>(width), 768.0f / static_cast<float>(height));
        layout.zoom = layout.fitZoom;
        layout.panX = (static_cast<float>(layout.windowWidth) - width * layout.zoom) * 0.5f;
        layout.panY = (static_cast<float>(layout.windowHeight) - height * layout.zoom) * 0.5f;
    }
    return layout;
}

void PreviewLayout::WindowPosition(int32_t screenWidth, int32_t screenHeight, int32_t& x,
                                   int32_t& y) const {
    if (screenWidth + 50 >= windowWidth && screenHeight + 50 >= windowHeight) {
        x = (screenWidth - windowWidth) / 2;
        y = (screenHeight - windowHeight) / 2;
    } else {
        x = 0;
        y = 0;
    }
}

void PreviewLayout::WheelForward() {
    if (zoom < 6.0f) {
        zoom += 0.075f;
        panX -= static_cast<float>(static_cast<int32_t>(imageWidth * 0.075f)) * 0.5f;
        panY -= static_cast<float>(static_cast<int32_t>(imageHeight * 0.075f)) * 0.5f;
    }
}

void PreviewLayout::WheelBack() {
    if (zoom > 0.2f) {
        zoom -= 0.075f;
        panX += static_cast<float>(static_cast<int32_t>(imageWidth * 0.075f)) * 0.5f;
        panY += static_cast<float>(static_cast<int32_t>(imageHeight * 0.075f)) * 0.5f;
    }
}

void PreviewLayout::ToggleFit() {
    if (fitted && (zoom == 1.0f || zoom == fitZoom)) {
        zoom = 1.0f;
        panX = static_cast<float>(windowWidth - imageWidth) * 0.5f;
        panY = static_cast<float>(windowHeight - imageHeight) * 0.5f;
    } else {
        zoom = fitZoom;
        panX = (static_cast<float>(windowWidth) - imageWidth * fitZoom) * 0.5f;
        panY = (static_cast<float>(windowHeight) - imageHeight * fitZoom) * 0.5f;
    }
    fitted = !fitted;
}

void PreviewLayout::PressLeft(int32_t x, int32_t y) {
    dragging = true;
    lastX = x;
    lastY = y;
}

bool PreviewLayout::Drag(int32_t x, int32_t y) {
    if (!dragging) {
        return false;
    }
    panX += static_cast<float>(x - lastX) * 0.75f;
    panY -= static_cast<float>(y - lastY) * 0.75f;  // window y grows downwards
    lastX = x;
    lastY = y;
    return true;
}

}  // namespace glintor
