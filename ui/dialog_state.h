// Closing the Assign Functions dialog from anywhere in the plug-in.
#pragma once

// Destroys the dialog with its children if it is open and clears its globals.
void DRAV_CloseConfigDialog();
