// Pictures of the simulated screen: an offscreen OpenGL context (EGL, surfaceless Mesa), simple
// stand-ins for the host's window, element and text drawing, and a PNG writer.
#include "render.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "font8x12.h"
#include "host.h"

namespace hostsim {
namespace {

struct Context {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLContext context = EGL_NO_CONTEXT;
    EGLSurface surface = EGL_NO_SURFACE;
    int width = 0, height = 0;
};

Context g_ctx;
bool g_rendering = false;

bool MakeContext(int width, int height, std::string* error) {
    Context& c = g_ctx;
    if (c.context != EGL_NO_CONTEXT && c.width == width && c.height == height)
        return eglMakeCurrent(c.display, c.surface, c.surface, c.context) == EGL_TRUE;
    if (c.display == EGL_NO_DISPLAY) {
        auto get_display =
            reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
        c.display = get_display ? get_display(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr)
                                : eglGetDisplay(EGL_DEFAULT_DISPLAY);
        EGLint major = 0, minor = 0;
        if (c.display == EGL_NO_DISPLAY || eglInitialize(c.display, &major, &minor) != EGL_TRUE) {
            if (error) *error = "no EGL display (Mesa's surfaceless platform is needed)";
            c.display = EGL_NO_DISPLAY;
            return false;
        }
        eglBindAPI(EGL_OPENGL_API);
    }
    if (c.surface != EGL_NO_SURFACE) eglDestroySurface(c.display, c.surface);
    if (c.context != EGL_NO_CONTEXT) eglDestroyContext(c.display, c.context);
    c.surface = EGL_NO_SURFACE;
    c.context = EGL_NO_CONTEXT;
    const EGLint config_attrs[] = {EGL_SURFACE_TYPE,
                                   EGL_PBUFFER_BIT,
                                   EGL_RED_SIZE,
                                   8,
                                   EGL_GREEN_SIZE,
                                   8,
                                   EGL_BLUE_SIZE,
                                   8,
                                   EGL_ALPHA_SIZE,
                                   8,
                                   EGL_RENDERABLE_TYPE,
                                   EGL_OPENGL_BIT,
                                   EGL_NONE};
    EGLConfig config = nullptr;
    EGLint count = 0;
    if (eglChooseConfig(c.display, config_attrs, &config, 1, &count) != EGL_TRUE || count < 1) {
        if (error) *error = "no EGL configuration with a pbuffer and desktop OpenGL";
        return false;
    }
    const EGLint surface_attrs[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    c.surface = eglCreatePbufferSurface(c.display, config, surface_attrs);
    c.context = eglCreateContext(c.display, config, EGL_NO_CONTEXT, nullptr);
    if (c.surface == EGL_NO_SURFACE || c.context == EGL_NO_CONTEXT ||
        eglMakeCurrent(c.display, c.surface, c.surface, c.context) != EGL_TRUE) {
        if (error) *error = "cannot make an offscreen OpenGL context";
        return false;
    }
    c.width = width;
    c.height = height;
    return true;
}

// ---- PNG: stored (uncompressed) deflate blocks, so no library is needed ----

uint32_t Crc(const uint8_t* data, size_t n, uint32_t crc = 0) {
    static uint32_t table[256];
    static bool ready = false;
    if (!ready) {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[i] = c;
        }
        ready = true;
    }
    crc = ~crc;
    for (size_t i = 0; i < n; ++i)
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8)
        out.push_back(static_cast<uint8_t>(v >> s));
}

void Chunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& data) {
    Put32(png, static_cast<uint32_t>(data.size()));
    std::vector<uint8_t> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    png.insert(png.end(), body.begin(), body.end());
    Put32(png, Crc(body.data(), body.size()));
}

bool WritePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb_top_down) {
    std::vector<uint8_t> raw;
    raw.reserve(static_cast<size_t>(height) * (width * 3 + 1));
    for (int y = 0; y < height; ++y) {
        raw.push_back(0); // no filter
        const uint8_t* row = rgb_top_down.data() + static_cast<size_t>(y) * width * 3;
        raw.insert(raw.end(), row, row + width * 3);
    }
    std::vector<uint8_t> z = {0x78, 0x01};
    for (size_t pos = 0; pos < raw.size() || pos == 0;) {
        const size_t n = std::min<size_t>(65535, raw.size() - pos);
        const bool last = pos + n >= raw.size();
        z.push_back(last ? 1 : 0);
        z.push_back(static_cast<uint8_t>(n));
        z.push_back(static_cast<uint8_t>(n >> 8));
        z.push_back(static_cast<uint8_t>(~n));
        z.push_back(static_cast<uint8_t>(~n >> 8));
        z.insert(z.end(), raw.begin() + static_cast<long>(pos), raw.begin() + static_cast<long>(pos + n));
        pos += n;
        if (last) break;
    }
    uint32_t a = 1, b = 0;
    for (uint8_t v : raw) {
        a = (a + v) % 65521;
        b = (b + a) % 65521;
    }
    Put32(z, (b << 16) | a);

    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> ihdr;
    Put32(ihdr, static_cast<uint32_t>(width));
    Put32(ihdr, static_cast<uint32_t>(height));
    ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0}); // 8-bit RGB
    Chunk(png, "IHDR", ihdr);
    Chunk(png, "IDAT", z);
    Chunk(png, "IEND", {});
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(png.data(), 1, png.size(), f) == png.size();
    return std::fclose(f) == 0 && ok;
}

void Fill(int l, int b, int r, int t, float red, float green, float blue) {
    glColor4f(red, green, blue, 1.0f);
    glBegin(GL_QUADS);
    glVertex2i(l, b);
    glVertex2i(l, t);
    glVertex2i(r, t);
    glVertex2i(r, b);
    glEnd();
}

void Frame(int l, int b, int r, int t, float red, float green, float blue) {
    Fill(l, b, r, b + 1, red, green, blue);
    Fill(l, t - 1, r, t, red, green, blue);
    Fill(l, b, l + 1, t, red, green, blue);
    Fill(r - 1, b, r, t, red, green, blue);
}

} // namespace

bool Rendering() {
    return g_rendering;
}

void RenderText(const float* rgb, int x, int y, const char* text) {
    if (!g_rendering || text == nullptr) return;
    glDisable(GL_TEXTURE_2D);
    glColor4f(rgb ? rgb[0] : 1.0f, rgb ? rgb[1] : 1.0f, rgb ? rgb[2] : 1.0f, 1.0f);
    glBegin(GL_QUADS);
    // (x, y) is the lower left of the first glyph; glyph rows run down from 9 pixels above it.
    for (int i = 0; text[i] != '\0'; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 32 || c > 126) continue;
        const uint8_t* rows = kFont8x12[c - 32];
        for (int r = 0; r < 12; ++r)
            for (int bit = 0; bit < 8; ++bit) {
                if (!(rows[r] & (0x80 >> bit))) continue;
                const int px = x + i * 8 + bit, py = y + 9 - r;
                glVertex2i(px, py - 1);
                glVertex2i(px, py);
                glVertex2i(px + 1, py);
                glVertex2i(px + 1, py - 1);
            }
    }
    glEnd();
}

static void Normalise(int& l, int& b, int& r, int& t) {
    if (l > r) std::swap(l, r);
    if (b > t) std::swap(b, t);
}

void RenderWindowFrame(int l, int b, int r, int t, int style) {
    if (!g_rendering) return;
    Normalise(l, b, r, t);
    glDisable(GL_TEXTURE_2D);
    if (style == 1) { // main window: title bar and body
        Fill(l, b, r, t, 0.55f, 0.57f, 0.60f);
        Fill(l, t - 18, r, t, 0.25f, 0.32f, 0.45f);
    } else {
        Fill(l, b, r, t, 0.45f, 0.47f, 0.50f);
    }
    Frame(l, b, r, t, 0.1f, 0.1f, 0.12f);
}

void RenderElement(int l, int b, int r, int t, int element, int lit) {
    if (!g_rendering) return;
    Normalise(l, b, r, t);
    glDisable(GL_TEXTURE_2D);
    switch (element) {
    case 14: // close box
    case 15:
        Fill(l, b, r, t, 0.75f, 0.2f, 0.2f);
        Frame(l, b, r, t, 0.1f, 0.1f, 0.1f);
        for (int k = 3; k < (r - l) - 3; ++k) { // a cross
            Fill(l + k, t - k - 1, l + k + 1, t - k, 1, 1, 1);
            Fill(r - k - 1, t - k - 1, r - k, t - k, 1, 1, 1);
        }
        break;
    default: // buttons, bars, fields: a raised box
        Fill(l, b, r, t, lit ? 0.55f : 0.30f, lit ? 0.60f : 0.34f, lit ? 0.70f : 0.38f);
        Frame(l, b, r, t, 0.12f, 0.12f, 0.14f);
        Fill(l + 1, t - 2, r - 1, t - 1, 0.62f, 0.65f, 0.70f);
        break;
    }
}

void RenderTrack(int l, int b, int r, int t, int min, int max, int value) {
    if (!g_rendering) return;
    Normalise(l, b, r, t);
    glDisable(GL_TEXTURE_2D);
    const int mid = (t + b) / 2;
    Fill(l, mid - 2, r, mid + 2, 0.2f, 0.2f, 0.22f);
    const int span = max > min ? max - min : 1;
    const int x = l + (r - l - 8) * (value - min) / span;
    Fill(x, b, x + 8, t, 0.85f, 0.85f, 0.88f);
    Frame(x, b, x + 8, t, 0.1f, 0.1f, 0.1f);
}

bool Screenshot(const std::string& path, std::string* error) {
    Host& h = H();
    const int width = h.screen_w, height = h.screen_h;
    if (!MakeContext(width, height, error)) return false;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, width, 0, height, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glClearColor(0.16f, 0.22f, 0.30f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    g_rendering = true;
    DrawWindows();
    g_rendering = false;
    glFinish();
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    std::vector<uint8_t> top_down(pixels.size());
    const size_t row = static_cast<size_t>(width) * 3;
    for (int y = 0; y < height; ++y)
        std::memcpy(top_down.data() + static_cast<size_t>(y) * row,
                    pixels.data() + static_cast<size_t>(height - 1 - y) * row, row);
    if (!WritePng(path, width, height, top_down)) {
        if (error) *error = "cannot write " + path;
        return false;
    }
    return true;
}

} // namespace hostsim
