# The example solution built by qzbuild with the real cross compiler (skipped without it).
add_test(NAME firmware_build
         COMMAND ${CMAKE_CURRENT_LIST_DIR}/firmware_build.sh ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR})
set_tests_properties(firmware_build PROPERTIES SKIP_RETURN_CODE 77)
