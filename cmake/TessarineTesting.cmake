# The test functions, and the packages the tests need, looked up once.
#
# Labels: "unit" runs everywhere (also under the sanitizers), "integration" loads the
# built plug-in or runs the tools, "gui" opens real windows in a private X server
# (tessarine-xvfb-run, support/), "tsan" runs under ThreadSanitizer, "rt" is real-time
# safety, "exhaustive" is long and stays outside the default suite.

find_package(doctest REQUIRED)
find_package(PkgConfig REQUIRED)
# The real pointer and keyboard (XTest), the server's clients and resources (XRes),
# the cursor's name (XFixes).
pkg_check_modules(XTST REQUIRED IMPORTED_TARGET xtst x11)
pkg_check_modules(XRES REQUIRED IMPORTED_TARGET xres)
pkg_check_modules(XFIXES REQUIRED IMPORTED_TARGET xfixes)
# The window tests' private X servers (support/privatexserver.h).
find_program(XVFB Xvfb REQUIRED)

# tessarine_add_test(NAME SOURCES ... [LIBS ...] [LABELS ...] [XVFB] [ENTRY] [PLUGIN]
#                    [HOST_TOOL])
#   XVFB       runs in a private X server with the label "gui" (LABELS adds to it),
#              linked with the window tests' host (xtesthost.h): a server of its own
#              on a display number Xvfb picks (tessarine-xvfb-run), so tests run
#              at once never share one
#   ENTRY      VSTPluginMain compiled in, so the build's sanitizers see the entry too
#   PLUGIN     TESSARINE_PLUGIN_PATH names the built plug-in (tessarine_use_plugin)
#   HOST_TOOL  TESSARINE_HOST_PATH names tessarine-host, FAKE_PLUGIN_PATH and
#              FAKE_NOENTRY_PATH the fake plug-ins (tests/support)
# Without XVFB and LABELS the test is a "unit" test. Every test links the doctest main
# and sees tests/support and its own folder.
function(tessarine_add_test name)
  cmake_parse_arguments(T "XVFB;ENTRY;PLUGIN;HOST_TOOL" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE tessarine_testmain ${T_LIBS})
  target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  set(labels ${T_LABELS})
  if(T_XVFB)
    target_link_libraries(${name} PRIVATE tessarine_xtesthost)
    add_test(NAME ${name}
             COMMAND $<TARGET_FILE:tessarine-xvfb-run> -s 1280x1024x24 $<TARGET_FILE:${name}>)
    add_dependencies(${name} tessarine-xvfb-run)
    list(PREPEND labels gui)
  else()
    add_test(NAME ${name} COMMAND ${name})
    if(NOT labels)
      set(labels unit)
    endif()
  endif()
  set_tests_properties(${name} PROPERTIES LABELS "${labels}")
  if(T_ENTRY)
    target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src/vst/vstplugmain.cpp)
  endif()
  if(T_PLUGIN)
    tessarine_use_plugin(${name})
  endif()
  if(T_HOST_TOOL)
    target_compile_definitions(${name} PRIVATE
      TESSARINE_HOST_PATH="$<TARGET_FILE:tessarine-host>"
      FAKE_PLUGIN_PATH="$<TARGET_FILE:tessarine_fakeplugin>"
      FAKE_NOENTRY_PATH="$<TARGET_FILE:tessarine_fakeplugin_noentry>")
    target_link_libraries(${name} PRIVATE tessarine_processrunner)
    add_dependencies(${name} tessarine-host tessarine_fakeplugin tessarine_fakeplugin_noentry)
  endif()
endfunction()

# TESSARINE_PLUGIN_PATH in TARGET: the built plug-in, which is built first.
function(tessarine_use_plugin target)
  target_compile_definitions(${target} PRIVATE TESSARINE_PLUGIN_PATH="$<TARGET_FILE:tessarine>")
  add_dependencies(${target} tessarine)
endfunction()
