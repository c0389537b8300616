# End-to-end tests of dova: golden scripts, every failure path, links with the GNU linkers,
# and the example firmware booted under QEMU.
palindor_test(dova_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/dova_test.cpp ${CMAKE_CURRENT_LIST_DIR}/dovafailure_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/dovalink_test.cpp ${CMAKE_CURRENT_LIST_DIR}/dovasymbols_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/dovarun_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/dovaboot_test.cpp
    DEPS palindor::dova Qt6::Core)
add_dependencies(dova_test dova)
