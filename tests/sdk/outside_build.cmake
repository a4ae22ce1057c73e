# Installs the SDK from a build tree to a fresh prefix, copies the example
# library out of the source tree and builds it there against the installed
# package, as a module developer outside this repository would.
#
#   cmake -DOVRA_BUILD_DIR=... -DEXAMPLE_DIR=... -DWORK_DIR=...
#         [-DGENERATOR=...] [-DCXX_COMPILER=...] [-DTOOLCHAIN=<file name>]
#         [-DQVHOST=...] -P outside_build.cmake
#
# TOOLCHAIN names a toolchain file of the installed package (a cross-build);
# QVHOST, when given, validates the library that was built.
include(${CMAKE_CURRENT_LIST_DIR}/steps.cmake)
require(outside_build.cmake OVRA_BUILD_DIR EXAMPLE_DIR WORK_DIR)


set(prefix ${WORK_DIR}/prefix)
set(source ${WORK_DIR}/slew)
set(build ${WORK_DIR}/build)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

step("install the SDK" ${CMAKE_COMMAND} --install ${OVRA_BUILD_DIR} --prefix ${prefix} --component sdk)
foreach(installed share/ovra/cmake/ovraConfig.cmake share/ovra/cmake/ovraConfigVersion.cmake
                  share/ovra/cmake/OvraPlugin.cmake share/ovra/cmake/mingw-w64-x86_64.cmake
                  share/ovra/framework/abi/abi.h share/ovra/framework/abi/factory.cpp
                  share/ovra/framework/abi/plugin_exports.map share/ovra/examples/slew/CMakeLists.txt)
  if(NOT EXISTS ${prefix}/${installed})
    message(FATAL_ERROR "the installed SDK lacks ${installed}")
  endif()
endforeach()

# Out of the tree: nothing may reach back into it by a relative path.
file(COPY ${EXAMPLE_DIR}/ DESTINATION ${source})

# A cross-built library: a 64-bit Windows DLL whose one export is
# MP_GetFactory.
function(check_windows_library file)
  find_program(objdump NAMES x86_64-w64-mingw32-objdump)
  if(NOT objdump)
    return()
  endif()
  execute_process(COMMAND ${objdump} -p ${file} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0 OR NOT dump MATCHES "pei-x86-64")
    message(FATAL_ERROR "${file} is not a 64-bit Windows library")
  endif()
  string(REGEX REPLACE ".*\\[Ordinal/Name Pointer\\] Table\n" "" table "${dump}")
  string(REGEX REPLACE "\n[ \t]*\n.*" "" table "${table}")
  string(REGEX MATCHALL "[^ \t\n]+\n|[^ \t\n]+$" names "${table}")
  string(STRIP "${names}" names)
  if(NOT names STREQUAL "MP_GetFactory")
    message(FATAL_ERROR "${file} exports '${names}', expected MP_GetFactory only")
  endif()
  message(STATUS "${file} exports MP_GetFactory only: ok")
endfunction()

# Configures and builds one library folder against the installed package,
# then checks what it made.
function(build_outside name source build)
  set(configure ${CMAKE_COMMAND} -S ${source} -B ${build} -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_BUILD_TYPE=Release)
  if(GENERATOR)
    list(APPEND configure -G ${GENERATOR})
  endif()
  if(TOOLCHAIN)
    list(APPEND configure -DCMAKE_TOOLCHAIN_FILE=${prefix}/share/ovra/cmake/${TOOLCHAIN})
  elseif(CXX_COMPILER)
    list(APPEND configure -DCMAKE_CXX_COMPILER=${CXX_COMPILER})
  endif()
  step("configure ${name} against the installed package" ${configure})

  file(STRINGS ${build}/CMakeCache.txt framework_dir REGEX "^OVRA_FRAMEWORK_DIR:")
  string(REGEX REPLACE "^[^=]*=" "" framework_dir "${framework_dir}")
  get_filename_component(framework_dir "${framework_dir}" REALPATH)
  get_filename_component(real_prefix "${prefix}" REALPATH)
  string(FIND "${framework_dir}" "${real_prefix}/" at)
  if(NOT at EQUAL 0)
    message(FATAL_ERROR "${name} compiles the framework from ${framework_dir}, not from the installed package")
  endif()

  step("build ${name}" ${CMAKE_COMMAND} --build ${build} --parallel 2)
  foreach(made ${name}.qvm ${name}.qvm.json)
    if(NOT EXISTS ${build}/${made})
      message(FATAL_ERROR "the build made no ${made}")
    endif()
  endforeach()
  if(QVHOST AND NOT TOOLCHAIN)
    step("qvhost validate ${name}" ${QVHOST} validate ${build}/${name}.qvm)
  endif()
  if(TOOLCHAIN)
    check_windows_library(${build}/${name}.qvm)
  endif()
endfunction()

build_outside(slew ${source} ${build})

if(GUIDE)
  step("take the files the guide spells out" ${PYTHON} ${CMAKE_CURRENT_LIST_DIR}/guide_files.py ${GUIDE}
    ${WORK_DIR}/mygain)
  build_outside(mygain ${WORK_DIR}/mygain ${WORK_DIR}/mygain/build)
endif()
