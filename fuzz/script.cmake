# The script compiler on its own, and compile-and-run with an instruction budget.
palindor_fuzzer(script_compile SOURCES ${CMAKE_CURRENT_LIST_DIR}/script_compile_fuzzer.cpp
                DEPS palindor::script)
palindor_fuzzer(script_run SOURCES ${CMAKE_CURRENT_LIST_DIR}/script_run_fuzzer.cpp
                DEPS palindor::script)
palindor_fuzzer(script_host SOURCES ${CMAKE_CURRENT_LIST_DIR}/script_host_fuzzer.cpp
                DEPS palindor::scripthost palindor::debug)
