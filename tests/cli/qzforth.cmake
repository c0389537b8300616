palindor_test(qzforth_cli_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/qzforth_test.cpp)
add_dependencies(qzforth_cli_test qzforth)
