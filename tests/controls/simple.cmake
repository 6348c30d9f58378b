# The simple vector controls: labels, buttons, logo, slider and meters drawn into
# memory and clicked without a window (no X server needed); the slider's drag with the
# real pointer in a private X server; and a gallery of every control in a few states,
# written as PNG files into the build tree for people to look at.
foreach(test simpleT sliderT meterT galleryT)
  tessarine_add_gui_test(${test} SOURCES ${test}.cpp LIBS tessarine_controls LABELS unit)
  target_include_directories(${test} PRIVATE ${PROJECT_SOURCE_DIR}/tests/gui)
endforeach()
target_compile_definitions(galleryT PRIVATE
  TESSARINE_GALLERY_DIR="${CMAKE_CURRENT_BINARY_DIR}/gallery")

# The imported X targets the window tests link are local to each directory.
find_package(PkgConfig REQUIRED)
pkg_check_modules(XTST REQUIRED IMPORTED_TARGET xtst x11)
pkg_check_modules(XRES REQUIRED IMPORTED_TARGET xres)
tessarine_add_gui_test(sliderpointerT XVFB SOURCES sliderpointerT.cpp
                       LIBS tessarine_controls tessarine_guitesthost)
