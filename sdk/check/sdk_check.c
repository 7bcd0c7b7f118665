/* Compiles every SDK header as C (layout checks run at compile time). */
#include "xplm_sdk.h"

int xplm_sdk_check_c(void) {
    return (int)sizeof(XPLMCreateWindow_t);
}
