palindor_test(qzproject_cli_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/qzproject_test.cpp
    DEPS Qt6::Core)
add_dependencies(qzproject_cli_test qzproject)
