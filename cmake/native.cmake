# Native Linux build: the logic as a library and its unit tests.
option(ZPH_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

add_compile_options(-Wall -Wextra -Werror)
if(ZPH_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()

add_library(zph_logic STATIC ${ZPH_LOGIC_SOURCES} ${ZPH_OTHER_LOGIC_SOURCES})
target_include_directories(zph_logic PUBLIC ${CMAKE_SOURCE_DIR})

find_package(GTest REQUIRED)
enable_testing()
include(GoogleTest)

file(GLOB ZPH_UNIT_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*_test.cpp)
add_executable(zph_unit_tests ${ZPH_UNIT_TEST_SOURCES})
target_link_libraries(zph_unit_tests PRIVATE zph_logic GTest::gtest GTest::gtest_main pthread)
gtest_discover_tests(zph_unit_tests DISCOVERY_TIMEOUT 60)
