# The Linux qvhost given a Windows library: with Wine and qvhost.exe it runs
# the command there, and its report and exit code are those of qvhost.exe
# run under Wine directly; without qvhost.exe it says what to install.
#
#   cmake -DQVHOST=... -DWORK_DIR=... [-DWINDOWS_BUILD=build/windows] [-DWINE=...] -P windows_from_linux.cmake
include(${CMAKE_CURRENT_LIST_DIR}/steps.cmake)
require(windows_from_linux.cmake QVHOST WORK_DIR)

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
# Only its first bytes make it a Windows library.
file(WRITE ${WORK_DIR}/fake.qvm "MZ not a real library")
execute_process(COMMAND ${CMAKE_COMMAND} -E env OVRA_QVHOST_EXE=${WORK_DIR}/none/qvhost.exe
  ${QVHOST} validate ${WORK_DIR}/fake.qvm RESULT_VARIABLE rc ERROR_VARIABLE err)
string(FIND "${err}" "is a Windows library; qvhost runs it with qvhost.exe under Wine" said)
string(FIND "${err}" "there is no ${WORK_DIR}/none/qvhost.exe" missing)
if(rc EQUAL 0 OR said LESS 0 OR missing LESS 0)
  message(FATAL_ERROR "without qvhost.exe (exit ${rc}): ${err}")
endif()
message(STATUS "without qvhost.exe, what to install: ok")

if(NOT WINE)
  set(WINE /usr/lib/wine/wine64)
endif()
set(exe ${WINDOWS_BUILD}/qvhost.exe)
set(library ${WINDOWS_BUILD}/slew.qvm)
if(NOT WINDOWS_BUILD OR NOT EXISTS ${exe} OR NOT EXISTS ${library} OR NOT EXISTS ${WINE})
  message(STATUS "no Windows build with qvhost.exe and slew.qvm, or no Wine: the comparison is skipped")
  return()
endif()
set(args validate ${library} --seed 7)
execute_process(COMMAND ${CMAKE_COMMAND} -E env WINEDEBUG=-all ${WINE} ${exe} ${args}
  RESULT_VARIABLE direct_rc OUTPUT_VARIABLE direct)
execute_process(COMMAND ${CMAKE_COMMAND} -E env OVRA_QVHOST_EXE=${exe} OVRA_WINE=${WINE} ${QVHOST} ${args}
  RESULT_VARIABLE linux_rc OUTPUT_VARIABLE linux)
# Times and costs (dsp-cost's line and every decimal figure, with the
# padding that aligns them in the cost table) differ from run to run; the
# rest of the report must be the same to the byte.
foreach(run direct linux)
  string(REGEX REPLACE "[^\n]*dsp-cost:[^\n]*" "" ${run}_shape "${${run}}")
  string(REGEX REPLACE " *[0-9]+\\.[0-9]+" " #" ${run}_shape "${${run}_shape}")
endforeach()
if(NOT direct_rc EQUAL linux_rc OR NOT direct_shape STREQUAL linux_shape OR direct STREQUAL "")
  message(FATAL_ERROR "qvhost.exe under Wine (exit ${direct_rc}):\n${direct}\nthe Linux qvhost (exit ${linux_rc}):\n${linux}")
endif()
message(STATUS "the Linux qvhost's report of a Windows library is qvhost.exe's: ok")
