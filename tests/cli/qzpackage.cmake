palindor_test(qzpackage_cli_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/qzpackage_test.cpp
    DEPS palindor::archive)
add_dependencies(qzpackage_cli_test qzpackage)
