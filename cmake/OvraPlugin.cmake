# ovra_add_plugin(): declares one plug-in library of the framework.
#
#   ovra_add_plugin(<name>
#       COMPILER <number>            # the number that describeBuild reports
#       [FLOAT_COMPARE UNORDERED|IEEE]  # how GUI float pins decide "unchanged"
#       [LEGACY_INIT]                # DSP modules carry IMpLegacyInitialization
#                                    # (DSP-only libraries: no GUI parts with it)
#       PARTS <part>...              # dsp numeric gui gui2 windowed composited gdiplus
#                                    # (gdiplus looks up libgdiplus on Linux)
#       SOURCES <file>...
#       [DESCRIPTION <file>.qvm.json])  # checked at build time, then copied
#                                    # beside the library
#
# The result is <name>.qvm on every platform, with MP_GetFactory as its only
# export. The framework is compiled into each library from source, so that
# the per-library choices above are fixed at compile time and the static
# initialisers that register modules are never dropped by the linker.
#
# This file works in place in the source tree and from an installed package
# (find_package(ovra)): either way the framework lies in ../framework.

# Plug-in libraries ship optimised and stripped: a single-config build
# without a build type builds Release. The default is a plain variable of the
# including scope, never written into the cache, so a consumer's own choice
# (now or in a later configure) always wins. Multi-config generators (Visual
# Studio, Ninja Multi-Config) keep their own choice per build.
get_property(_ovra_multi_config GLOBAL PROPERTY GENERATOR_IS_MULTI_CONFIG)
if(NOT _ovra_multi_config AND NOT CMAKE_BUILD_TYPE)
  set(CMAKE_BUILD_TYPE Release)
  message(STATUS "ovra: no CMAKE_BUILD_TYPE given, building Release (-DCMAKE_BUILD_TYPE=... to choose)")
endif()

set(OVRA_FRAMEWORK_DIR "${CMAKE_CURRENT_LIST_DIR}/../framework" CACHE PATH "ovra framework sources")
# The platform-independent maths: correctly rounded float functions, and
# the exp and powf of the envelope (tests and benchmarks compile them too).
# Cached, so that a project taking ovra with add_subdirectory sees them too.
set(OVRA_NUMERIC_SOURCES ${OVRA_FRAMEWORK_DIR}/numeric/numeric.cpp ${OVRA_FRAMEWORK_DIR}/numeric/float_maths.cpp
  CACHE INTERNAL "Sources of the part numeric")
set(OVRA_PLUGIN_OUTPUT_DIR "${CMAKE_BINARY_DIR}" CACHE PATH "Where .qvm files are written")
set(OVRA_SANITIZE "" CACHE STRING "Sanitizers for everything built (e.g. address,undefined)")

# Bit-exact numerics on every build: no contraction into fused multiply-add,
# never fast-math. Cached, as is the GDI+ library below, so that a project
# that takes ovra with add_subdirectory and declares its libraries in its own
# folders gets the same flags.
set(OVRA_COMMON_FLAGS -ffp-contract=off -fno-fast-math CACHE INTERNAL "Numerics flags of every ovra target")

function(ovra_target_defaults target)
  target_compile_options(${target} PRIVATE ${OVRA_COMMON_FLAGS} -Wall -Wextra)
  if(OVRA_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=${OVRA_SANITIZE} -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_link_options(${target} PRIVATE -fsanitize=${OVRA_SANITIZE})
  endif()
endfunction()

# GDI+: gdiplus.dll through its import library on Windows; libgdiplus
# elsewhere, which some systems install without the unversioned name. Looked
# up by the first library that draws, so that a project of DSP modules needs
# no libgdiplus on its machine.
function(ovra_find_gdiplus)
  if(WIN32)
    set(OVRA_GDIPLUS_LIBRARY gdiplus CACHE STRING "GDI+ import library")
  else()
    find_library(OVRA_GDIPLUS_LIBRARY NAMES gdiplus libgdiplus.so.0 PATHS /usr/lib /usr/local/lib)
    if(NOT OVRA_GDIPLUS_LIBRARY)
      message(FATAL_ERROR "libgdiplus not found, which the part 'gdiplus' links (Debian package libgdiplus; "
        "scripts/setup.sh installs it)")
    endif()
  endif()
endfunction()

# The qvhost that checks descriptions while a library builds: the project's
# own target when it builds one for this machine, else this one (an
# installed SDK's bin/qvhost), else none and descriptions are copied
# unchecked.
set(_ovra_installed_qvhost "${CMAKE_CURRENT_LIST_DIR}/../../../bin/qvhost")
if(NOT DEFINED OVRA_QVHOST AND EXISTS "${_ovra_installed_qvhost}" AND EXISTS "${CMAKE_CURRENT_LIST_DIR}/../framework")
  cmake_path(NORMAL_PATH _ovra_installed_qvhost)
  set(OVRA_QVHOST "${_ovra_installed_qvhost}" CACHE FILEPATH "qvhost that checks module descriptions at build time")
endif()

# The step that checks a library's description and copies it beside the
# library: FILE:LINE:COLUMN of the file the author edits for any problem,
# and no copy (the old one removed) until it is right.
function(_ovra_description_step name description output)
  set(twin ${name}_pin_table)
  set(depends ${description} ${name} ${twin})
  if(OVRA_QVHOST)
    set(qvhost ${OVRA_QVHOST})
  elseif(TARGET qvhost AND NOT CMAKE_CROSSCOMPILING)
    set(qvhost $<TARGET_FILE:qvhost>)
    list(APPEND depends qvhost)
  else()
    message(STATUS "ovra: ${name}: no qvhost for this machine, ${description} is copied unchecked")
    add_custom_command(OUTPUT ${output}
      COMMAND ${CMAKE_COMMAND} -E copy ${description} ${output}
      DEPENDS ${description} VERBATIM)
    add_custom_target(${name}_description ALL DEPENDS ${output})
    return()
  endif()
  # A native qvhost reads a Windows library's pins only through Wine:
  # there the file itself is checked.
  set(library $<TARGET_FILE:${name}>)
  if(CMAKE_CROSSCOMPILING)
    set(library "")
  endif()
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E rm -f ${output}
    COMMAND ${qvhost} check-description ${description} ${library}
    COMMAND ${CMAKE_COMMAND} -E copy ${description} ${output}
    DEPENDS ${depends}
    COMMENT "Checking ${description}"
    VERBATIM)
  add_custom_target(${name}_description ALL DEPENDS ${output})
endfunction()

function(ovra_framework_sources out)
  set(parts ${ARGN})
  set(dir ${OVRA_FRAMEWORK_DIR})
  set(srcs ${dir}/abi/factory.cpp)
  if("dsp" IN_LIST parts)
    list(APPEND srcs ${dir}/dsp/mp_base.cpp)
  endif()
  # Platform-independent maths, for modules whose results must not depend
  # on the C runtime.
  if("numeric" IN_LIST parts)
    list(APPEND srcs ${OVRA_NUMERIC_SOURCES})
  endif()
  if("gui" IN_LIST parts OR "gui2" IN_LIST parts OR "windowed" IN_LIST parts OR "composited" IN_LIST parts)
    list(APPEND srcs ${dir}/gui/gui_base.cpp)
  endif()
  if("windowed" IN_LIST parts)
    list(APPEND srcs ${dir}/gui/windowed_gfx_base.cpp)
    if(NOT WIN32)
      list(APPEND srcs ${dir}/platform/window_system.cpp)
    endif()
  endif()
  if("composited" IN_LIST parts)
    list(APPEND srcs ${dir}/gui/composited_gfx_base.cpp)
  endif()
  # Libraries whose modules paint with GDI+ start it through this.
  if("gdiplus" IN_LIST parts)
    list(APPEND srcs ${dir}/platform/gdiplus_runtime.cpp)
  endif()
  set(${out} ${srcs} PARENT_SCOPE)
endfunction()

# How a plug-in library (and its pin-table twin) links: `map` lists the
# exports on ELF platforms; on Windows the dllexport attributes decide.
function(ovra_plugin_link target map)
  set(parts ${ARGN})
  if(WIN32)
    # One export (the dllexport on MP_GetFactory), a static C++ runtime: the
    # DLL imports nothing but system DLLs. Release builds drop the symbols
    # and every function and datum that nothing reaches.
    target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++
      "$<$<CONFIG:Release>:-s;-Wl,--gc-sections>")
    if("windowed" IN_LIST parts OR "gui" IN_LIST parts OR "gui2" IN_LIST parts)
      target_link_libraries(${target} PRIVATE user32)
    endif()
    if("gdiplus" IN_LIST parts)
      target_link_libraries(${target} PRIVATE ${OVRA_GDIPLUS_LIBRARY})
    endif()
  else()
    target_link_options(${target} PRIVATE "-Wl,--version-script=${map}")
    if(NOT OVRA_SANITIZE)
      target_link_options(${target} PRIVATE -Wl,--no-undefined)
    endif()
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${map})
    if("gdiplus" IN_LIST parts)
      target_link_libraries(${target} PRIVATE ${OVRA_GDIPLUS_LIBRARY})
    endif()
    if("windowed" IN_LIST parts)
      target_link_libraries(${target} PRIVATE ${CMAKE_DL_LIBS})  # dladdr: the library's own module handle
    endif()
  endif()
endfunction()

function(ovra_add_plugin name)
  cmake_parse_arguments(P "LEGACY_INIT" "COMPILER;FLOAT_COMPARE;DESCRIPTION" "PARTS;SOURCES" ${ARGN})
  if(P_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "ovra_add_plugin(${name}): unexpected arguments '${P_UNPARSED_ARGUMENTS}' "
      "(the keywords are COMPILER, DESCRIPTION, FLOAT_COMPARE, LEGACY_INIT, PARTS and SOURCES)")
  endif()
  if(NOT P_COMPILER)
    message(FATAL_ERROR "ovra_add_plugin(${name}): COMPILER is required")
  endif()
  if(NOT P_SOURCES)
    message(FATAL_ERROR "ovra_add_plugin(${name}): SOURCES is required")
  endif()
  # A misspelled value would otherwise leave out a part or the comparison
  # the author asked for, without a word.
  set(known_parts dsp numeric gui gui2 windowed composited gdiplus)
  foreach(part IN LISTS P_PARTS)
    if(NOT part IN_LIST known_parts)
      string(REPLACE ";" ", " known_text "${known_parts}")
      message(FATAL_ERROR "ovra_add_plugin(${name}): unknown part '${part}'; the parts are ${known_text}")
    endif()
  endforeach()
  if("FLOAT_COMPARE" IN_LIST P_KEYWORDS_MISSING_VALUES
     OR (DEFINED P_FLOAT_COMPARE AND NOT P_FLOAT_COMPARE MATCHES "^(IEEE|UNORDERED)$"))
    message(FATAL_ERROR "ovra_add_plugin(${name}): unknown FLOAT_COMPARE '${P_FLOAT_COMPARE}'; "
      "it is IEEE or UNORDERED")
  endif()
  if("gdiplus" IN_LIST P_PARTS)
    ovra_find_gdiplus()
  endif()
  # A default build type for the calling folder too, when ovra itself was
  # included from another one (add_subdirectory).
  get_property(multi_config GLOBAL PROPERTY GENERATOR_IS_MULTI_CONFIG)
  if(NOT multi_config AND NOT CMAKE_BUILD_TYPE)
    set(CMAKE_BUILD_TYPE Release PARENT_SCOPE)
  endif()
  # The factory attaches hosts through one interface per library: with
  # LEGACY_INIT that is the DSP modules' IMpLegacyInitialization, and
  # first-family GUI modules would be created without a host.
  if(P_LEGACY_INIT)
    foreach(part gui gui2 windowed composited)
      if(part IN_LIST P_PARTS)
        message(FATAL_ERROR "ovra_add_plugin(${name}): LEGACY_INIT is for libraries of DSP modules only; "
          "it cannot be combined with the GUI part '${part}' (the factory would create GUI modules without a host)")
      endif()
    endforeach()
  endif()
  ovra_framework_sources(fw ${P_PARTS})
  add_library(${name} MODULE ${P_SOURCES} ${fw})
  target_compile_features(${name} PRIVATE cxx_std_20)
  set_target_properties(${name} PROPERTIES
    PREFIX "" SUFFIX ".qvm"
    CXX_EXTENSIONS OFF
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    LIBRARY_OUTPUT_DIRECTORY ${OVRA_PLUGIN_OUTPUT_DIR}
    RUNTIME_OUTPUT_DIRECTORY ${OVRA_PLUGIN_OUTPUT_DIR})
  target_include_directories(${name} PRIVATE ${OVRA_FRAMEWORK_DIR})
  set(float_unordered 0)
  if(P_FLOAT_COMPARE STREQUAL "UNORDERED")
    set(float_unordered 1)
  endif()
  set(legacy 0)
  if(P_LEGACY_INIT)
    set(legacy 1)
  endif()
  target_compile_definitions(${name} PRIVATE
    OVRA_PLUGIN_BUILD=1
    OVRA_COMPILER_NUMBER=${P_COMPILER}
    OVRA_FLOAT_UNORDERED_EQUAL=${float_unordered}
    OVRA_LEGACY_INIT=${legacy})
  ovra_target_defaults(${name})
  # The module descriptions a host reads travel beside the library. Named
  # with DESCRIPTION, the file is checked once the library and its pin table
  # are built (see _ovra_description_step); a <name>.qvm.json that lies
  # beside the CMakeLists.txt is only copied.
  set(description_out ${OVRA_PLUGIN_OUTPUT_DIR}/${name}.qvm.json)
  if(P_DESCRIPTION)
    cmake_path(ABSOLUTE_PATH P_DESCRIPTION BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR} NORMALIZE
      OUTPUT_VARIABLE description)
    if(NOT EXISTS ${description})
      message(FATAL_ERROR "ovra_add_plugin(${name}): DESCRIPTION ${P_DESCRIPTION}: no such file "
        "(qvhost describe ${name}.qvm writes a first one from the built library)")
    endif()
    # Once the whole project is read, when it is known whether qvhost is
    # one of its targets. A deferred call reads its arguments when it runs,
    # so their values are written into it now.
    cmake_language(EVAL CODE "cmake_language(DEFER DIRECTORY [[${CMAKE_SOURCE_DIR}]]
      CALL _ovra_description_step [[${name}]] [[${description}]] [[${description_out}]])")
  else()
    set(description ${CMAKE_CURRENT_SOURCE_DIR}/${name}.qvm.json)
    if(EXISTS ${description})
      add_custom_command(TARGET ${name} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${description} ${description_out}
        VERBATIM)
      set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS ${description})
    endif()
  endif()
  if(WIN32)
    target_compile_options(${name} PRIVATE "$<$<CONFIG:Release>:-ffunction-sections;-fdata-sections>")
    # Wide-character Windows API throughout (IDC_ARROW and friends included).
    target_compile_definitions(${name} PRIVATE UNICODE _UNICODE)
  endif()
  ovra_plugin_link(${name} ${OVRA_FRAMEWORK_DIR}/abi/plugin_exports.map ${P_PARTS})

  # The pin-table twin, <name>.qvm.pins beside the library: the library's own
  # objects and one entry more that lists every module's registered pins, so
  # that qvhost validate compares the pins as the code declares them with
  # the description. A host never loads it, and nothing installs it.
  set(twin ${name}_pin_table)
  add_library(${twin} MODULE $<TARGET_OBJECTS:${name}> ${OVRA_FRAMEWORK_DIR}/abi/pin_table.cpp)
  add_dependencies(${twin} ${name})
  # Relinked whenever the library is, so that it is never older than the
  # library (which qvhost takes for a stale table).
  set_property(TARGET ${twin} APPEND PROPERTY LINK_DEPENDS $<TARGET_FILE:${name}>)
  target_compile_features(${twin} PRIVATE cxx_std_20)
  set_target_properties(${twin} PROPERTIES
    PREFIX "" OUTPUT_NAME ${name} SUFFIX ".qvm.pins"
    CXX_EXTENSIONS OFF
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    LIBRARY_OUTPUT_DIRECTORY ${OVRA_PLUGIN_OUTPUT_DIR}
    RUNTIME_OUTPUT_DIRECTORY ${OVRA_PLUGIN_OUTPUT_DIR})
  target_include_directories(${twin} PRIVATE ${OVRA_FRAMEWORK_DIR})
  # The entry sees the framework's headers exactly as the library's objects
  # did.
  set(with_dsp 0)
  set(with_gui 0)
  if("dsp" IN_LIST P_PARTS)
    set(with_dsp 1)
  endif()
  if("gui" IN_LIST P_PARTS OR "gui2" IN_LIST P_PARTS OR "windowed" IN_LIST P_PARTS OR "composited" IN_LIST P_PARTS)
    set(with_gui 1)
  endif()
  target_compile_definitions(${twin} PRIVATE $<TARGET_PROPERTY:${name},COMPILE_DEFINITIONS>
    OVRA_PIN_TABLE_DSP=${with_dsp} OVRA_PIN_TABLE_GUI=${with_gui})
  ovra_target_defaults(${twin})
  ovra_plugin_link(${twin} ${OVRA_FRAMEWORK_DIR}/abi/pin_table_exports.map ${P_PARTS})
  if(WIN32)
    target_compile_definitions(${twin} PRIVATE UNICODE _UNICODE)
  endif()
endfunction()
