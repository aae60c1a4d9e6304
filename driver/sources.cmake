list(APPEND ZPH_OTHER_LOGIC_SOURCES
    driver/pci_scan.cpp)
