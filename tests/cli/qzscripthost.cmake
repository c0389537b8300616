# End-to-end tests of qzscript --host: scripts that drive files, images and processes.
palindor_test(qzscripthost_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/qzscripthost_test.cpp)
add_dependencies(qzscripthost_test qzscript)
