// The Assign Functions dialog.
#pragma once

#include "plugin/dialog_state.h"

// Creates the dialog (width and height in screen units) into gwidConfigDlgWidget.
void CreateConfigDlgWidget(int width, int height);
