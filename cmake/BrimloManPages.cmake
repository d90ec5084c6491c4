# Manual pages and bash completion. The command-line tool's page and completion are generated
# from its own --help at build time; the dialog's page is written by hand and a test checks it
# against the dialog's --help.
set(BRIMLO_MAN_DIR "${PROJECT_BINARY_DIR}/man")

if(TARGET brimlo-hid)
    set(cli_page "${BRIMLO_MAN_DIR}/brimlo-hid.1")
    set(cli_completion "${BRIMLO_MAN_DIR}/brimlo-hid.bash-completion")
    add_custom_command(
        OUTPUT "${cli_page}.gz" "${cli_completion}"
        COMMAND ${CMAKE_COMMAND} -DBINARY=$<TARGET_FILE:brimlo-hid> -DVERSION=${PROJECT_VERSION}
                -DTEMPLATE=${PROJECT_SOURCE_DIR}/res/man/brimlo-hid.1.in -DMAN_OUT=${cli_page}
                -DCOMPLETION_OUT=${cli_completion}
                -P ${PROJECT_SOURCE_DIR}/cmake/generate_cli_docs.cmake
        COMMAND ${BRIMLO_GZIP} -9nf "${cli_page}"
        DEPENDS brimlo-hid "${PROJECT_SOURCE_DIR}/res/man/brimlo-hid.1.in"
                "${PROJECT_SOURCE_DIR}/cmake/generate_cli_docs.cmake"
        COMMENT "Generating the brimlo-hid manual page and bash completion")
    add_custom_target(brimlo_cli_docs ALL DEPENDS "${cli_page}.gz" "${cli_completion}")
    install(FILES "${cli_page}.gz" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    install(FILES "${cli_completion}" DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
            RENAME brimlo-hid)
endif()

if(TARGET brimlo-hid-tool)
    set(dialog_page "${BRIMLO_MAN_DIR}/brimlo-hid-tool.1")
    add_custom_command(
        OUTPUT "${dialog_page}.gz"
        COMMAND ${CMAKE_COMMAND} -E copy "${PROJECT_SOURCE_DIR}/res/man/brimlo-hid-tool.1"
                "${dialog_page}"
        COMMAND ${BRIMLO_GZIP} -9nf "${dialog_page}"
        DEPENDS "${PROJECT_SOURCE_DIR}/res/man/brimlo-hid-tool.1")
    add_custom_target(brimlo_dialog_docs ALL DEPENDS "${dialog_page}.gz")
    install(FILES "${dialog_page}.gz" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

if(BRIMLO_BUILD_TESTS)
    if(TARGET brimlo-hid)
        add_test(NAME packaging.bash_completion
                 COMMAND bash ${PROJECT_SOURCE_DIR}/tests/packaging/completion_test.sh
                         ${cli_completion})
    endif()
    if(TARGET brimlo-hid-tool)
        add_test(NAME packaging.dialog_man_page
                 COMMAND ${CMAKE_COMMAND} -DBINARY=$<TARGET_FILE:brimlo-hid-tool>
                         -DPAGE=${PROJECT_SOURCE_DIR}/res/man/brimlo-hid-tool.1
                         -P ${PROJECT_SOURCE_DIR}/tests/packaging/check_dialog_man_page.cmake)
    endif()
endif()
