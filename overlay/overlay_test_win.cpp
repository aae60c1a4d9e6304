#include "overlay/overlay_test.h"

// The test window and its format sequence are not built yet: the class is not
// registered and the button changes nothing.
uint16_t RegisterOverlayWindowClass(void*, const char*)
{
    return 0;
}

int OnOverlayTestButton(void*)
{
    return 101;
}
