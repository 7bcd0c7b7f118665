// DRAV_HOT marks a function of the per-frame path: what the flight loops run in every frame and
// on every handled input or refresh. The compiler puts such functions in a section of their own
// (.text.hot) and the linker packs that section together, so a frame runs from a few pages of
// code instead of from pages spread over the whole plug-in. Between two of our frames the
// simulator's own work evicts our code from the caches and the TLB, and every page touched
// then costs a page walk on top of its lines.
#pragma once

#if defined(__GNUC__)
#define DRAV_HOT __attribute__((hot))
#else
#define DRAV_HOT
#endif
