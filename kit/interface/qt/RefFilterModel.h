#pragma once

// The file panel's filter between Qt's file system model and its views:
// it shows an entry when the panel's BRefFilter lets it through. The folder
// shown and those above it always pass, so that the views keep their root;
// folders outside every volume pass too (the way back to one), other
// entries outside every volume never do.

#include <sys/stat.h>

#include <string>

#include <QSortFilterProxyModel>
#include <QString>

class BRefFilter;

namespace MorvaneKit {

class RefFilterModel : public QSortFilterProxyModel {
public:
	void SetFilter(BRefFilter* filter);
	// The native folder the panel shows.
	void SetShownFolder(const QString& folder);

protected:
	bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
	bool _IsShownOrAbove(const QString& path) const;

	BRefFilter* fFilter = nullptr;
	QString fShownFolder;
};

// The MIME type a BRefFilter sees for a native entry of the system path
// systemPath, of which st is the lstat.
std::string FilterMimeType(const std::string& systemPath, const QString& nativePath,
	const struct stat& st);

}	// namespace MorvaneKit
