# A macOS build for this Mac's own processor takes Qt, OpenSSL and GoogleTest
# from Homebrew when nothing else is named. CMake already searches Homebrew's
# prefix on Apple silicon (/opt/homebrew) and /usr/local on Intel, where `qt`
# and `googletest` are linked; `openssl@3` is keg-only and needs the hint.
#
# A universal build (more than one architecture) never looks here: Homebrew's
# libraries hold one architecture, and the link would fail for the other.
if(NOT APPLE OR CMAKE_OSX_ARCHITECTURES MATCHES ";")
  return()
endif()
find_program(LUMADOC_BREW brew HINTS /opt/homebrew/bin /usr/local/bin)
if(NOT LUMADOC_BREW)
  return()
endif()
execute_process(COMMAND ${LUMADOC_BREW} --prefix
  OUTPUT_VARIABLE _brew_prefix OUTPUT_STRIP_TRAILING_WHITESPACE
  RESULT_VARIABLE _brew_status ERROR_QUIET)
if(NOT _brew_status EQUAL 0 OR NOT IS_DIRECTORY "${_brew_prefix}")
  return()
endif()
# After any prefix given on the command line, so a named Qt kit wins.
list(APPEND CMAKE_PREFIX_PATH "${_brew_prefix}")
if(NOT OPENSSL_ROOT_DIR AND NOT DEFINED ENV{OPENSSL_ROOT_DIR}
   AND IS_DIRECTORY "${_brew_prefix}/opt/openssl@3")
  set(OPENSSL_ROOT_DIR "${_brew_prefix}/opt/openssl@3")
endif()
message(STATUS "Homebrew: ${_brew_prefix} (OpenSSL: ${OPENSSL_ROOT_DIR})")
