# Installs the build into a scratch prefix and checks what lands there, then
# builds the .deb from the same build and checks its contents and control.
#   cmake -DBUILD_DIR=... -DPREFIX=... -P install_check.cmake
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "install failed: ${rc}")
endif()

set(installed bin/rfid-service
              bin/rfidctl
              share/applications/rfid-service.desktop
              share/icons/hicolor/scalable/apps/rfid-service.svg
              share/man/man1/rfid-service.1.gz
              share/man/man1/rfidctl.1.gz
              share/doc/rfid-service/copyright
              share/doc/rfid-service/changelog.gz)
foreach(f ${installed})
    if(NOT EXISTS "${PREFIX}/${f}")
        message(FATAL_ERROR "not installed: ${f}")
    endif()
endforeach()

file(READ "${PREFIX}/share/applications/rfid-service.desktop" entry)
foreach(line "Exec=rfid-service" "Icon=rfid-service" "Type=Application" "Name[ru]=" "Comment[ru]=")
    string(FIND "${entry}" "${line}" at)
    if(at LESS 0)
        message(FATAL_ERROR "menu entry lacks ${line}")
    endif()
endforeach()

# The manual page: options, the COM name rule, the dialout group, no files.
execute_process(COMMAND gzip -dc "${PREFIX}/share/man/man1/rfid-service.1.gz"
                OUTPUT_VARIABLE page RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "the manual page is no gzip file")
endif()
foreach(text ".SH OPTIONS" "\\-\\-demo" "\\-\\-version" "\\-\\-help" "COM5 .. COM20" "/dev/ttyUSB0"
             "dialout" ".SH FILES\nNone.")
    string(FIND "${page}" "${text}" at)
    if(at LESS 0)
        message(FATAL_ERROR "the manual page lacks ${text}")
    endif()
endforeach()
# rfidctl's page: its commands, the stable JSON formats, the exit codes.
execute_process(COMMAND gzip -dc "${PREFIX}/share/man/man1/rfidctl.1.gz"
                OUTPUT_VARIABLE page RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "rfidctl's manual page is no gzip file")
endif()
foreach(text ".B apply" ".B watch" ".SH JSON OUTPUT" ".SH PROFILE" ".SH EXIT STATUS" "dialout")
    string(FIND "${page}" "${text}" at)
    if(at LESS 0)
        message(FATAL_ERROR "rfidctl's manual page lacks ${text}")
    endif()
endforeach()
file(READ "${PREFIX}/share/doc/rfid-service/copyright" copyright)
string(FIND "${copyright}" "License: Expat" at)
if(at LESS 0)
    message(FATAL_ERROR "the copyright file names no licence")
endif()
file(REMOVE_RECURSE "${PREFIX}")

# The package: the same files under /usr, an extended description, Depends
# found from the program's shared libraries plus what Qt loads at run time.
set(debdir "${PREFIX}-deb")
file(REMOVE_RECURSE "${debdir}")
execute_process(COMMAND cpack --config "${BUILD_DIR}/CPackConfig.cmake" -B "${debdir}"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
file(GLOB deb "${debdir}/rfid-service_*.deb")
if(NOT rc EQUAL 0 OR NOT deb)
    message(FATAL_ERROR "cpack failed: ${rc}\n${out}")
endif()
execute_process(COMMAND dpkg-deb -c "${deb}" OUTPUT_VARIABLE contents)
foreach(f ${installed})
    string(FIND "${contents}" "./usr/${f}\n" at)
    if(at LESS 0)
        message(FATAL_ERROR "package lacks /usr/${f}:\n${contents}")
    endif()
endforeach()
execute_process(COMMAND dpkg-deb -f "${deb}" Depends OUTPUT_VARIABLE depends)
foreach(dep libqt6widgets6 libqt6serialport6 libc6 qt6-qpa-plugins qt6-translations-l10n)
    string(FIND "${depends}" "${dep}" at)
    if(at LESS 0)
        message(FATAL_ERROR "Depends lacks ${dep}: ${depends}")
    endif()
endforeach()
execute_process(COMMAND dpkg-deb -f "${deb}" Description OUTPUT_VARIABLE description)
string(REGEX MATCHALL "\n " extended "${description}")
list(LENGTH extended lines)
if(lines LESS 3)
    message(FATAL_ERROR "no extended description: ${description}")
endif()
file(REMOVE_RECURSE "${debdir}")
