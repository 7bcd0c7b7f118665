// The dialog's pages arrive with the modules; until then the menu opens nothing.
#include "config_dialog.h"

void CreateConfigDlgWidget(int, int) {}
