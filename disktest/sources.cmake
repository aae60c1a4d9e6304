list(APPEND ZPH_LOGIC_SOURCES
    disktest/drives.cpp
    disktest/disk_test.cpp
    disktest/disk_run.cpp
    disktest/disk_results.cpp)
list(APPEND ZPH_PROGRAM_WIN_SOURCES
    disktest/drives_win.cpp
    disktest/disk_test_win.cpp
    disktest/disk_run_win.cpp
    disktest/progress_dialog_win.cpp
    disktest/progress_hooks_win.cpp
    disktest/disk_results_win.cpp)
