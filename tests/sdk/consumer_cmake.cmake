# ovra_add_plugin() as a consumer of the installed SDK meets it: a library of
# DSP modules configures and builds on a machine without libgdiplus (a find
# root with no libraries in it stands for one) and without a build type (it
# builds Release, and the consumer's cache keeps its empty choice); a
# library that draws stops there with the package to install; a misspelled
# part or comparison stops with the valid values.
#
#   cmake -DOVRA_BUILD_DIR=... -DPROJECT_DIR=<tests/sdk/dsp_only> -DWORK_DIR=...
#         [-DGENERATOR=...] [-DCXX_COMPILER=...] [-DQVHOST=...] -P consumer_cmake.cmake
include(${CMAKE_CURRENT_LIST_DIR}/steps.cmake)
require(consumer_cmake.cmake OVRA_BUILD_DIR PROJECT_DIR WORK_DIR)

set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR}/no-libraries)
step("install the SDK" ${CMAKE_COMMAND} --install ${OVRA_BUILD_DIR} --prefix ${prefix} --component sdk)
file(COPY ${PROJECT_DIR}/ DESTINATION ${WORK_DIR}/source)

# configure(<build folder> <expect: ok or fail> <output variable> <-D...>...)
function(configure build expect out)
  set(command ${CMAKE_COMMAND} -S ${WORK_DIR}/source -B ${WORK_DIR}/${build} -DCMAKE_PREFIX_PATH=${prefix}
    -DCMAKE_FIND_ROOT_PATH=${WORK_DIR}/no-libraries -DCMAKE_FIND_ROOT_PATH_MODE_LIBRARY=ONLY
    -DCMAKE_EXPORT_COMPILE_COMMANDS=ON ${ARGN})
  if(GENERATOR)
    list(APPEND command -G ${GENERATOR})
  endif()
  if(CXX_COMPILER)
    list(APPEND command -DCMAKE_CXX_COMPILER=${CXX_COMPILER})
  endif()
  execute_process(COMMAND ${command} RESULT_VARIABLE rc OUTPUT_VARIABLE output ERROR_VARIABLE errors)
  string(REGEX REPLACE "[ \n]+" " " text "${output}${errors}")
  if(expect STREQUAL "ok" AND NOT rc EQUAL 0)
    message(FATAL_ERROR "configuring ${build} failed:\n${output}\n${errors}")
  elseif(expect STREQUAL "fail" AND rc EQUAL 0)
    message(FATAL_ERROR "configuring ${build} succeeded, expected it to stop:\n${output}")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

function(expect_in text what)
  string(FIND "${text}" "${what}" at)
  if(at LESS 0)
    message(FATAL_ERROR "expected '${what}' in:\n${text}")
  endif()
endfunction()

# DSP only, no build type, no libgdiplus to be found.
configure(dsp ok said)
expect_in("${said}" "ovra: no CMAKE_BUILD_TYPE given, building Release")
file(STRINGS ${WORK_DIR}/dsp/CMakeCache.txt cached REGEX "^CMAKE_BUILD_TYPE:")
if(NOT cached STREQUAL "CMAKE_BUILD_TYPE:STRING=")
  message(FATAL_ERROR "the consumer's cache holds '${cached}'; its build type is its own")
endif()
file(READ ${WORK_DIR}/dsp/compile_commands.json commands)
expect_in("${commands}" "-DNDEBUG")
step("build the DSP-only library" ${CMAKE_COMMAND} --build ${WORK_DIR}/dsp --parallel 2)
if(QVHOST)
  step("qvhost validate the DSP-only library" ${QVHOST} validate ${WORK_DIR}/dsp/dsponly.qvm)
endif()
message(STATUS "a DSP-only library without libgdiplus: ok")

# A description with a mistake stops the build at the file the author edits,
# its line and column, and is not copied beside the library; once right, it
# is. (The qvhost of the build tree checks it, as an installed one would.)
function(broken_description case old new expected)
  if(NOT QVHOST)
    return()
  endif()
  set(source ${WORK_DIR}/broken-${case})
  file(COPY ${PROJECT_DIR}/ DESTINATION ${source})
  set(description ${source}/dsponly.qvm.json)
  file(READ ${description} right)
  string(REPLACE "${old}" "${new}" wrong "${right}")
  file(WRITE ${description} "${wrong}")
  set(command ${CMAKE_COMMAND} -S ${source} -B ${source}/build -DCMAKE_PREFIX_PATH=${prefix} -DOVRA_QVHOST=${QVHOST})
  if(GENERATOR)
    list(APPEND command -G ${GENERATOR})
  endif()
  if(CXX_COMPILER)
    list(APPEND command -DCMAKE_CXX_COMPILER=${CXX_COMPILER})
  endif()
  step("configure broken-${case}" ${command})
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${source}/build RESULT_VARIABLE rc OUTPUT_VARIABLE out
    ERROR_VARIABLE err)
  if(rc EQUAL 0)
    message(FATAL_ERROR "a library with a broken description (${case}) built:\n${out}\n${err}")
  endif()
  expect_in("${out}${err}" "${description}:${expected}")
  if(EXISTS ${source}/build/dsponly.qvm.json)
    message(FATAL_ERROR "the broken description (${case}) was copied beside the library")
  endif()
  file(WRITE ${description} "${right}")
  step("build broken-${case} once it is right" ${CMAKE_COMMAND} --build ${source}/build)
  if(NOT EXISTS ${source}/build/dsponly.qvm.json)
    message(FATAL_ERROR "the corrected description (${case}) was not copied beside the library")
  endif()
endfunction()
broken_description(syntax "\"library\": \"dsponly\"," "\"library\": \"dsponly\"" "4:11: syntax error")
broken_description(pin "\"name\": \"Out\", \"type\": \"audio\"" "\"name\": \"Out\", \"type\": \"float\""
  "14:13: modules[0].halves[0].pins[1]: DO-Half dsp pin 1 (Out): described float out, the module declares audio out")
if(QVHOST)
  message(STATUS "broken descriptions stop the build at their place: ok")
endif()

# A build type the consumer gives is kept, and no line claims otherwise.
configure(debug ok said -DCMAKE_BUILD_TYPE=Debug)
string(FIND "${said}" "building Release" at)
file(STRINGS ${WORK_DIR}/debug/CMakeCache.txt cached REGEX "^CMAKE_BUILD_TYPE:")
if(at GREATER_EQUAL 0 OR NOT cached STREQUAL "CMAKE_BUILD_TYPE:STRING=Debug")
  message(FATAL_ERROR "a Debug build became '${cached}': ${said}")
endif()

# The same machine, a library that draws.
configure(drawing fail said -DDSP_ONLY_PARTS=dsp,gui,composited,gdiplus)
expect_in("${said}" "libgdiplus not found")
expect_in("${said}" "Debian package libgdiplus")

# Misspelled values: the configure stops with the ones there are.
configure(part fail said -DDSP_ONLY_PARTS=dsp,gui_2)
expect_in("${said}" "unknown part 'gui_2'; the parts are dsp, numeric, gui, gui2, windowed, composited, gdiplus")
configure(compare fail said -DDSP_ONLY_COMPARE=Unordered)
expect_in("${said}" "unknown FLOAT_COMPARE 'Unordered'; it is IEEE or UNORDERED")
message(STATUS "misspelled PARTS and FLOAT_COMPARE: ok")
