palindor_test(cc_cli_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/cc_test.cpp)
add_dependencies(cc_cli_test cc)
