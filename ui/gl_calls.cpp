#include "gl_calls.h"

#include "core/platform.h"

namespace ui_gl {
namespace {

template <typename F> void Bind(F& f, const char* name) {
    f = reinterpret_cast<F>(DRAV_FindProcessSymbol(name));
}

Calls Load() {
    Calls c;
    Bind(c.Begin, "glBegin");
    Bind(c.End, "glEnd");
    Bind(c.Vertex2i, "glVertex2i");
    Bind(c.TexCoord2f, "glTexCoord2f");
    Bind(c.Color4f, "glColor4f");
    c.ok = c.Begin && c.End && c.Vertex2i && c.TexCoord2f && c.Color4f;
    return c;
}

} // namespace

const Calls& GL() {
    static const Calls calls = Load();
    return calls;
}

} // namespace ui_gl
