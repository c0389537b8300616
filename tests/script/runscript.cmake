# Runs one script test through qzscript, as a user would, from the script's directory:
# standard output must equal NAME.out; when NAME.err exists the run must fail with status 1
# and that standard error, otherwise it must succeed with nothing on standard error.
get_filename_component(dir ${SCRIPT} DIRECTORY)
get_filename_component(name ${SCRIPT} NAME_WE)
execute_process(COMMAND ${TOOL} ${name}.js
                WORKING_DIRECTORY ${dir}
                RESULT_VARIABLE status
                OUTPUT_VARIABLE out
                ERROR_VARIABLE err)
file(READ ${dir}/${name}.out expected_out)
set(expected_err "")
set(expected_status 0)
if(EXISTS ${dir}/${name}.err)
    file(READ ${dir}/${name}.err expected_err)
    set(expected_status 1)
endif()
set(problems "")
if(NOT out STREQUAL expected_out)
    string(APPEND problems "standard output differs\n--- expected\n${expected_out}--- got\n${out}")
endif()
if(NOT err STREQUAL expected_err)
    string(APPEND problems "standard error differs\n--- expected\n${expected_err}--- got\n${err}")
endif()
if(NOT status STREQUAL expected_status)
    string(APPEND problems "exit status ${status}, expected ${expected_status}\n")
endif()
if(problems)
    message(FATAL_ERROR "${name}.js:\n${problems}")
endif()
