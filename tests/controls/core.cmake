# The vector control core: the extended draw context, the control base and the knobs,
# drawn into memory and clicked through a windowless frame (no X server needed). The
# knob's drag with the real pointer is tested on the plug-in's editor (tests/editor).
foreach(test vgcontrolT knobT)
  tessarine_add_gui_test(${test} SOURCES ${test}.cpp LIBS tessarine_controls LABELS unit)
  target_include_directories(${test} PRIVATE ${PROJECT_SOURCE_DIR}/tests/gui)
endforeach()
