# End-to-end tests of qzscript: options, output, errors and exit status.
palindor_test(qzscript_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/qzscript_test.cpp)
add_dependencies(qzscript_test qzscript)
