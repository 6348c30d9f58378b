# Drawing layer: geometry, reference counting, the draw context and offscreen
# contexts, checked by reading pixels back from memory (no X server needed).
tessarine_add_gui_test(geometryT SOURCES geometryT.cpp LABELS unit)
tessarine_add_gui_test(drawcontextT SOURCES drawcontextT.cpp LABELS unit)
tessarine_add_gui_test(offscreenT SOURCES offscreenT.cpp LABELS unit)
# The window context on a real frame: back buffer, pointer, buttons and modifiers.
tessarine_add_gui_test(drawcontextwindowT XVFB SOURCES drawcontextwindowT.cpp)
