palindor_fuzzer(forth SOURCES ${CMAKE_CURRENT_LIST_DIR}/forth_fuzz.cpp DEPS palindor::forth)
