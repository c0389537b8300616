# The remote protocol packet reader, fed a server's byte stream.
palindor_fuzzer(rsp SOURCES ${CMAKE_CURRENT_LIST_DIR}/rsp_fuzz.cpp DEPS palindor::debug)
