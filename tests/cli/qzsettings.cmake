palindor_test(qzsettings_cli_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/qzsettings_test.cpp
    DEPS palindor::settings)
add_dependencies(qzsettings_cli_test qzsettings)
