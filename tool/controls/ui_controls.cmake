# The custom controls' sources of tool_ui, relative to tool/ (included by tool/CMakeLists.txt).
set(UI_CONTROLS_SOURCES)
