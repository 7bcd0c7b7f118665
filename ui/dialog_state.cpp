#include "dialog_state.h"

#include "core/globals.h"

#include "XPWidgets.h"

void DRAV_CloseConfigDialog() {
    if (gwidConfigDlgWidget) {
        XPDestroyWidget(gwidConfigDlgWidget, 1);
        gwidConfigDlgWidget = nullptr;
    }
    gnShowConfigWindow = 0;
}
