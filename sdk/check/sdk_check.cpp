// Compiles every SDK header as C++ (layout checks run at compile time).
#include "xplm_sdk.h"

static_assert(xplm_key_otto_atr == 10 && xplm_key_otto_vnav == 18 && xplm_key_max == 94);
static_assert(xplm_joy_ott_dis == 59 && xplm_joy_max == 94);
static_assert(xpElement_WindowDragBarSmooth == 62);
static_assert(xpMessage_CloseButtonPushed == 1200);

int xplm_sdk_check_cpp() {
    return static_cast<int>(sizeof(XPLMCreateWindow_t));
}
