list(APPEND ZPH_PROGRAM_WIN_SOURCES
    overlay/overlay_test_win.cpp)
