# Drag and drop from other programs. dragcontainerT needs no X server (the item
# container, the choice of items, file URIs); dndT drags files and text over an
# opened editor from a small XDND source in a child process, under Xvfb, and reads
# the cursor back through XFixes (libxfixes-dev).
pkg_check_modules(XFIXES REQUIRED IMPORTED_TARGET xfixes)

tessarine_add_gui_test(dragcontainerT SOURCES dragcontainerT.cpp)
tessarine_add_gui_test(dndT XVFB SOURCES dndT.cpp xdndsource.cpp
                       LIBS tessarine_guitesthost PkgConfig::XFIXES)
