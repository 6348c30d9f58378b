# The draw context, the control base and the knobs, without an X server.
foreach(test vgcontrolT knobT)
  tessarine_add_gui_test(${test} SOURCES ${test}.cpp LIBS tessarine_controls LABELS unit)
  target_include_directories(${test} PRIVATE ${PROJECT_SOURCE_DIR}/tests/gui)
endforeach()
