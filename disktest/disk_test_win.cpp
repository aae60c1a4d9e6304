#include "disktest/disk_test.h"

// The timed run is not built yet: the button stores nothing.
void OnHddTestButton(void*, int)
{
}
