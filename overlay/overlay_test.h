// The overlay test as the rest of the program starts it.
#pragma once

#include <stdint.h>

// Registers the test window class; returns the class atom, 0 on failure.
uint16_t RegisterOverlayWindowClass(void* instance, const char* title);

// Runs the overlay test from the main dialog; returns the test's result code.
int OnOverlayTestButton(void* mainDialog);
