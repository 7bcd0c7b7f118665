// QDDEV_HOT marks a function a caller's per-frame path runs on every send: the compiler puts it in
// the .text.hot section, which the linker packs together with the caller's own hot code, so a
// send touches few pages of code when it runs from cold caches.
#pragma once

#if defined(__GNUC__)
#define QDDEV_HOT __attribute__((hot))
#else
#define QDDEV_HOT
#endif
