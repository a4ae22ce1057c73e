# Installs qvhost and the libraries to a fresh prefix and runs them from
# there, away from the build tree: the demo, and the installed example patch
# with the example library in a folder of its own.
#
#   cmake -DOVRA_BUILD_DIR=... -DWORK_DIR=... -DSLEW_LIBRARY=<slew.qvm> -P installed_host.cmake
include(${CMAKE_CURRENT_LIST_DIR}/steps.cmake)
require(installed_host.cmake OVRA_BUILD_DIR WORK_DIR SLEW_LIBRARY)

set(STEP_DIR ${WORK_DIR})

set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
step("install" ${CMAKE_COMMAND} --install ${OVRA_BUILD_DIR} --prefix ${prefix})

set(qvhost ${prefix}/bin/qvhost)
if(NOT EXISTS ${qvhost})
  message(FATAL_ERROR "the install has no bin/qvhost")
endif()

# The demo finds the four libraries in <prefix>/lib/ovra and, installed,
# writes to ./demo.
step("the installed qvhost's demo" ${qvhost} demo -q)
foreach(made envelope.wav envelope.png round-trip.wav round-trip.png meter_0.0s.png)
  if(NOT EXISTS ${WORK_DIR}/demo/${made})
    message(FATAL_ERROR "the installed demo wrote no demo/${made}")
  endif()
endforeach()

# The example patch as the guide runs it: guikit from the install, slew from
# a folder given with --plugins (here beside an empty one, to repeat it).
set(slew_dir ${WORK_DIR}/slew-build)
file(MAKE_DIRECTORY ${slew_dir} ${WORK_DIR}/empty)
file(COPY ${SLEW_LIBRARY} ${SLEW_LIBRARY}.json DESTINATION ${slew_dir})
step("the installed slew patch" ${qvhost} run ${prefix}/share/ovra/examples/slew/slew-patch.json
  --plugins ${WORK_DIR}/empty --plugins ${slew_dir} --out ${WORK_DIR}/slew-out)
if(NOT EXISTS ${WORK_DIR}/slew-out/slew.wav OR NOT EXISTS ${WORK_DIR}/slew-out/slew.png)
  message(FATAL_ERROR "the installed slew patch wrote no slew.wav and slew.png")
endif()
