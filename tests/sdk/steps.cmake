# step(<what> <command>...): runs one step of an SDK test script (in
# STEP_DIR when set); a failure stops the script with the step's output.
function(step what)
  set(where)
  if(STEP_DIR)
    set(where WORKING_DIRECTORY ${STEP_DIR})
  endif()
  execute_process(COMMAND ${ARGN} ${where} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${what} failed (${rc}):\n${out}\n${err}")
  endif()
  message(STATUS "${what}: ok")
endfunction()

# require(<script> <var>...): stops the script when a -D variable it needs is
# missing.
function(require script)
  foreach(var ${ARGN})
    if(NOT ${var})
      message(FATAL_ERROR "${script}: ${var} is required")
    endif()
  endforeach()
endfunction()
