# Runs one fuzz target for CTest; any crash, sanitizer report or broken
# property makes the target exit non-zero, which fails the test.
#
#   -DMODE=replay  runs every file of CORPUS and, if it exists, REGRESSIONS once.
#   -DMODE=fuzz    fuzzes for SECONDS on a fresh copy of CORPUS in SCRATCH, so
#                  that the repository is never written; crash inputs go to
#                  SCRATCH/artifacts.
#
# FUZZER is the target's executable.

# No single input may hang or grow without bound.
set(limits -timeout=10 -rss_limit_mb=2048)

function(run_fuzzer)
  execute_process(COMMAND "${FUZZER}" ${limits} ${ARGN} RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${FUZZER} failed (${result})")
  endif()
endfunction()

if(MODE STREQUAL "replay")
  file(GLOB inputs "${CORPUS}/*")
  if(NOT inputs)
    message(FATAL_ERROR "no inputs in ${CORPUS}")
  endif()
  file(GLOB regressions "${REGRESSIONS}/*")
  run_fuzzer(${inputs} ${regressions})
elseif(MODE STREQUAL "fuzz")
  file(REMOVE_RECURSE "${SCRATCH}")
  file(MAKE_DIRECTORY "${SCRATCH}/corpus" "${SCRATCH}/artifacts")
  file(COPY "${CORPUS}/" DESTINATION "${SCRATCH}/corpus")
  run_fuzzer(-max_total_time=${SECONDS} "-artifact_prefix=${SCRATCH}/artifacts/"
             "${SCRATCH}/corpus")
else()
  message(FATAL_ERROR "MODE must be replay or fuzz, not '${MODE}'")
endif()
