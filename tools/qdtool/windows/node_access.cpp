// Windows: any user may open a HID unit, so nothing can be blocked.
#include "node_access.h"

int ReportUnopenableNodes() {
    return 0;
}
