list(APPEND ZPH_LOGIC_SOURCES
    app/text_format.cpp
    app/machine_record.cpp
    app/startup.cpp
    app/main_dialog.cpp
    app/report.cpp)
list(APPEND ZPH_PROGRAM_WIN_SOURCES
    app/crt_win.cpp
    app/texts_win.cpp
    app/collect_win.cpp
    app/program_win.cpp
    app/main_dialog_win.cpp
    app/report_win.cpp)
