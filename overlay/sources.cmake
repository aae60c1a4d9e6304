list(APPEND ZPH_LOGIC_SOURCES
    overlay/color_bars.cpp
    overlay/ddraw_context.cpp
    overlay/format_test.cpp
    overlay/overlay_sequence.cpp)
list(APPEND ZPH_PROGRAM_WIN_SOURCES
    overlay/color_bars_win.cpp
    overlay/ddraw_context_win.cpp
    overlay/format_test_win.cpp
    overlay/overlay_test_win.cpp)
