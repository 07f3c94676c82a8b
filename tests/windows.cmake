# The Windows build's tests, run under wine by ctest (the toolchain's
# emulator). GoogleTest is built from the source Debian ships with it.
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
add_executable(kx_unit_tests ${KX_PORTABLE_UNIT_TESTS})
target_link_libraries(kx_unit_tests PRIVATE kx_platform GTest::gtest_main)
gtest_discover_tests(kx_unit_tests DISCOVERY_TIMEOUT 120 PROPERTIES LABELS unit)
