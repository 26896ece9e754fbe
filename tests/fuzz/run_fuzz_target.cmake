# Runs one fuzz target for a bounded time on a fresh copy of its committed corpus.
#   cmake -DFUZZER=<exe> -DCORPUS=<committed dir> -DRUN_DIR=<scratch dir> -DSECONDS=<n> -P this
# The fuzzer adds the inputs it finds to the copy; a crashing input lands in RUN_DIR/artifacts.
foreach(variable FUZZER CORPUS RUN_DIR SECONDS)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "run_fuzz_target.cmake needs -D${variable}=...")
  endif()
endforeach()

file(REMOVE_RECURSE ${RUN_DIR})
file(MAKE_DIRECTORY ${RUN_DIR}/corpus ${RUN_DIR}/artifacts)
file(GLOB seeds ${CORPUS}/*)
if(NOT seeds)
  message(FATAL_ERROR "no seed inputs in ${CORPUS}")
endif()
file(COPY ${seeds} DESTINATION ${RUN_DIR}/corpus)

execute_process(
  COMMAND ${FUZZER} -max_total_time=${SECONDS} -seed=1 -timeout=10 -print_final_stats=1
          -artifact_prefix=${RUN_DIR}/artifacts/ ${RUN_DIR}/corpus
  WORKING_DIRECTORY ${RUN_DIR}
  RESULT_VARIABLE result
  OUTPUT_VARIABLE output
  ERROR_VARIABLE output)
file(WRITE ${RUN_DIR}/fuzz.log "${output}")

string(REGEX MATCH "Done [0-9]+ runs in [0-9]+ second" done "${output}")
if(NOT result EQUAL 0 OR NOT done)
  message("${output}")
  file(GLOB found ${RUN_DIR}/artifacts/*)
  message(FATAL_ERROR "fuzzer failed (exit ${result}); inputs kept: ${found}")
endif()
message("${done}(s)")
