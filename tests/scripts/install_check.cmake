# Installs the build into a scratch prefix and checks what lands there.
#   cmake -DBUILD_DIR=... -DPREFIX=... -P install_check.cmake
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "install failed: ${rc}")
endif()

foreach(f bin/rfid-service
          share/applications/rfid-service.desktop
          share/icons/hicolor/scalable/apps/rfid-service.svg)
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
file(REMOVE_RECURSE "${PREFIX}")
