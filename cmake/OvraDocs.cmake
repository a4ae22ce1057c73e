# Pages that are installed along with what they describe. In the source tree
# a page links to its neighbours by their place in the tree
# (docs/writing-a-module.md to ../examples/slew/slew.cpp); installed, the same
# files lie elsewhere (share/doc/ovra, share/ovra/examples/slew). Each page is
# copied with every relative link that points into an installed folder
# rewritten to where that folder is installed.
#
#   ovra_doc_folder(<source folder> <install folder>)   # declare, before any page
#   ovra_install_page(<source file> COMPONENT <component>)
#
# Folders are relative to PROJECT_SOURCE_DIR and to the install prefix. A
# link to anything outside the declared folders is left as it is (the SDK
# tests check that every installed link resolves).

set_property(GLOBAL PROPERTY OVRA_DOC_FOLDERS "")

function(ovra_doc_folder source destination)
  set_property(GLOBAL APPEND PROPERTY OVRA_DOC_FOLDERS "${source}=${destination}")
endfunction()

# The installed place of a file of the source tree (both relative), or ""
# when no declared folder holds it.
function(_ovra_installed_place path out)
  get_property(folders GLOBAL PROPERTY OVRA_DOC_FOLDERS)
  set(best "")
  set(best_length -1)
  foreach(entry IN LISTS folders)
    string(REPLACE "=" ";" pair "${entry}")
    list(GET pair 0 source)
    list(GET pair 1 destination)
    string(LENGTH "${source}" length)
    if((path STREQUAL source OR path MATCHES "^${source}/") AND length GREATER best_length)
      string(SUBSTRING "${path}" ${length} -1 rest)
      set(best "${destination}${rest}")
      set(best_length ${length})
    endif()
  endforeach()
  set(${out} "${best}" PARENT_SCOPE)
endfunction()

function(ovra_install_page page)
  cmake_parse_arguments(P "" "COMPONENT" "" ${ARGN})
  file(RELATIVE_PATH page_path ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/${page})
  _ovra_installed_place("${page_path}" installed_page)
  if(NOT installed_page)
    message(FATAL_ERROR "ovra_install_page: ${page} lies in no declared folder")
  endif()
  get_filename_component(page_dir "${page_path}" DIRECTORY)
  get_filename_component(installed_dir "${installed_page}" DIRECTORY)

  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${page})
  file(READ ${PROJECT_SOURCE_DIR}/${page} text)
  # Markdown links and pictures: ](target) or ](target#anchor). The bracket
  # is set aside while the links are a list, since CMake lists count
  # brackets.
  set(mark "<ovra-link>")
  string(REPLACE "](" "${mark}(" text "${text}")
  string(REGEX MATCHALL "${mark}\\([^)# ]+[)#]" links "${text}")
  list(REMOVE_DUPLICATES links)
  foreach(link IN LISTS links)
    string(REGEX REPLACE "^${mark}\\((.*)[)#]$" "\\1" target "${link}")
    string(REGEX MATCH "[)#]$" closing "${link}")
    if(target MATCHES "^[a-z]+:" OR IS_ABSOLUTE "${target}")
      continue()
    endif()
    # Where the target lies in the tree, and where it is installed.
    cmake_path(SET in_tree NORMALIZE "${page_dir}/${target}")
    string(REGEX REPLACE "/$" "" in_tree "${in_tree}")
    _ovra_installed_place("${in_tree}" installed_target)
    if(NOT installed_target)
      continue()
    endif()
    file(RELATIVE_PATH new_target /prefix/${installed_dir} /prefix/${installed_target})
    string(REPLACE "${link}" "<ovra-new-link>(${new_target}${closing}" text "${text}")
  endforeach()
  string(REPLACE "${mark}(" "](" text "${text}")
  string(REPLACE "<ovra-new-link>(" "](" text "${text}")
  set(copy ${PROJECT_BINARY_DIR}/installed-pages/${installed_page})
  # Rewritten only when it changed, so that an unchanged page keeps its time.
  set(old_text "")
  if(EXISTS ${copy})
    file(READ ${copy} old_text)
  endif()
  if(NOT old_text STREQUAL text)
    file(WRITE ${copy} "${text}")
  endif()
  install(FILES ${copy} DESTINATION ${installed_dir} COMPONENT ${P_COMPONENT})
endfunction()
