// The few fixed-function OpenGL calls the popup draws with, found in the running process (the
// simulator has its context and library loaded), so the plug-in links no GL library itself.
#pragma once

namespace ui_gl {

enum : unsigned {
    kLines = 0x0001,
    kQuads = 0x0007,
    kTexture2D = 0x0DE1,
    kBlend = 0x0BE2,
};

struct Calls {
    void (*Begin)(unsigned mode) = nullptr;
    void (*End)() = nullptr;
    void (*Vertex2i)(int x, int y) = nullptr;
    void (*TexCoord2f)(float s, float t) = nullptr;
    void (*Color4f)(float r, float g, float b, float a) = nullptr;
    bool ok = false;
};

// The calls, looked up once; ok is false (and drawing is skipped) without GL in the process.
const Calls& GL();

} // namespace ui_gl
