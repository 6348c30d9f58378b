# Labels, buttons, logo, slider, meters and the gallery without an X server; the slider's
# drag with the real pointer under Xvfb.
foreach(test simpleT sliderT meterT galleryT)
  tessarine_add_gui_test(${test} SOURCES ${test}.cpp LIBS tessarine_controls LABELS unit)
  target_include_directories(${test} PRIVATE ${PROJECT_SOURCE_DIR}/tests/gui)
endforeach()
target_compile_definitions(galleryT PRIVATE
  TESSARINE_GALLERY_DIR="${CMAKE_CURRENT_BINARY_DIR}/gallery")

find_package(PkgConfig REQUIRED)
pkg_check_modules(XTST REQUIRED IMPORTED_TARGET xtst x11)
pkg_check_modules(XRES REQUIRED IMPORTED_TARGET xres)
tessarine_add_gui_test(sliderpointerT XVFB SOURCES sliderpointerT.cpp
                       LIBS tessarine_controls tessarine_guitesthost)
