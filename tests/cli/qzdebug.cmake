# End-to-end tests of qzdebug: against the in-test server, and against QEMU when it is there.
palindor_test(qzdebug_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/qzdebug_test.cpp
              DEPS palindor::rspstub Qt6::Core)
add_dependencies(qzdebug_test qzdebug)

palindor_test(qzdebug_qemu_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/qzdebug_qemu_test.cpp
              DEPS Qt6::Core Qt6::Network)
add_dependencies(qzdebug_qemu_test qzdebug dova)
