# The parameter page's windows in tool_ui, relative to tool/ (included by tool/CMakeLists.txt).
set(UI_PARAMS_SOURCES
    pages/params/param_setting_dlg.cpp
    pages/params/sensing_generator_dlg.cpp
)
