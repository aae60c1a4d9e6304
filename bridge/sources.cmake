list(APPEND ZPH_LOGIC_SOURCES
    bridge/bridge_info.cpp)
