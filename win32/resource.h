// The numbers of the program's resources, shared by the resource script and the code.
#pragma once

// The window's icon, in every size of resources/icon-*.png.
#define R462XE_ICON 1
