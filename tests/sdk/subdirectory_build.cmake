# Builds a copy of the example library in a project that takes ovra with
# add_subdirectory instead of find_package, and checks that its sources are
# compiled with the framework's flags.
#
#   cmake -DOVRA_SOURCE_DIR=... -DEXAMPLE_DIR=... -DWORK_DIR=...
#         [-DGENERATOR=...] [-DCXX_COMPILER=...] -P subdirectory_build.cmake
foreach(var OVRA_SOURCE_DIR EXAMPLE_DIR WORK_DIR)
  if(NOT ${var})
    message(FATAL_ERROR "subdirectory_build.cmake: ${var} is required")
  endif()
endforeach()

function(step what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${what} failed (${rc}):\n${out}\n${err}")
  endif()
  message(STATUS "${what}: ok")
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
file(COPY ${EXAMPLE_DIR}/ DESTINATION ${WORK_DIR}/project/slew)
file(WRITE ${WORK_DIR}/project/CMakeLists.txt "cmake_minimum_required(VERSION 3.25)
project(withovra LANGUAGES C CXX)
add_subdirectory(\"${OVRA_SOURCE_DIR}\" ovra EXCLUDE_FROM_ALL)
add_subdirectory(slew)
")

set(configure ${CMAKE_COMMAND} -S ${WORK_DIR}/project -B ${WORK_DIR}/build -DCMAKE_BUILD_TYPE=Release
  -DCMAKE_EXPORT_COMPILE_COMMANDS=ON)
if(GENERATOR)
  list(APPEND configure -G ${GENERATOR})
endif()
if(CXX_COMPILER)
  list(APPEND configure -DCMAKE_CXX_COMPILER=${CXX_COMPILER})
endif()
step("configure a project with ovra as a subdirectory" ${configure})

file(READ ${WORK_DIR}/build/compile_commands.json commands)
string(REGEX MATCH "\"command\": \"[^\"]*slew/slew\\.cpp[^\"]*\"" slew_command "${commands}")
if(NOT slew_command)
  message(FATAL_ERROR "no compile command for slew.cpp")
endif()
foreach(flag -ffp-contract=off -fno-fast-math -std=c++20)
  string(FIND "${slew_command}" "${flag}" at)
  if(at LESS 0)
    message(FATAL_ERROR "slew.cpp is compiled without ${flag}: ${slew_command}")
  endif()
endforeach()

step("build the example" ${CMAKE_COMMAND} --build ${WORK_DIR}/build --parallel 2)
foreach(made slew.qvm slew.qvm.json)
  if(NOT EXISTS ${WORK_DIR}/build/${made})
    message(FATAL_ERROR "the build made no ${made}")
  endif()
endforeach()
