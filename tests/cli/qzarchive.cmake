palindor_test(qzarchive_cli_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/qzarchive_test.cpp
    DEPS palindor::archive)
add_dependencies(qzarchive_cli_test qzarchive)
