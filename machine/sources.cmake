list(APPEND ZPH_LOGIC_SOURCES
    machine/windows_version.cpp
    machine/processor.cpp)
list(APPEND ZPH_PROGRAM_WIN_SOURCES
    machine/windows_version_win.cpp
    machine/processor_win.cpp)
list(APPEND ZPH_PROGRAM_I686_SOURCES
    machine/cpu_guard_i686.S)
