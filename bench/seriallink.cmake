# bench_seriallink: 16 MiB through a pseudo-terminal pair in 4 KiB reads of HSerialLink, and
# the processor time of an idle read. bench/seriallink.sh compares with pyserial.
palindor_benchmark(seriallink SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/seriallink.cpp
                   DEPS palindor::debug)
target_link_libraries(bench_seriallink PRIVATE util)
