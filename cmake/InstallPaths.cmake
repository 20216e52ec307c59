# Where the programs are installed, as a header the data-folder logic reads, so that an installed
# copy never keeps its files in its own folder (a root user could write there): the program
# compares its folder with the one it is installed to, and looks for its menu entry beside it for
# an install under another prefix.
set(ZORVAN_APP_ID net.zorvan.toolbox)
file(RELATIVE_PATH bin_to_data ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_DATADIR})
set(ZORVAN_MENU_ENTRY_FROM_BIN "${bin_to_data}/applications/${ZORVAN_APP_ID}.desktop")
configure_file(${CMAKE_CURRENT_LIST_DIR}/installpaths.h.in ${PROJECT_BINARY_DIR}/generated/zorvan_install.h @ONLY)
