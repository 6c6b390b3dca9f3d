# SPDX-FileCopyrightText: 2026 The QUORVEL developers
# SPDX-License-Identifier: GPL-3.0-or-later

# quorvel_check_options(<dir>): stops the configure step at any target defined in <dir> or below
# that compiles code of ours without linking quorvel_options (warnings, -Werror, sanitizers and
# -ffp-contract=off). Left out: imported targets, utility targets (moc and resource steps,
# tests' custom commands) and the object libraries qt_add_resources makes, which compile only
# the embedded files' bytes.
function(quorvel_check_options dir)
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target IN LISTS targets)
        get_target_property(type ${target} TYPE)
        if(NOT type MATCHES "^(STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY|EXECUTABLE)$")
            continue()
        endif()
        if(type STREQUAL "OBJECT_LIBRARY" AND target MATCHES "_resources_[0-9]+$")
            continue()
        endif()
        get_target_property(links ${target} LINK_LIBRARIES)
        if(NOT "quorvel_options" IN_LIST links)
            file(RELATIVE_PATH where ${PROJECT_SOURCE_DIR} ${dir})
            message(FATAL_ERROR "Target ${target} (${where}/CMakeLists.txt) does not link "
                                "quorvel_options: it would be built without the project's "
                                "warnings and without -ffp-contract=off.")
        endif()
    endforeach()
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    foreach(subdir IN LISTS subdirs)
        quorvel_check_options(${subdir})
    endforeach()
endfunction()
