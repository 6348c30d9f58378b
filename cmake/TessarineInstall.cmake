# Where `cmake --install` puts things. The rule is the same for every artefact:
#
# - no install prefix: the user's own folders, no root needed (the plug-in to ~/.vst,
#   tessarine-host to ~/.local/bin);
# - an install prefix, given when configuring (-DCMAKE_INSTALL_PREFIX=DIR) or when
#   installing (cmake --install BUILD --prefix DIR): everything under it (DIR/lib/vst,
#   DIR/bin), /usr/local included.
#
# "No prefix" has to be told apart from "--prefix /usr/local", which is also CMake's
# default prefix. So a build tree whose prefix nobody chose keeps CMAKE_INSTALL_PREFIX
# empty, and the install script reads an empty prefix as "the user's folders";
# `--prefix DIR` replaces it for one install. Configuring with -DCMAKE_INSTALL_PREFIX=
# (empty) goes back to the user's folders.

set(TESSARINE_PREFIX_HELP
    "Install prefix; empty: the user's folders (~/.vst, ~/.local/bin), see cmake/TessarineInstall.cmake")
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
  set(CMAKE_INSTALL_PREFIX "" CACHE PATH "${TESSARINE_PREFIX_HELP}" FORCE)
elseif(DEFINED TESSARINE_DEFAULT_PREFIX)
  # A build tree configured before this rule recorded its default prefix here.
  if(CMAKE_INSTALL_PREFIX STREQUAL TESSARINE_DEFAULT_PREFIX)
    set(CMAKE_INSTALL_PREFIX "" CACHE PATH "${TESSARINE_PREFIX_HELP}" FORCE)
  endif()
  unset(TESSARINE_DEFAULT_PREFIX CACHE)
endif()

# tessarine_install(FILE HOME <folder under $HOME> PREFIX <folder under the prefix>
#                   [OVERRIDE <folder>])
# Installs FILE (a file or a directory; generator expressions allowed) by the rule
# above; a non-empty OVERRIDE names the folder whatever the prefix. $HOME is read when
# installing, so `sudo cmake --install` without a prefix installs for root.
function(tessarine_install file)
  cmake_parse_arguments(I "" "HOME;PREFIX;OVERRIDE" "" ${ARGN})
  if(NOT I_HOME OR NOT I_PREFIX)
    message(FATAL_ERROR "tessarine_install(${file}): HOME and PREFIX folders are required")
  endif()
  install(CODE "
    if(NOT \"${I_OVERRIDE}\" STREQUAL \"\")
      set(destination \"${I_OVERRIDE}\")
    elseif(\"\${CMAKE_INSTALL_PREFIX}\" STREQUAL \"\")
      if(\"\$ENV{HOME}\" STREQUAL \"\")
        message(FATAL_ERROR \"HOME is not set: install with --prefix DIR\")
      endif()
      set(destination \"\$ENV{HOME}/${I_HOME}\")
    else()
      set(destination \"\${CMAKE_INSTALL_PREFIX}/${I_PREFIX}\")
    endif()
    file(INSTALL \"${file}\" DESTINATION \"\${destination}\" USE_SOURCE_PERMISSIONS)
  ")
endfunction()
