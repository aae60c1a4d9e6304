list(APPEND ZPH_LOGIC_SOURCES
    bridge/chipset_table.cpp
    bridge/service_control.cpp
    bridge/bridge_info.cpp)
list(APPEND ZPH_PROGRAM_WIN_SOURCES
    bridge/service_control_win.cpp
    bridge/bridge_info_win.cpp)
