# Precompiled headers: the Qt and standard headers nearly every unit includes are compiled once,
# into one of two precompiled headers, and every target of the program, the console, the bench and
# the tests reuses one of them: the targets that link Qt Widgets the one with the widgets, every
# other target the one of Qt Core alone, so that no unit below the widgets sees a widget. Both are
# built with Qt Core's definitions only: a unit of any target defines at least those, and GCC takes
# a precompiled header only where every definition it was built with is defined alike.
option(PARVON_PCH "Precompile the Qt and standard headers every target shares" ON)
if(NOT PARVON_PCH OR PARVON_FUZZ)
    return()
endif()

set(PARVON_PCH_CORE
    <QByteArray> <QDateTime> <QDir> <QFileInfo> <QHash> <QList> <QObject> <QSet> <QString>
    <QStringList> <QVariant> <algorithm> <functional> <memory> <optional> <vector>)
set(PARVON_PCH_WIDGETS
    <QApplication> <QDialog> <QGridLayout> <QHBoxLayout> <QLabel> <QLineEdit> <QPushButton>
    <QToolButton> <QVBoxLayout> <QWidget>)

file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/pch/pch.cpp CONTENT "// The unit the precompiled headers are built for.\n")
foreach(kind core widgets)
    add_library(parvon_pch_${kind} STATIC ${CMAKE_BINARY_DIR}/pch/pch.cpp)
    set_target_properties(parvon_pch_${kind} PROPERTIES AUTOMOC OFF)
    target_link_libraries(parvon_pch_${kind} PRIVATE Qt6::Core parvon_flags)
endforeach()
target_precompile_headers(parvon_pch_core PRIVATE ${PARVON_PCH_CORE})
# The widgets' headers without their definitions (see above).
target_include_directories(parvon_pch_widgets SYSTEM PRIVATE
    $<TARGET_PROPERTY:Qt6::Widgets,INTERFACE_INCLUDE_DIRECTORIES>
    $<TARGET_PROPERTY:Qt6::Gui,INTERFACE_INCLUDE_DIRECTORIES>)
target_precompile_headers(parvon_pch_widgets PRIVATE ${PARVON_PCH_CORE} ${PARVON_PCH_WIDGETS})

# Whether a target links Qt Widgets, directly or through the targets it links.
function(parvon_links_widgets target result)
    set(stack ${target})
    set(seen)
    while(stack)
        list(POP_BACK stack current)
        if(current IN_LIST seen)
            continue()
        endif()
        list(APPEND seen ${current})
        if(current STREQUAL "Qt6::Widgets")
            set(${result} TRUE PARENT_SCOPE)
            return()
        endif()
        if(NOT TARGET ${current} OR current MATCHES "^Qt6::")
            continue()
        endif()
        get_target_property(type ${current} TYPE)
        set(links)
        if(NOT type STREQUAL "INTERFACE_LIBRARY")
            get_target_property(direct ${current} LINK_LIBRARIES)
            if(direct)
                list(APPEND links ${direct})
            endif()
        endif()
        get_target_property(interface ${current} INTERFACE_LINK_LIBRARIES)
        if(interface)
            list(APPEND links ${interface})
        endif()
        foreach(link IN LISTS links)
            string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" link "${link}")
            list(APPEND stack ${link})
        endforeach()
    endwhile()
    set(${result} FALSE PARENT_SCOPE)
endfunction()

# Every target below a folder that compiles C++.
function(parvon_compiled_targets folder result)
    get_property(targets DIRECTORY ${folder} PROPERTY BUILDSYSTEM_TARGETS)
    get_property(subfolders DIRECTORY ${folder} PROPERTY SUBDIRECTORIES)
    foreach(sub IN LISTS subfolders)
        parvon_compiled_targets(${sub} below)
        list(APPEND targets ${below})
    endforeach()
    set(${result} ${targets} PARENT_SCOPE)
endfunction()

parvon_compiled_targets(${CMAKE_SOURCE_DIR} PARVON_ALL_TARGETS)
foreach(target IN LISTS PARVON_ALL_TARGETS)
    get_target_property(type ${target} TYPE)
    if(NOT type MATCHES "^(STATIC_LIBRARY|SHARED_LIBRARY|EXECUTABLE)$" OR target MATCHES "^parvon_pch_")
        continue()
    endif()
    parvon_links_widgets(${target} widgets)
    if(widgets)
        target_precompile_headers(${target} REUSE_FROM parvon_pch_widgets)
    else()
        target_precompile_headers(${target} REUSE_FROM parvon_pch_core)
    endif()
endforeach()
