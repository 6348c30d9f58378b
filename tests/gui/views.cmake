# Tests of the view framework: views, controls and containers, drawn into memory
# surfaces and driven through a frame without a window (no X server needed).
tessarine_add_gui_test(viewT SOURCES viewT.cpp)
tessarine_add_gui_test(controlT SOURCES controlT.cpp)
tessarine_add_gui_test(viewcontainerT SOURCES viewcontainerT.cpp)
