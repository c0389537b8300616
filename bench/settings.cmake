# settings_bench_worker: one writer of bench/settings.sh, with our store or with QSettings.
# Not named bench_*: it is started by the script, not run on its own.
palindor_executable(settings_bench_worker SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/settingsworker.cpp
                    DEPS palindor::settings)
