# Shared build helpers: how tests, fuzz replays and benchmarks are registered.
include(GoogleTest)

# orbo_test_labels(<file> <out-var>): a test file names its CTest labels in a comment line
# "// ctest-labels: sim slow"; without one it is a unit test.
function(orbo_test_labels file out)
    file(STRINGS "${file}" lines REGEX "^// ctest-labels:")
    set(labels unit)
    if(lines)
        list(GET lines 0 line)
        string(REGEX REPLACE "^// ctest-labels:[ ]*" "" line "${line}")
        string(REPLACE " " ";" labels "${line}")
    endif()
    set(${out} "${labels}" PARENT_SCOPE)
endfunction()

# orbo_add_tests(<dir> LIBS <libs...> [DEPENDS <targets...>] [GUI_LIBS <libs...>]): one test
# program per *_test.cpp below <dir>, named after its path (tests/common/core/base_string_test.cpp
# -> common_core_base_string_test). DEPENDS names programs the tests run, built before them.
# Files labelled gui also link GUI_LIBS (without them they are left out) and run on Qt's
# offscreen platform with Qt warnings fatal (under AddressSanitizer with the leak suppressions of
# tests/sanitizers/qt_lsan.supp, under ThreadSanitizer leaving the uninstrumented Qt unchecked).
# Programs named in SHARED_LIBRARY_TESTS link the shared library in place of each library's
# objects in LIBS (tests of what the shared library itself does, as loading it).
function(orbo_add_tests dir)
    cmake_parse_arguments(ARG "" "" "LIBS;DEPENDS;GUI_LIBS;SHARED_LIBRARY_TESTS" ${ARGN})
    file(GLOB_RECURSE tests CONFIGURE_DEPENDS "${dir}/*_test.cpp")
    foreach(src IN LISTS tests)
        orbo_test_labels("${src}" labels)
        set(gui FALSE)
        if("gui" IN_LIST labels)
            if(NOT ARG_GUI_LIBS)
                continue()
            endif()
            set(gui TRUE)
        endif()
        file(RELATIVE_PATH rel "${CMAKE_SOURCE_DIR}/tests" "${src}")
        string(REGEX REPLACE "\\.cpp$" "" name "${rel}")
        string(REPLACE "/" "_" name "${name}")
        add_executable(${name} ${src})
        target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
        set(libs ${ARG_LIBS})
        if(name IN_LIST ARG_SHARED_LIBRARY_TESTS)
            set(libs "")
            foreach(lib IN LISTS ARG_LIBS)
                get_target_property(shared ${lib} ORBO_COPY_OF)
                if(shared)
                    list(APPEND libs ${shared})
                else()
                    list(APPEND libs ${lib})
                endif()
            endforeach()
        endif()
        target_link_libraries(${name} PRIVATE ${libs} orbo_test_support GTest::gtest GTest::gmock)
        # The test support needs the common library and takes the program's copy: its objects
        # for the common library's own tests, else libOrbo_Common.so, named after the support so
        # that the linker keeps it for the support's references.
        if(NOT "Orbo_Common_objects" IN_LIST libs)
            target_link_libraries(${name} PRIVATE Orbo_Common)
        endif()
        set(environment "ORBO_TEST_BIN_DIR=${CMAKE_BINARY_DIR}/bin")
        if(gui)
            target_link_libraries(${name} PRIVATE ${ARG_GUI_LIBS})
            list(APPEND environment QT_QPA_PLATFORM=offscreen QT_FATAL_WARNINGS=1)
            # What the system's Qt stack keeps for the whole process on purpose (each entry with
            # its reason in the file).
            if(ORBO_SANITIZE STREQUAL "address")
                list(APPEND environment
                     LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/sanitizers/qt_lsan.supp)
            elseif(ORBO_SANITIZE STREQUAL "thread")
                # The system's Qt and glib are not instrumented: their own locking is invisible,
                # so their allocations and descriptors handed between their threads would look
                # like races. Calls made from inside them are left unchecked; ours still are.
                list(APPEND environment
                     TSAN_OPTIONS=halt_on_error=1:ignore_noninstrumented_modules=1)
            endif()
        endif()
        orbo_check_single_copy(${name})
        if(ARG_DEPENDS)
            add_dependencies(${name} ${ARG_DEPENDS})
        endif()
        # Tests that talk to the simulated sensor run the zorvan-sim of this build.
        if("sim" IN_LIST labels)
            add_dependencies(${name} zorvan-sim)
        endif()
        gtest_discover_tests(${name}
            DISCOVERY_TIMEOUT 60
            PROPERTIES TIMEOUT 300 ENVIRONMENT "ORBO_TEST_BIN_DIR=${CMAKE_BINARY_DIR}/bin")
        # Labels and the environment are set after discovery: passed through the discovery
        # script, a list of several values would be flattened into separate properties.
        set(labelScript ${CMAKE_CURRENT_BINARY_DIR}/${name}_labels.cmake)
        file(WRITE ${labelScript}
            "if(${name}_TESTS)\n"
            "    set_tests_properties(\${${name}_TESTS} PROPERTIES LABELS \"${labels}\"\n"
            "        ENVIRONMENT \"${environment}\")\n"
            "endif()\n")
        set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${labelScript})
    endforeach()
endfunction()

# orbo_hidden_visibility(<target>): the target's objects export nothing but what their library's
# ORBO_*_API macro marks.
function(orbo_hidden_visibility target)
    set_target_properties(${target} PROPERTIES
        CXX_VISIBILITY_PRESET hidden C_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
endfunction()

# orbo_internal_copy_of(<internal-target> <shared-library>): the internal target holds the same
# objects (and so the same global state) as the shared library.
function(orbo_internal_copy_of internal shared)
    set_property(TARGET ${internal} PROPERTY ORBO_COPY_OF ${shared})
endfunction()

# orbo_link_closure(<target> <out-var>): every target <target> links, directly or through others.
function(orbo_link_closure target out)
    set(seen "")
    set(pending ${target})
    while(pending)
        list(POP_FRONT pending item)
        string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" item "${item}")
        if(NOT TARGET "${item}" OR item IN_LIST seen)
            continue()
        endif()
        list(APPEND seen ${item})
        get_target_property(imported ${item} IMPORTED)
        get_target_property(type ${item} TYPE)
        if(NOT imported AND NOT type STREQUAL "INTERFACE_LIBRARY")
            get_target_property(direct ${item} LINK_LIBRARIES)
            if(direct)
                list(APPEND pending ${direct})
            endif()
        endif()
        get_target_property(usage ${item} INTERFACE_LINK_LIBRARIES)
        if(usage)
            list(APPEND pending ${usage})
        endif()
    endwhile()
    set(${out} "${seen}" PARENT_SCOPE)
endfunction()

# orbo_check_single_copy(<target>): fails the configuration when <target> would hold a library's
# internal objects and also load that library - two copies of its global state in one process.
function(orbo_check_single_copy target)
    orbo_link_closure(${target} closure)
    foreach(item IN LISTS closure)
        get_target_property(copyOf ${item} ORBO_COPY_OF)
        if(copyOf AND copyOf IN_LIST closure)
            message(FATAL_ERROR "${target} links ${item} and also ${copyOf}: "
                                "two copies of ${copyOf}'s state in one process")
        endif()
    endforeach()
endfunction()

# orbo_render_svg_png(<svg> <png> <size>): a build rule that renders the SVG drawing to a PNG of
# <size> x <size> pixels with the build's own renderer (tool/resources/render_svg.cpp).
function(orbo_render_svg_png svg png size)
    get_filename_component(folder ${png} DIRECTORY)
    get_filename_component(name ${png} NAME)
    add_custom_command(OUTPUT ${png}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
        COMMAND orbo_render_svg ${svg} ${png} ${size}
        DEPENDS orbo_render_svg ${svg}
        COMMENT "Rendering ${name} (${size} px)"
        VERBATIM)
endfunction()
