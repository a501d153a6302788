// Resource numbers shared by the resource script and the window.
#pragma once

#define VELT_ICON_ID 1
