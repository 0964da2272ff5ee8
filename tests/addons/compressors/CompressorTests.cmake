# Set-up of the compressor tests that tests/CMakeLists.txt does not do: the
# add-on files compressors_test loads, and the coder's tests built once more
# under AddressSanitizer and UBSan. tests/CMakeLists.txt calls it once
# compressors_test exists.
function(morvane_compressor_tests)
	if(TARGET compressors_test)
		add_dependencies(compressors_test MVNone MVLZRW1)
		target_compile_definitions(compressors_test PRIVATE
			MORVANE_COMPRESSOR_ADDON_DIR="$<TARGET_FILE_DIR:MVLZRW1>")
	endif()

	# The coder compiled into the test program, so that any read or write out
	# of bounds fails a test.
	find_package(GTest REQUIRED)
	include(GoogleTest)
	set(tests ${PROJECT_SOURCE_DIR}/tests/addons/compressors)
	set(coder ${PROJECT_SOURCE_DIR}/addons/compressors/lzrw1)
	add_executable(compressors_sanitized_test
		${tests}/Lzrw1StreamTest.cpp
		${tests}/Lzrw1DecoderTest.cpp
		${tests}/Lzrw1TestData.cpp
		${coder}/Lzrw1Codec.cpp)
	target_include_directories(compressors_sanitized_test PRIVATE ${coder})
	target_compile_options(compressors_sanitized_test PRIVATE
		-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
	target_link_options(compressors_sanitized_test PRIVATE -fsanitize=address,undefined)
	target_link_libraries(compressors_sanitized_test PRIVATE
		morvanekit GTest::gtest GTest::gtest_main)
	set_target_properties(compressors_sanitized_test PROPERTIES
		RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
	gtest_discover_tests(compressors_sanitized_test
		TEST_PREFIX "sanitized."
		DISCOVERY_TIMEOUT 60
		PROPERTIES TIMEOUT 300)
endfunction()
