# The Windows build's tests, run under wine by ctest (the toolchain's
# emulator). GoogleTest is built from the source Debian ships with it.
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
set(KX_DIRECTORY_FIXTURE ${CMAKE_CURRENT_BINARY_DIR}/directory)
add_library(kx_test_support STATIC ${KX_PORTABLE_TEST_SUPPORT} support/fake_ews_server.cpp
            support/fixture_directory.cpp)
target_include_directories(kx_test_support SYSTEM PUBLIC ${KX_HTTPLIB_SOURCE})
target_link_libraries(kx_test_support PUBLIC kx_forms kx_holidays kx_components GTest::gtest ws2_32
                      PRIVATE pugixml::pugixml)
target_compile_definitions(kx_test_support PUBLIC KX_TEST_DATA="${CMAKE_CURRENT_SOURCE_DIR}/data"
                           KX_RESOURCE_MODULE="${KX_RESOURCE_MODULE}" KX_DIRECTORY_FIXTURE="${KX_DIRECTORY_FIXTURE}")
add_dependencies(kx_test_support kx_resources)
# The test directory, started and stopped by ctest around the tests.
add_test(NAME DirectoryStart COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/support/slapd-fixture.sh start ${KX_DIRECTORY_FIXTURE})
add_test(NAME DirectoryStop COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/support/slapd-fixture.sh stop ${KX_DIRECTORY_FIXTURE})
# The tests need both servers: one fixture name for the two (a list does not
# pass through test discovery).
set_tests_properties(DirectoryStart PROPERTIES FIXTURES_SETUP servers)
set_tests_properties(DirectoryStop PROPERTIES FIXTURES_CLEANUP servers)
set_tests_properties(TlsServerStart PROPERTIES FIXTURES_SETUP "tls;servers")
set_tests_properties(TlsServerStop PROPERTIES FIXTURES_CLEANUP "tls;servers")

add_executable(kx_unit_tests ${KX_PORTABLE_UNIT_TESTS} components/ews_client_test.cpp platform/directory_client_test.cpp
               platform/local_machine_test.cpp)
target_compile_definitions(kx_unit_tests PRIVATE KX_TLS_FIXTURE="${KX_TLS_FIXTURE}")
target_link_libraries(kx_unit_tests PRIVATE kx_test_support GTest::gtest_main)
# As on Linux: the program's product folder (the one above its own) has no settings.
set_target_properties(kx_unit_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/unit/bin)
gtest_discover_tests(kx_unit_tests DISCOVERY_TIMEOUT 120 PROPERTIES LABELS unit FIXTURES_REQUIRED servers)

# The worker DLL loaded by the reference host and driven through its exports.
add_executable(kx_integration_tests integration/filter_entry_test.cpp integration/routing_test.cpp
               integration/worker_fixture.cpp)
target_link_libraries(kx_integration_tests PRIVATE kx_test_support kx_host GTest::gtest_main)
target_compile_definitions(kx_integration_tests PRIVATE
  KX_WORKER_PATH="$<TARGET_FILE:KX_ServiceWorker>" KX_SAMPLE_SETTINGS="${CMAKE_SOURCE_DIR}/samples/settings"
  KX_LOG_MODULE="$<TARGET_FILE:LogModule>")
add_dependencies(kx_integration_tests KX_ServiceWorker LogModule)
gtest_discover_tests(kx_integration_tests DISCOVERY_TIMEOUT 120 PROPERTIES LABELS integration FIXTURES_REQUIRED servers)
