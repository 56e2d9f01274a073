# `cmake --build <windows build> --target installer`: quorvel-monitor-setup.exe in the build
# folder, from Debian's nsis. The 64-bit Unicode stubs: the x86 ones fail silently where only a
# 64-bit Windows runtime is at hand.
find_program(QPM_MAKENSIS makensis)
if(QPM_MAKENSIS)
  set(QPM_INSTALLER ${CMAKE_BINARY_DIR}/quorvel-monitor-setup.exe)
  set(script ${CMAKE_CURRENT_LIST_DIR}/quorvel-monitor.nsi)
  add_custom_command(OUTPUT ${QPM_INSTALLER}
    COMMAND ${QPM_MAKENSIS} -V2 -WX -NOCD -DTARGET=amd64-unicode -DVERSION=${PROJECT_VERSION}
            "-DMONITOR_EXE=$<TARGET_FILE:quorvel-monitor>"
            "-DCTL_EXE=$<TARGET_FILE:quorvel-monitorctl>"
            -DICON=${PROJECT_SOURCE_DIR}/src/frontend/win32/program.ico
            -DOUTFILE=${QPM_INSTALLER} ${script}
    DEPENDS ${script} quorvel-monitor quorvel-monitorctl
    COMMENT "Making the installer quorvel-monitor-setup.exe"
    VERBATIM)
  add_custom_target(installer DEPENDS ${QPM_INSTALLER})
endif()
