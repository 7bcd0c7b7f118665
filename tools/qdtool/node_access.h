// What keeps a user from a unit before the device library sees it: on Linux the hidraw nodes'
// permissions (the udev rule). Returns the number of units found blocked, after telling the user.
#pragma once

int ReportUnopenableNodes();
