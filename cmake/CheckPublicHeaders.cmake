# Run as a test (cmake -P): copies the public headers of common/ (every header not named
# *_internal.h) into an empty folder and compiles one file that includes each of them, with only
# that folder on the include path. A public header that needs an internal one fails here.
# Inputs: SOURCE_DIR, WORK_DIR, CXX.
file(REMOVE_RECURSE "${WORK_DIR}")
file(GLOB_RECURSE headers RELATIVE "${SOURCE_DIR}/common" "${SOURCE_DIR}/common/*.h")
set(includes "")
foreach(header IN LISTS headers)
    if(header MATCHES "_internal\\.h$")
        continue()
    endif()
    get_filename_component(folder "${header}" DIRECTORY)
    file(COPY "${SOURCE_DIR}/common/${header}" DESTINATION "${WORK_DIR}/include/${folder}")
    string(APPEND includes "#include \"${header}\"\n")
endforeach()
file(WRITE "${WORK_DIR}/all_public_headers.cpp" "${includes}int main() { return 0; }\n")
execute_process(
    COMMAND "${CXX}" -std=c++20 -fsyntax-only -Wall -Wextra -I "${WORK_DIR}/include"
            "${WORK_DIR}/all_public_headers.cpp"
    RESULT_VARIABLE result ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "the public headers do not stand alone:\n${errors}")
endif()
