# The archive reader tests compiled together with the archive sources under
# AddressSanitizer and UBSan, so that a read out of bounds on damaged input
# fails a test. tests/CMakeLists.txt calls it.
function(morvane_archive_tests)
	find_package(GTest REQUIRED)
	include(GoogleTest)
	set(tests ${PROJECT_SOURCE_DIR}/tests/archive)
	set(archive ${PROJECT_SOURCE_DIR}/archive)
	set(harness ${PROJECT_SOURCE_DIR}/tests/harness)
	if(NOT EXISTS ${tests}/BrokenRecordTest.cpp)
		return()
	endif()
	add_executable(archive_sanitized_test
		${tests}/ArchiveReaderTest.cpp
		${tests}/BrokenRecordTest.cpp
		${tests}/ArchiveTestData.cpp
		${archive}/ArchiveCrypt.cpp
		${archive}/ArchiveReader.cpp
		${archive}/ArchiveStream.cpp
		${archive}/ArchiveWriter.cpp
		${archive}/BackupHeader.cpp
		${harness}/FaultInjectingSink.cpp
		${archive}/FileHeader.cpp
		${harness}/MemoryArchive.cpp)
	target_include_directories(archive_sanitized_test PRIVATE ${archive} ${harness} ${tests})
	target_compile_options(archive_sanitized_test PRIVATE
		-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
	target_link_options(archive_sanitized_test PRIVATE -fsanitize=address,undefined)
	target_link_libraries(archive_sanitized_test PRIVATE
		morvanekit morvanecompressornone morvanelzrw1cruncher GTest::gtest GTest::gtest_main)
	set_target_properties(archive_sanitized_test PROPERTIES
		RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
	gtest_discover_tests(archive_sanitized_test
		TEST_PREFIX "sanitized."
		DISCOVERY_TIMEOUT 60
		PROPERTIES TIMEOUT 300)
endfunction()
