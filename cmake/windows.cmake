# Windows builds with mingw-w64: i686 gives the deliverables users get,
# x86_64 the same program as a test build that runs under 64-bit Wine.
#
# The deliverables link no C or C++ runtime DLL: Windows 95 and NT 4.0 do not
# agree on one, and nothing here needs it. Static libgcc supplies only the
# 64-bit arithmetic helpers and the stack probe.
enable_language(RC)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    enable_language(ASM)
    set(ZPH_ENTRY_SYMBOL _ZphEntry)
else()
    set(ZPH_ENTRY_SYMBOL ZphEntry)
endif()

set(ZPH_WIN_COMPILE_OPTIONS
    -Wall -Wextra -Werror
    -Os -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables -fno-unwind-tables
    -fno-stack-protector -fno-threadsafe-statics -fno-tree-loop-distribute-patterns
    -march=i486 -mtune=generic)
if(NOT CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    list(REMOVE_ITEM ZPH_WIN_COMPILE_OPTIONS -march=i486)
endif()
set(ZPH_WIN_LINK_OPTIONS
    -nostdlib -static-libgcc -Wl,--enable-stdcall-fixup -Wl,--no-insert-timestamp
    -Wl,--major-os-version,4 -Wl,--minor-os-version,0
    -Wl,--major-subsystem-version,4 -Wl,--minor-subsystem-version,0
    -Wl,--disable-dynamicbase -Wl,--disable-nxcompat)
if(NOT CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    list(APPEND ZPH_WIN_LINK_OPTIONS -Wl,--disable-high-entropy-va)
endif()

list(APPEND ZPH_PROGRAM_WIN_SOURCES resources/zphtest.rc)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    list(APPEND ZPH_PROGRAM_WIN_SOURCES ${ZPH_PROGRAM_I686_SOURCES})
endif()

add_executable(zphtest WIN32 ${ZPH_LOGIC_SOURCES} ${ZPH_PROGRAM_WIN_SOURCES})
target_include_directories(zphtest PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(zphtest PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${ZPH_WIN_COMPILE_OPTIONS}>)
target_compile_definitions(zphtest PRIVATE WINVER=0x0400 _WIN32_WINNT=0x0400 _WIN32_IE=0x0300)
target_link_options(zphtest PRIVATE ${ZPH_WIN_LINK_OPTIONS} -Wl,--subsystem,windows:4.0 -Wl,-e,${ZPH_ENTRY_SYMBOL} -s)
target_link_libraries(zphtest PRIVATE kernel32 user32 gdi32 comdlg32 comctl32 shell32 winmm advapi32 gcc)
set_target_properties(zphtest PROPERTIES OUTPUT_NAME zphtest SUFFIX .exe)
set_source_files_properties(resources/zphtest.rc PROPERTIES
    OBJECT_DEPENDS "${CMAKE_SOURCE_DIR}/resources/zphtest_ja.rc;${CMAKE_SOURCE_DIR}/resources/zphtest_en.rc;${CMAKE_SOURCE_DIR}/resources/zphtest.ico;${CMAKE_SOURCE_DIR}/app/main_dialog_res.h;${CMAKE_SOURCE_DIR}/disktest/progress_dialog_res.h")
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001 -I${CMAKE_SOURCE_DIR}")

# The other deliverables, each in a folder of its own.
foreach(subsystem driver thunk32)
    if(EXISTS ${CMAKE_SOURCE_DIR}/${subsystem}/CMakeLists.txt)
        add_subdirectory(${subsystem})
    endif()
endforeach()

# Test tools that run under Wine beside the program (64-bit build only).
if(NOT CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    foreach(tool tests/e2e/tools tests/e2e/fakes/ddraw tests/e2e/fakes/hal)
        if(EXISTS ${CMAKE_SOURCE_DIR}/${tool}/CMakeLists.txt)
            add_subdirectory(${tool})
        endif()
    endforeach()
endif()
