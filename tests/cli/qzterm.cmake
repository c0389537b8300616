# End-to-end tests of qzterm over pseudo-terminals.
palindor_test(qzterm_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/qzterm_test.cpp DEPS Qt6::Core util)
add_dependencies(qzterm_test qzterm)
