# bench_memorymap: loading the generated 15 MiB memory map, half of it wrapped in <if> and
# <foreach>, through MemoryMap with preprocessing on, against the plain parse of the same
# file. bench/memorymap.sh adds the whole-process comparison with xmllint.
palindor_benchmark(memorymap SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/memorymap.cpp
                   DEPS palindor::memorymap)
set(PALINDOR_BENCH_MEMORYMAP_PP ${CMAKE_CURRENT_BINARY_DIR}/memorymap-pp-15.xml)
add_custom_command(OUTPUT ${PALINDOR_BENCH_MEMORYMAP_PP}
    COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/gen-memorymap.py --size 15
            -o ${PALINDOR_BENCH_MEMORYMAP_PP}.plain
    COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/wrap-memorymap.py
            ${PALINDOR_BENCH_MEMORYMAP_PP}.plain -o ${PALINDOR_BENCH_MEMORYMAP_PP}
    COMMAND ${CMAKE_COMMAND} -E remove ${PALINDOR_BENCH_MEMORYMAP_PP}.plain
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/gen-memorymap.py
            ${CMAKE_CURRENT_SOURCE_DIR}/wrap-memorymap.py
    COMMENT "Generating a 15 MiB memory map with preprocessing elements")
add_custom_target(bench_memorymap_data DEPENDS ${PALINDOR_BENCH_MEMORYMAP_PP})
add_dependencies(bench_memorymap bench_memorymap_data)
target_compile_definitions(bench_memorymap PRIVATE
    PALINDOR_BENCH_MEMORYMAP_PP="${PALINDOR_BENCH_MEMORYMAP_PP}")
