# The DWARF readers of the debugger, fed hostile section bytes.
palindor_fuzzer(dwarfline SOURCES ${CMAKE_CURRENT_LIST_DIR}/dwarfline_fuzz.cpp DEPS palindor::debug)
palindor_fuzzer(dwarfframe SOURCES ${CMAKE_CURRENT_LIST_DIR}/dwarfframe_fuzz.cpp
                DEPS palindor::debug)
palindor_fuzzer(dwarfinfo SOURCES ${CMAKE_CURRENT_LIST_DIR}/dwarfinfo_fuzz.cpp DEPS palindor::debug)
