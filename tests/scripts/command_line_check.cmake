# --version, --help and a wrong option answer on a terminal with no display: the program is
# started with no DISPLAY and the X11 platform, which aborts any start that
# reaches the window.
#   cmake -DPROGRAM=... -DVERSION=... -P command_line_check.cmake
foreach(option --version --help)
    execute_process(COMMAND "${CMAKE_COMMAND}" -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY
                            QT_QPA_PLATFORM=xcb "${PROGRAM}" ${option}
                    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 20)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "rfid-service ${option}: exit ${rc}\n${out}${err}")
    endif()
    set(out_${option} "${out}")
endforeach()

if(NOT "${out_--version}" STREQUAL "rfid-service ${VERSION}\n")
    message(FATAL_ERROR "--version printed '${out_--version}', not 'rfid-service ${VERSION}'")
endif()
foreach(text "--demo" "--version" "--help" "dialout")
    string(FIND "${out_--help}" "${text}" at)
    if(at LESS 0)
        message(FATAL_ERROR "--help does not mention ${text}:\n${out_--help}")
    endif()
endforeach()

# An unknown option: the fault and exit 1, not Qt's abort for want of a display.
execute_process(COMMAND "${CMAKE_COMMAND}" -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY
                        QT_QPA_PLATFORM=xcb "${PROGRAM}" --bogus
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 20)
string(FIND "${err}" "--bogus" at)
if(NOT rc EQUAL 1 OR at LESS 0)
    message(FATAL_ERROR "rfid-service --bogus: exit ${rc}, stderr '${err}'")
endif()
