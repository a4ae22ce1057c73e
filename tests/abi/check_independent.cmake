# Fails when a source of the ABI conformance test includes anything but the
# standard library, GoogleTest, the platform's loader headers and its own
# helpers: the test must not take its expected values from the code it tests.
#   cmake -DDIR=<tests/abi> -P check_independent.cmake
cmake_minimum_required(VERSION 3.25)
set(sources contract_test.cpp raw_abi.h raw_abi.cpp descriptions.h descriptions.cpp)
set(own raw_abi.h descriptions.h)
set(failed "")
foreach(source ${sources})
  file(STRINGS ${DIR}/${source} lines REGEX "^[ \t]*#[ \t]*include")
  foreach(line ${lines})
    if(line MATCHES "\"([^\"]+)\"")
      if(NOT CMAKE_MATCH_1 IN_LIST own)
        list(APPEND failed "${source}: ${line}")
      endif()
    elseif(line MATCHES "<((abi|dsp|gui|platform|framework|host)/[^>]*|[^>]*\\.\\.[^>]*)>")
      list(APPEND failed "${source}: ${line}")
    endif()
  endforeach()
endforeach()
if(failed)
  list(JOIN failed "\n  " text)
  message(FATAL_ERROR "the ABI conformance test includes code under test:\n  ${text}")
endif()
