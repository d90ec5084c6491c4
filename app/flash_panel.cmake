# The dialog's flash panel in Qt: the choosers, the controller and the worker's thread over the
# logic of dialog/.
target_sources(brimlo_app PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/flash_file_chooser.cpp
    ${CMAKE_CURRENT_LIST_DIR}/flash_panel_controller.cpp
    ${CMAKE_CURRENT_LIST_DIR}/flash_worker.cpp
)
