#include "AddOnShelf.h"

#include <dirent.h>

#include <algorithm>

#include <interface/Menu.h>
#include <interface/MenuItem.h>
#include <storage/VolumeTable.h>

#include "AddOnLoader.h"
#include "BackupApplication.h"
#include "MVCruncher.h"
#include "MVLocale.h"
#include "MVVolume.h"

AddOnShelf::AddOnShelf(std::string serverFolder)
	:
	fServerFolder(std::move(serverFolder))
{
}


AddOnShelf::~AddOnShelf()
{
	for (auto& [key, loaded] : fLoaded) {
		delete loaded.volume;
		delete loaded.cruncher;
		AddOnLoader::Free(&loaded.image);
	}
}


std::string AddOnShelf::_Folder(Kind kind) const
{
	return fServerFolder + (kind == kDestination ? "/add-ons/destination" : "/add-ons/compressors");
}


std::string AddOnShelf::_Key(Kind kind, const char* fileName)
{
	return std::string(kind == kDestination ? "d:" : "c:") + fileName;
}


std::vector<AddOnShelf::Entry> AddOnShelf::List(Kind kind) const
{
	std::vector<std::string> files;
	if (DIR* folder = opendir(_Folder(kind).c_str())) {
		while (dirent* entry = readdir(folder)) {
			if (entry->d_type == DT_REG && AddOnLoader::IsPlainFileName(entry->d_name))
				files.push_back(entry->d_name);
		}
		closedir(folder);
	}
	std::sort(files.begin(), files.end());
	AddOnLoader loader(fServerFolder);
	std::vector<Entry> entries;
	BMessage none;
	for (const std::string& file : files) {
		image_id image = -1;
		const char* menuName = nullptr;
		std::string name;
		if (kind == kDestination) {
			MVVolume* volume = loader.LoadDestination(file.c_str(), &none, &image);
			if (volume != nullptr && (menuName = volume->MenuName()) != nullptr)
				name = menuName;
			delete volume;
		} else {
			MVCruncher* cruncher = loader.LoadCruncher(file.c_str(), &none, &image);
			if (cruncher != nullptr && (menuName = cruncher->MenuName()) != nullptr)
				name = menuName;
			delete cruncher;
		}
		AddOnLoader::Free(&image);
		if (!name.empty())
			entries.push_back({file, name});
	}
	return entries;
}


AddOnShelf::Loaded* AddOnShelf::_Load(Kind kind, const char* fileName, const BMessage& settings,
	status_t* failure)
{
	Loaded& loaded = fLoaded[_Key(kind, fileName)];
	if (loaded.volume != nullptr) {
		loaded.volume->SetPref(settings);
		return &loaded;
	}
	if (loaded.cruncher != nullptr) {
		loaded.cruncher->SetPref(settings);
		return &loaded;
	}
	AddOnLoader loader(fServerFolder);
	if (kind == kDestination)
		loaded.volume = loader.LoadDestination(fileName, &settings, &loaded.image, failure);
	else
		loaded.cruncher = loader.LoadCruncher(fileName, &settings, &loaded.image, failure);
	if (loaded.volume == nullptr && loaded.cruncher == nullptr) {
		fLoaded.erase(_Key(kind, fileName));
		return nullptr;
	}
	return &loaded;
}


status_t AddOnShelf::OpenSettings(Kind kind, const char* fileName, const BMessage& settings,
	BWindow* parent, BHandler* target)
{
	if (fileName == nullptr || parent == nullptr)
		return B_BAD_VALUE;
	status_t failure = B_ERROR;
	Loaded* loaded = _Load(kind, fileName, settings, &failure);
	if (loaded == nullptr)
		return failure;
	const char* language = MVLocale::GetInstance()->Language();
	if (loaded->volume != nullptr)
		loaded->volume->Settings(parent, target, language);
	else
		loaded->cruncher->Settings(parent, target, language);
	return B_OK;
}


status_t AddOnShelf::DefaultSettings(Kind kind, const char* fileName, BMessage* settings)
{
	if (fileName == nullptr || settings == nullptr)
		return B_BAD_VALUE;
	status_t failure = B_ERROR;
	Loaded* loaded = _Load(kind, fileName, BMessage(), &failure);
	if (loaded == nullptr)
		return failure;
	if (loaded->volume != nullptr)
		loaded->volume->GetPref(settings);
	else
		loaded->cruncher->GetPref(settings);
	return B_OK;
}


void AddOnShelf::FillMenu(BMenu* menu, Kind kind, uint32 command) const
{
	for (const Entry& entry : List(kind)) {
		auto* message = new BMessage(command);
		message->AddString("menuname", entry.menuName.c_str());
		message->AddString("filename", entry.fileName.c_str());
		menu->AddItem(new BMenuItem(entry.menuName.c_str(), message));
	}
}


std::string AddOnShelf::ServerFolder()
{
	std::string native;
	(void)VolumeTable::ToNative(BackupApplication::Get()->FolderBeside("Backup_Server").c_str(),
		&native);
	return native;
}
