// Builds without offscreen OpenGL (Windows): nothing is painted and no picture can be taken.
#include "render.h"

#include "hostsim.h"

namespace hostsim {

bool Rendering() {
    return false;
}
void RenderText(const float*, int, int, const char*) {}
void RenderWindowFrame(int, int, int, int, int) {}
void RenderElement(int, int, int, int, int, int) {}
void RenderTrack(int, int, int, int, int, int, int) {}

bool Screenshot(const std::string&, std::string* error) {
    if (error != nullptr) *error = "no GL here: pictures need the Linux build (EGL and Mesa)";
    return false;
}

} // namespace hostsim
