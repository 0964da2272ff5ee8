// Loading add-on images and finding their symbols.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <kernel/OS.h>
#include <kernel/image.h>

#include "TestFolder.h"

namespace {

std::string AddOnPath(const char* name)
{
	const char* folder = getenv("MORVANE_TEST_ADDONS");
	if (folder == nullptr || *folder == '\0')
		folder = MORVANE_TEST_ADDON_DIR;
	return std::string(folder) + "/" + name;
}

using AnswerFunction = int32 (*)();

int32 CallAnswer(image_id image)
{
	void* location = nullptr;
	if (get_image_symbol(image, "test_add_on_answer", B_SYMBOL_TYPE_TEXT, &location) != B_OK)
		return -1;
	return reinterpret_cast<AnswerFunction>(location)();
}

} // namespace

// An add-on's C entry points and variables are found and usable; symbols of
// the wrong kind, mangled names and symbols of the libraries it uses are not
// the add-on's.
TEST(ImageTest, SymbolsOfALoadedAddOn)
{
	image_id image = load_add_on(AddOnPath("FactoryAddOn").c_str());
	ASSERT_GT(image, 0) << add_on_error_text();
	EXPECT_STREQ(add_on_error_text(), "");
	EXPECT_EQ(CallAnswer(image), 42);

	void* location = nullptr;
	ASSERT_EQ(get_image_symbol(image, "test_add_on_value", B_SYMBOL_TYPE_DATA, &location), B_OK);
	EXPECT_EQ(*static_cast<int32*>(location), 42);
	ASSERT_EQ(get_image_symbol(image, "test_add_on_current_thread", B_SYMBOL_TYPE_ANY, &location),
		B_OK);
	EXPECT_EQ(reinterpret_cast<thread_id (*)()>(location)(), find_thread(nullptr));

	EXPECT_EQ(get_image_symbol(image, "test_add_on_value", B_SYMBOL_TYPE_TEXT, &location),
		B_MISSING_SYMBOL);
	EXPECT_EQ(get_image_symbol(image, "test_add_on_answer", B_SYMBOL_TYPE_DATA, &location),
		B_MISSING_SYMBOL);
	EXPECT_EQ(get_image_symbol(image, "no_such_symbol", B_SYMBOL_TYPE_ANY, &location),
		B_MISSING_SYMBOL);
	EXPECT_STRNE(add_on_error_text(), "");
	// The kit is a library the add-on uses, not part of it.
	EXPECT_EQ(get_image_symbol(image, "find_thread", B_SYMBOL_TYPE_ANY, &location),
		B_MISSING_SYMBOL);
	EXPECT_EQ(get_image_symbol(image, nullptr, B_SYMBOL_TYPE_ANY, &location), B_BAD_VALUE);
	EXPECT_EQ(get_image_symbol(image, "test_add_on_answer", B_SYMBOL_TYPE_ANY, nullptr),
		B_BAD_VALUE);
	EXPECT_EQ(get_image_symbol(image, "test_add_on_answer", 0x40, &location), B_BAD_VALUE);
	EXPECT_EQ(unload_add_on(image), B_OK);

	image = load_add_on(AddOnPath("PlainAddOn").c_str());
	ASSERT_GT(image, 0) << add_on_error_text();
	EXPECT_EQ(get_image_symbol(image, "test_add_on_answer", B_SYMBOL_TYPE_ANY, &location),
		B_MISSING_SYMBOL);
	EXPECT_EQ(get_image_symbol(image, "PlainAddOnValue", B_SYMBOL_TYPE_ANY, &location),
		B_MISSING_SYMBOL);
	EXPECT_EQ(unload_add_on(image), B_OK);
}

// Unloading closes the image: an id works once, and the image loads afresh.
TEST(ImageTest, UnloadTwiceAndReload)
{
	std::string path = AddOnPath("FactoryAddOn");
	image_id image = load_add_on(path.c_str());
	ASSERT_GT(image, 0) << add_on_error_text();
	void* location = nullptr;
	ASSERT_EQ(get_image_symbol(image, "test_add_on_value", B_SYMBOL_TYPE_DATA, &location), B_OK);
	*static_cast<int32*>(location) = 7;

	// Loading the file again gives a second id for the same image.
	image_id second = load_add_on(path.c_str());
	ASSERT_GT(second, 0);
	EXPECT_NE(second, image);
	EXPECT_EQ(CallAnswer(second), 7);

	EXPECT_EQ(unload_add_on(image), B_OK);
	EXPECT_EQ(unload_add_on(image), B_BAD_IMAGE_ID);
	EXPECT_EQ(get_image_symbol(image, "test_add_on_answer", B_SYMBOL_TYPE_ANY, &location),
		B_BAD_IMAGE_ID);
	EXPECT_EQ(CallAnswer(second), 7);
	EXPECT_EQ(unload_add_on(second), B_OK);

	image = load_add_on(path.c_str());
	ASSERT_GT(image, 0);
	EXPECT_EQ(CallAnswer(image), 42) << "the image stayed loaded after its last unload";
	EXPECT_EQ(unload_add_on(image), B_OK);
	EXPECT_EQ(unload_add_on(0), B_BAD_IMAGE_ID);
	EXPECT_EQ(unload_add_on(-3), B_BAD_IMAGE_ID);
}

// Files that are missing or are not shared objects for this machine are
// refused before the loader runs them.
TEST(ImageTest, MissingFilesAndFilesThatAreNoAddOns)
{
	TestFolder folder;
	EXPECT_EQ(load_add_on((folder / "missing").c_str()), B_ENTRY_NOT_FOUND);
	EXPECT_NE(std::string(add_on_error_text()).find("missing"), std::string::npos);
	EXPECT_EQ(load_add_on((folder / "missing/below").c_str()), B_ENTRY_NOT_FOUND);
	// A bare name is not looked up on the library path.
	EXPECT_EQ(load_add_on("libm.so.6"), B_ENTRY_NOT_FOUND);
	EXPECT_EQ(load_add_on(""), B_BAD_VALUE);
	EXPECT_EQ(load_add_on(nullptr), B_BAD_VALUE);

	EXPECT_EQ(load_add_on(AddOnPath("NotAnAddOn").c_str()), B_NOT_AN_EXECUTABLE);
	EXPECT_EQ(load_add_on(folder.Path().c_str()), B_NOT_AN_EXECUTABLE);
	EXPECT_EQ(load_add_on(folder.WriteFile("empty", "").c_str()), B_NOT_AN_EXECUTABLE);
	EXPECT_EQ(load_add_on("/dev/null"), B_NOT_AN_EXECUTABLE);
	// A program is ELF, but not a shared object one can load.
	EXPECT_EQ(load_add_on("/proc/self/exe"), B_NOT_AN_EXECUTABLE);

	// A real add-on cut short keeps a valid header, but its segments reach
	// past the end (the loader itself would crash on them).
	std::optional<std::string> addOn = ReadWholeFile(AddOnPath("FactoryAddOn"));
	ASSERT_TRUE(addOn.has_value());
	ASSERT_GT(addOn->size(), 4000u);
	for (size_t length : {size_t(64), size_t(100), size_t(2000), addOn->size() / 2}) {
		std::string path = folder.WriteFile("cut" + std::to_string(length), addOn->substr(0, length));
		EXPECT_EQ(load_add_on(path.c_str()), B_NOT_AN_EXECUTABLE) << "cut at " << length;
		EXPECT_NE(std::string(add_on_error_text()).find("cut short"), std::string::npos)
			<< add_on_error_text();
	}
	// Damaged headers: another machine, a wrong program header size.
	std::string foreign = *addOn;
	foreign[18] = char(foreign[18] ^ 0x55);
	EXPECT_EQ(load_add_on(folder.WriteFile("foreign", foreign).c_str()), B_NOT_AN_EXECUTABLE);
	std::string damaged = *addOn;
	damaged[54] = char(damaged[54] + 1);
	EXPECT_EQ(load_add_on(folder.WriteFile("damaged", damaged).c_str()), B_NOT_AN_EXECUTABLE);
	EXPECT_STRNE(add_on_error_text(), "");
}

// What the loader misses, libraries and symbols, is told apart.
TEST(ImageTest, MissingLibrariesAndSymbols)
{
	std::string path = AddOnPath("NeedsLibraryAddOn");
	image_id image = load_add_on(path.c_str());
	ASSERT_GT(image, 0) << add_on_error_text();
	EXPECT_EQ(CallAnswer(image), 5);
	EXPECT_EQ(unload_add_on(image), B_OK);

	// Away from the library it finds beside itself.
	TestFolder folder;
	std::string moved = folder / "NeedsLibraryAddOn";
	std::filesystem::copy_file(path, moved);
	EXPECT_EQ(load_add_on(moved.c_str()), B_MISSING_LIBRARY);
	EXPECT_NE(std::string(add_on_error_text()).find("mvtestaddondependency"), std::string::npos)
		<< add_on_error_text();

	EXPECT_EQ(load_add_on(AddOnPath("NeedsSymbolAddOn").c_str()), B_MISSING_SYMBOL);
	EXPECT_NE(std::string(add_on_error_text()).find("test_function_nothing_defines"),
		std::string::npos) << add_on_error_text();
}

// Loading, looking up and unloading from several threads at once.
TEST(ImageTest, ConcurrentLoadLookUpAndUnload)
{
	std::string path = AddOnPath("FactoryAddOn");
	std::atomic<int> failures = 0;
	std::vector<std::thread> threads;
	for (int t = 0; t < 4; t++) {
		threads.emplace_back([&] {
			for (int round = 0; round < 50; round++) {
				image_id image = load_add_on(path.c_str());
				if (image <= 0 || CallAnswer(image) != 42 || unload_add_on(image) != B_OK
						|| unload_add_on(image) != B_BAD_IMAGE_ID)
					failures++;
			}
		});
	}
	for (auto& thread : threads)
		thread.join();
	EXPECT_EQ(failures, 0);
}
