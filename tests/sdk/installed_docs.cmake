# Installs the SDK to a fresh prefix, as a plain `cmake --install` does, and
# checks its documentation there: the guide and the pages it leads to lie in
# share/doc/ovra with their pictures, README.txt and SHA256SUMS beside them
# and not in the prefix's root, the checksums hold for the installed files
# alone, and every link of every installed page resolves in the installed
# tree.
#
#   cmake -DOVRA_BUILD_DIR=... -DWORK_DIR=... -DPYTHON=... -P installed_docs.cmake
include(${CMAKE_CURRENT_LIST_DIR}/steps.cmake)
require(installed_docs.cmake OVRA_BUILD_DIR WORK_DIR PYTHON)

set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
# A prefix shared with other software: nothing of it is summed or replaced.
file(WRITE ${prefix}/README.txt "another package's README\n")
file(WRITE ${prefix}/bin/other-tool "not ovra's\n")
step("install" ${CMAKE_COMMAND} --install ${OVRA_BUILD_DIR} --prefix ${prefix})

set(docs ${prefix}/share/doc/ovra)
foreach(installed writing-a-module.md validate.md modules.md README.txt SHA256SUMS images/slew.png)
  if(NOT EXISTS ${docs}/${installed})
    message(FATAL_ERROR "the install has no share/doc/ovra/${installed}")
  endif()
endforeach()
file(READ ${prefix}/README.txt readme)
if(EXISTS ${prefix}/SHA256SUMS OR NOT readme STREQUAL "another package's README\n")
  message(FATAL_ERROR "the install wrote README.txt or SHA256SUMS into the root of the prefix")
endif()

file(READ ${docs}/SHA256SUMS sums)
foreach(foreign bin/other-tool README.txt)
  string(FIND "${sums}" "  ${foreign}\n" at)
  if(at GREATER_EQUAL 0)
    message(FATAL_ERROR "SHA256SUMS lists ${foreign}, which the package did not install")
  endif()
endforeach()
foreach(own lib/ovra/adsr.qvm share/ovra/cmake/OvraPlugin.cmake share/doc/ovra/README.txt
            share/doc/ovra/images/slew.png)
  string(FIND "${sums}" "  ${own}\n" at)
  if(at LESS 0)
    message(FATAL_ERROR "SHA256SUMS does not list ${own}")
  endif()
endforeach()
set(STEP_DIR ${prefix})
step("the checksums of SHA256SUMS, from the prefix" sha256sum --quiet -c share/doc/ovra/SHA256SUMS)

step("the links of the installed pages" ${PYTHON} ${CMAKE_CURRENT_LIST_DIR}/doc_links.py ${prefix}/share)
