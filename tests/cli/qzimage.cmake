# End-to-end tests of qzimage.
palindor_test(qzimage_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/qzimage_test.cpp DEPS Qt6::Core)
add_dependencies(qzimage_test qzimage)
