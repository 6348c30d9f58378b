# The frame, its X11 window and the editor bridge. editorT needs no X server;
# frameT opens real windows (under xvfb-run) and drives the real pointer and
# keyboard through XTest.
pkg_check_modules(XRES REQUIRED IMPORTED_TARGET xres)

# The test editor (no X11), and the DAW-like test host around it.
add_library(tessarine_guitesteditor STATIC testeditor.cpp)
target_include_directories(tessarine_guitesteditor PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}
                                                          ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(tessarine_guitesteditor PUBLIC tessarine_gui tessarine_options)
# The private X server is started by the command-line host's own code (a file of
# its own, with no part of the tool around it).
add_library(tessarine_guitesthost STATIC xtesthost.cpp privatexserver.cpp
                                         ${PROJECT_SOURCE_DIR}/tools/tessarine-host/xvfb.cpp)
target_include_directories(tessarine_guitesthost PRIVATE ${PROJECT_SOURCE_DIR}/tools/tessarine-host)
target_link_libraries(tessarine_guitesthost PUBLIC tessarine_guitesteditor PkgConfig::XTST
                                                   PkgConfig::XRES)

tessarine_add_gui_test(editorT SOURCES editorT.cpp LIBS tessarine_guitesteditor)
tessarine_add_gui_test(frameT XVFB SOURCES frameT.cpp LIBS tessarine_guitesthost)
