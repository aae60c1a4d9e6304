#pragma once

// Fills the machine record; 0 when the computer has no fixed disk.
int CollectMachineInfo(void* instance);
