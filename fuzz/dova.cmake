# fuzz_dova: arbitrary memory maps and placements through placement and both script writers.
palindor_fuzzer(dova SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/dova_fuzz.cpp
                DEPS palindor::memorymap palindor::macros)
