# The custom controls' sources of tool_ui, relative to tool/ (included by tool/CMakeLists.txt).
set(UI_CONTROLS_SOURCES
    controls/balloon_wnd.cpp
    controls/color_static.cpp
    controls/x_edit.cpp
    controls/digital_edit.cpp
    controls/wnd_resize_tool.cpp
    controls/wave_wnd.cpp
    controls/wave_wnd_setters.cpp
    controls/wave_wnd_plot.cpp
    controls/wave_wnd_in_place.cpp
    controls/wave_wnd_mouse.cpp
)
