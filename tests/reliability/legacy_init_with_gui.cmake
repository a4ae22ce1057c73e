# A library declared with LEGACY_INIT and a GUI part must not configure: its
# factory would create first-family GUI modules without a host. Configures a
# throw-away project for each GUI part and expects the refusal, and one with
# LEGACY_INIT and the DSP part alone, which must configure.
#
#   cmake -DOVRA_CMAKE_DIR=... -DWORK_DIR=... [-DGENERATOR=...] -P legacy_init_with_gui.cmake
foreach(var OVRA_CMAKE_DIR WORK_DIR)
  if(NOT ${var})
    message(FATAL_ERROR "legacy_init_with_gui.cmake: ${var} is required")
  endif()
endforeach()

function(try_configure_plugin label parts out_rc out_text)
  set(dir ${WORK_DIR}/${label})
  file(REMOVE_RECURSE ${dir})
  file(MAKE_DIRECTORY ${dir}/src)
  file(WRITE ${dir}/src/module.cpp "")
  file(WRITE ${dir}/src/CMakeLists.txt
    "cmake_minimum_required(VERSION 3.20)\n"
    "project(legacy_probe CXX)\n"
    "include(${OVRA_CMAKE_DIR}/OvraPlugin.cmake)\n"
    "ovra_add_plugin(probe COMPILER 1 LEGACY_INIT PARTS ${parts} SOURCES module.cpp)\n")
  set(gen)
  if(GENERATOR)
    set(gen -G ${GENERATOR})
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} ${gen} -S ${dir}/src -B ${dir}/build
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  set(${out_rc} ${rc} PARENT_SCOPE)
  set(${out_text} "${out}${err}" PARENT_SCOPE)
endfunction()

foreach(part gui gui2 windowed composited)
  try_configure_plugin(${part} "dsp;${part}" rc text)
  if(rc EQUAL 0)
    message(FATAL_ERROR "LEGACY_INIT with the GUI part '${part}' configured")
  endif()
  if(NOT text MATCHES "LEGACY_INIT is for libraries of DSP modules only")
    message(FATAL_ERROR "LEGACY_INIT with '${part}' failed without saying why:\n${text}")
  endif()
  message(STATUS "LEGACY_INIT with ${part}: refused")
endforeach()

try_configure_plugin(dsp_only "dsp" rc text)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "LEGACY_INIT with the DSP part alone did not configure:\n${text}")
endif()
message(STATUS "LEGACY_INIT with dsp alone: configures")
