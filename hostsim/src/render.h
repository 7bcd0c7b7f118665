// Offscreen pictures of the simulated screen (see Screenshot in hostsim.h) and the simple looks
// the drawing stand-ins give windows, elements, tracks and text while a picture is being taken.
#pragma once

#include <string>

namespace hostsim {

// True only during Screenshot's draw pass: drawing calls then paint into the picture.
bool Rendering();
void RenderText(const float* rgb, int x, int y, const char* text);
void RenderWindowFrame(int x1, int y1, int x2, int y2, int style);
void RenderElement(int x1, int y1, int x2, int y2, int element, int lit);
void RenderTrack(int x1, int y1, int x2, int y2, int min, int max, int value);

} // namespace hostsim
