#include "RefFilterModel.h"

#include <sys/stat.h>

#include <string>

#include <QFileSystemModel>
#include <QMimeDatabase>

#include <interface/FilePanel.h>
#include <storage/Node.h>
#include <storage/VolumeTable.h>

namespace MorvaneKit {

void RefFilterModel::SetFilter(BRefFilter* filter)
{
	fFilter = filter;
	invalidateFilter();
}


void RefFilterModel::SetShownFolder(const QString& folder)
{
	if (folder == fShownFolder)
		return;
	fShownFolder = folder;
	invalidateFilter();
}


bool RefFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
	auto* files = dynamic_cast<QFileSystemModel*>(sourceModel());
	if (fFilter == nullptr || files == nullptr)
		return true;
	QModelIndex index = files->index(sourceRow, 0, sourceParent);
	QString native = files->filePath(index);
	if (_IsShownOrAbove(native))
		return true;
	std::string system;
	if (VolumeTable::ToSystem(native.toUtf8().constData(), &system) != B_OK)
		return files->isDir(index);
	struct stat st;
	if (lstat(native.toUtf8().constData(), &st) != 0)
		return false;
	entry_ref ref(system);
	BNode node(&ref);
	std::string mimeType = FilterMimeType(system, native, st);
	return fFilter->Filter(&ref, &node, &st, mimeType.c_str());
}


bool RefFilterModel::_IsShownOrAbove(const QString& path) const
{
	if (path.isEmpty() || fShownFolder.isEmpty())
		return false;
	if (path == fShownFolder || path == QLatin1String("/"))
		return true;
	return fShownFolder.startsWith(path) && fShownFolder.at(path.size()) == u'/';
}


std::string FilterMimeType(const std::string& systemPath, const QString& nativePath,
	const struct stat& st)
{
	if (S_ISLNK(st.st_mode))
		return B_SYMLINK_MIME_TYPE;
	if (S_ISDIR(st.st_mode)) {
		VolumeTable::Location location;
		bool isVolume = VolumeTable::Locate(systemPath.c_str(), &location) == B_OK
			&& location.IsVolumeRoot();
		return isVolume ? B_VOLUME_MIME_TYPE : B_DIRECTORY_MIME_TYPE;
	}
	// By the name alone: a panel never reads the files it lists.
	QMimeDatabase types;
	return types.mimeTypeForFile(nativePath, QMimeDatabase::MatchExtension).name()
		.toStdString();
}

}	// namespace MorvaneKit
