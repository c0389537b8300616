palindor_test(qzbuild_cli_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/qzbuild_test.cpp)
add_dependencies(qzbuild_cli_test qzbuild)
