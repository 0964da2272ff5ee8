#include "AddOnLoader.h"

#include <climits>
#include <cstring>
#include <unistd.h>

namespace {

constexpr const char* kDestinationFolder = "add-ons/destination";
constexpr const char* kCompressorFolder = "add-ons/compressors";

std::string RunningProgramFolder()
{
	char path[PATH_MAX];
	ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
	if (length <= 0)
		return ".";
	std::string program(path, size_t(length));
	return program.substr(0, program.rfind('/'));
}

// Takes the new image into the slot, unloading the one it held.
void Replace(image_id* imageSlot, image_id image)
{
	AddOnLoader::Free(imageSlot);
	*imageSlot = image;
}

}	// namespace

AddOnLoader::AddOnLoader(std::string serverFolder)
	:
	fServerFolder(std::move(serverFolder))
{
}

AddOnLoader::AddOnLoader()
	:
	fServerFolder(RunningProgramFolder())
{
}

bool AddOnLoader::IsPlainFileName(const char* name)
{
	return name != nullptr && name[0] != '\0' && strchr(name, '/') == nullptr
		&& strcmp(name, ".") != 0 && strcmp(name, "..") != 0;
}

void* AddOnLoader::_Instantiate(const char* folder, const char* name, const char* symbol,
	image_id* image, status_t* failure) const
{
	*failure = B_BAD_VALUE;
	if (!IsPlainFileName(name))
		return nullptr;
	std::string path = fServerFolder + "/" + folder + "/" + name;
	*image = load_add_on(path.c_str());
	if (*image < 0) {
		*failure = *image;
		return nullptr;
	}
	void* factory = nullptr;
	void* object = nullptr;
	*failure = B_MISSING_SYMBOL;
	if (get_image_symbol(*image, symbol, B_SYMBOL_TYPE_TEXT, &factory) == B_OK) {
		object = reinterpret_cast<void* (*)()>(factory)();
		*failure = object != nullptr ? B_OK : B_ERROR;
	}
	if (object == nullptr) {
		// An image that cannot be unloaded stays mapped, unused.
		(void)unload_add_on(*image);
		*image = -1;
	}
	return object;
}

MVVolume* AddOnLoader::LoadDestination(const char* name, const BMessage* settings,
	image_id* imageSlot, status_t* failure) const
{
	image_id image;
	status_t status;
	auto* volume = static_cast<MVVolume*>(
		_Instantiate(kDestinationFolder, name, kInstantiateVolumeSymbol, &image, &status));
	if (failure != nullptr)
		*failure = status;
	if (volume == nullptr)
		return nullptr;
	if (settings != nullptr)
		volume->SetPref(*settings);
	Replace(imageSlot, image);
	return volume;
}

MVCruncher* AddOnLoader::LoadCruncher(const char* name, const BMessage* settings,
	image_id* imageSlot, status_t* failure) const
{
	image_id image;
	status_t status;
	auto* cruncher = static_cast<MVCruncher*>(
		_Instantiate(kCompressorFolder, name, kInstantiateCruncherSymbol, &image, &status));
	if (failure != nullptr)
		*failure = status;
	if (cruncher == nullptr)
		return nullptr;
	if (settings != nullptr)
		cruncher->SetPref(*settings);
	Replace(imageSlot, image);
	return cruncher;
}

void AddOnLoader::Free(image_id* imageSlot)
{
	// An image that cannot be unloaded stays mapped, unused.
	if (*imageSlot > 0)
		(void)unload_add_on(*imageSlot);
	*imageSlot = 0;
}
