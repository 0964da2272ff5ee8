# Where the installed tree is laid out and how its programs find lib/.
set(MORVANE_DIST ${CMAKE_BINARY_DIR}/dist/MorvaneBackup)
set(MORVANE_LIB_DIR ${MORVANE_DIST}/lib)
set(MORVANE_SERVER_DIR ${MORVANE_DIST}/Backup_Server)

# morvane_place(target folder): puts a program or add-on into a folder of the
# installed tree with an RPATH relative to its own place, so that the tree
# can be copied anywhere and run.
function(morvane_place target folder)
	file(RELATIVE_PATH to_lib ${folder} ${MORVANE_LIB_DIR})
	if(to_lib STREQUAL "")
		set(rpath "$ORIGIN")
	else()
		set(rpath "$ORIGIN/${to_lib}")
	endif()
	set_target_properties(${target} PROPERTIES
		RUNTIME_OUTPUT_DIRECTORY ${folder}
		LIBRARY_OUTPUT_DIRECTORY ${folder}
		BUILD_RPATH "${rpath}"
		INSTALL_RPATH "${rpath}")
endfunction()

# morvane_addon(target folder sources...): an add-on file without prefix or
# suffix, as the loaders look for it.
function(morvane_addon target folder)
	add_library(${target} MODULE ${ARGN})
	target_link_libraries(${target} PRIVATE morvanekit)
	set_target_properties(${target} PROPERTIES PREFIX "" SUFFIX "")
	morvane_place(${target} ${folder})
endfunction()

# morvane_add_pieces(): adds every subfolder with a CMakeLists.txt, common/
# first, since the others link its library.
function(morvane_add_pieces)
	file(GLOB children RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} CONFIGURE_DEPENDS
		${CMAKE_CURRENT_SOURCE_DIR}/*/CMakeLists.txt)
	list(SORT children)
	list(FIND children "common/CMakeLists.txt" common_index)
	if(NOT common_index EQUAL -1)
		add_subdirectory(common)
		list(REMOVE_ITEM children "common/CMakeLists.txt")
	endif()
	foreach(child ${children})
		get_filename_component(folder ${child} DIRECTORY)
		add_subdirectory(${folder})
	endforeach()
endfunction()

# morvane_copy_files(target source_folder dest_folder files...): a target,
# built with "all", that copies files (paths relative to source_folder) into
# dest_folder of the installed tree, keeping their subfolders, whenever they
# change.
function(morvane_copy_files target source_folder dest_folder)
	set(copies)
	foreach(file ${ARGN})
		set(copy ${dest_folder}/${file})
		add_custom_command(OUTPUT ${copy}
			COMMAND ${CMAKE_COMMAND} -E copy ${source_folder}/${file} ${copy}
			DEPENDS ${source_folder}/${file}
			VERBATIM)
		list(APPEND copies ${copy})
	endforeach()
	add_custom_target(${target} ALL DEPENDS ${copies})
endfunction()
