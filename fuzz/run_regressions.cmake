# Runs a fuzz target once over every kept input of a folder (libFuzzer runs files given by name
# and does not fuzz). Fails when the folder holds an input that crashes or hangs the target.
file(GLOB inputs ${DIR}/*)
if(NOT inputs)
  return()
endif()
execute_process(COMMAND ${TARGET} -timeout=25 ${inputs} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${TARGET} failed on a kept input in ${DIR}")
endif()
