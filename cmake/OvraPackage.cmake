# Release packages (CPack): `cmake --build <build> --target package`.
#   Windows: ovra-<version>-win64.zip, everything in one folder: the four
#            libraries, their descriptions, qvhost.exe, README.txt.
#   Linux:   ovra-<version>-linux-x86_64.tar.gz, the installed layout: the
#            libraries, qvhost and the SDK, with README.txt in
#            share/doc/ovra.
# Both carry SHA256SUMS over every other file, beside README.txt. The
# version is the project's.

if(WIN32)
  set(OVRA_PACKAGE_PLATFORM win64)
  set(OVRA_PACKAGE_COMPONENTS win64)
  foreach(lib IN LISTS OVRA_LIBRARIES)
    install(TARGETS ${lib} LIBRARY DESTINATION . COMPONENT win64 RUNTIME DESTINATION . COMPONENT win64)
    install(FILES ${PROJECT_SOURCE_DIR}/modules/${lib}/${lib}.qvm.json DESTINATION . COMPONENT win64)
  endforeach()
  if(TARGET qvhost)
    install(TARGETS qvhost RUNTIME DESTINATION . COMPONENT win64)
  endif()
else()
  set(OVRA_PACKAGE_PLATFORM linux-${CMAKE_SYSTEM_PROCESSOR})
  set(OVRA_PACKAGE_COMPONENTS sdk plugins)
  if(TARGET qvhost)
    list(APPEND OVRA_PACKAGE_COMPONENTS qvhost)
  endif()
endif()

# README.txt and SHA256SUMS: in the zip's one folder; elsewhere in the
# package's doc folder, never in the root of the prefix (/usr/local for a
# system install).
set(OVRA_PACKAGE_README_MORE "")
if(WIN32)
  set(OVRA_PACKAGE_DOC_DIR .)
  set(OVRA_PACKAGE_SUMMED "*")
  set(OVRA_PACKAGE_CHECK_SUMS "sha256sum -c SHA256SUMS")
else()
  set(OVRA_PACKAGE_CHECK_SUMS "from the top folder: sha256sum -c ${CMAKE_INSTALL_DOCDIR}/SHA256SUMS")
  set(OVRA_PACKAGE_README_MORE "Libraries of your own: the SDK (share/ovra) and its guide,
${CMAKE_INSTALL_DOCDIR}/writing-a-module.md; qvhost's checks: validate.md; every
module of the four libraries: modules.md, in the same folder.

")
  set(OVRA_PACKAGE_DOC_DIR ${CMAKE_INSTALL_DOCDIR})
  # What the package installs, and nothing else a shared prefix holds.
  set(OVRA_PACKAGE_SUMMED ${CMAKE_INSTALL_BINDIR}/qvhost ${CMAKE_INSTALL_BINDIR}/qvhost.exe ${CMAKE_INSTALL_LIBDIR}/ovra/* ${OVRA_INSTALL_DIR}/*
    ${CMAKE_INSTALL_DOCDIR}/*)
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/package-README.txt.in ${PROJECT_BINARY_DIR}/package/README.txt @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/package/README.txt DESTINATION ${OVRA_PACKAGE_DOC_DIR} COMPONENT package)
# Last, over whatever the package holds by then; the names are relative to
# the prefix.
install(CODE "set(summed \"${OVRA_PACKAGE_SUMMED}\")
  set(sums_file \"${OVRA_PACKAGE_DOC_DIR}/SHA256SUMS\")"
  COMPONENT package)
install(CODE [[
  set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
  set(files "")
  foreach(pattern IN LISTS summed)
    file(GLOB_RECURSE found LIST_DIRECTORIES false RELATIVE "${root}" "${root}/${pattern}")
    list(APPEND files ${found})
  endforeach()
  cmake_path(NORMAL_PATH sums_file)
  list(REMOVE_DUPLICATES files)
  list(REMOVE_ITEM files ${sums_file})
  list(SORT files)
  set(sums "")
  foreach(f IN LISTS files)
    file(SHA256 "${root}/${f}" hash)
    string(APPEND sums "${hash}  ${f}\n")
  endforeach()
  file(WRITE "${root}/${sums_file}" "${sums}")
]] COMPONENT package)
list(APPEND OVRA_PACKAGE_COMPONENTS package)

set(CPACK_PACKAGE_NAME ovra)
set(CPACK_PACKAGE_VENDOR ovra)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Plug-in module libraries for a modular audio host, and qvhost")
set(CPACK_PACKAGE_FILE_NAME ovra-${PROJECT_VERSION}-${OVRA_PACKAGE_PLATFORM})
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR TGZ)
endif()
# Only the package's own components, installed one after the other into one
# folder.
set(CPACK_INSTALL_CMAKE_PROJECTS "")
foreach(component IN LISTS OVRA_PACKAGE_COMPONENTS)
  list(APPEND CPACK_INSTALL_CMAKE_PROJECTS ${PROJECT_BINARY_DIR} ${PROJECT_NAME} ${component} /)
endforeach()
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
include(CPack)
