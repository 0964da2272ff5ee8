#include "ReportFile.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <vector>

#include <storage/AtomicFileWriter.h>
#include <storage/File.h>
#include <storage/Node.h>
#include <storage/NodeRef.h>
#include <support/TypeConstants.h>

namespace {

constexpr const char* kAttrID = "MVREPORT:id";
constexpr const char* kAttrJobID = "MVREPORT:job_id";
constexpr const char* kAttrTitle = "MVREPORT:title";
constexpr const char* kAttrDate = "MVREPORT:date";
constexpr const char* kAttrJobType = "MVREPORT:job_type";

status_t WriteInt32Attr(BNode* node, const char* name, type_code type, int32 value)
{
	ssize_t written = node->WriteAttr(name, type, 0, &value, sizeof(value));
	if (written < 0)
		return status_t(written);
	return written == sizeof(value) ? B_OK : B_IO_ERROR;
}

status_t ReadInt32Attr(BNode* node, const char* name, type_code type, int32* value)
{
	attr_info info;
	status_t status = node->GetAttrInfo(name, &info);
	if (status != B_OK)
		return status;
	if (info.type != type || info.size != sizeof(int32))
		return B_BAD_DATA;
	ssize_t read = node->ReadAttr(name, type, 0, value, sizeof(int32));
	return read == sizeof(int32) ? B_OK : B_BAD_DATA;
}

status_t ReadTitleAttr(BNode* node, std::string* title)
{
	attr_info info;
	status_t status = node->GetAttrInfo(kAttrTitle, &info);
	if (status != B_OK)
		return status;
	if (info.type != B_STRING_TYPE || info.size < 0
		|| info.size > off_t(ReportFile::kMaxTitleLength))
		return B_BAD_DATA;
	std::vector<char> buffer(size_t(info.size) + 1, '\0');
	ssize_t read = node->ReadAttr(kAttrTitle, B_STRING_TYPE, 0, buffer.data(),
		size_t(info.size));
	if (read != ssize_t(info.size))
		return B_BAD_DATA;
	*title = buffer.data();
	return B_OK;
}

status_t WriteAttributes(BNode* node, const ReportListEntry& entry)
{
	status_t status = WriteInt32Attr(node, kAttrID, B_INT32_TYPE, entry.reportID);
	if (status == B_OK)
		status = WriteInt32Attr(node, kAttrJobID, B_INT32_TYPE, entry.jobID);
	if (status == B_OK) {
		ssize_t written = node->WriteAttr(kAttrTitle, B_STRING_TYPE, 0, entry.title.c_str(),
			entry.title.size() + 1);
		status = written < 0 ? status_t(written) : B_OK;
	}
	if (status == B_OK)
		status = WriteInt32Attr(node, kAttrDate, B_TIME_TYPE, entry.date);
	if (status == B_OK)
		status = WriteInt32Attr(node, kAttrJobType, B_INT32_TYPE, entry.jobType);
	return status;
}

status_t WriteAll(BFile* file, const void* data, size_t size)
{
	ssize_t written = file->Write(data, size);
	if (written < 0)
		return status_t(written);
	return size_t(written) == size ? B_OK : B_IO_ERROR;
}

} // namespace

std::string ReportFile::Name(int32 reportID)
{
	char name[16];
	snprintf(name, sizeof(name), "%08" PRIu32, uint32(reportID));
	return name;
}

bool ReportFile::ParseName(const char* name, int32* reportID)
{
	if (name == nullptr)
		return false;
	size_t length = strlen(name);
	if (length < 8 || length > 10)
		return false;
	uint64 value = 0;
	for (size_t i = 0; i < length; i++) {
		if (name[i] < '0' || name[i] > '9')
			return false;
		value = value * 10 + uint64(name[i] - '0');
	}
	if (value > UINT32_MAX || Name(int32(uint32(value))) != name)
		return false;
	if (reportID != nullptr)
		*reportID = int32(uint32(value));
	return true;
}

status_t ReportFile::Write(const std::string& folder, const BMessage& report,
	ReportListEntry* entry)
{
	ReportListEntry slot;
	if (report.FindInt32("report_id", &slot.reportID) != B_OK)
		return B_BAD_VALUE;
	slot.jobID = report.GetInt32("job_id", 0);
	slot.jobType = report.GetInt32("job_type", 0);
	slot.title = report.GetString("title", "");
	(void)report.FindTime("date", &slot.date);

	ssize_t flatSize = report.FlattenedSize();
	if (flatSize < 0)
		return status_t(flatSize);
	std::vector<char> flat(static_cast<size_t>(flatSize));
	status_t status = report.Flatten(flat.data(), flatSize);
	if (status != B_OK)
		return status;

	std::string path = folder + "/" + Name(slot.reportID);
	AtomicFileWriter writer;
	status = writer.SetTo(path.c_str());
	if (status != B_OK)
		return status;
	BFile* file = writer.File();
	char header[kHeaderSize] = {};
	memcpy(header, kIdentifier, strlen(kIdentifier));
	status = WriteAll(file, header, sizeof(header));
	if (status == B_OK)
		status = WriteAll(file, flat.data(), flat.size());
	if (status == B_OK)
		status = WriteAttributes(file, slot);
	if (status == B_OK)
		status = writer.Commit();
	if (status != B_OK)
		return status;

	BNode node(path.c_str());
	node_ref ref;
	if (node.InitCheck() == B_OK && node.GetNodeRef(&ref) == B_OK)
		slot.node = int64(ref.node);
	if (entry != nullptr)
		*entry = slot;
	return B_OK;
}

status_t ReportFile::ReadEntry(const std::string& path, ReportListEntry* entry)
{
	BNode node(path.c_str());
	status_t status = node.InitCheck();
	if (status != B_OK)
		return status;
	if (!node.IsFile())
		return B_BAD_TYPE;
	ReportListEntry slot;
	status = ReadInt32Attr(&node, kAttrID, B_INT32_TYPE, &slot.reportID);
	if (status == B_OK)
		status = ReadInt32Attr(&node, kAttrJobID, B_INT32_TYPE, &slot.jobID);
	if (status == B_OK)
		status = ReadTitleAttr(&node, &slot.title);
	if (status == B_OK)
		status = ReadInt32Attr(&node, kAttrDate, B_TIME_TYPE, &slot.date);
	if (status == B_OK)
		status = ReadInt32Attr(&node, kAttrJobType, B_INT32_TYPE, &slot.jobType);
	if (status != B_OK)
		return status;
	node_ref ref;
	if (node.GetNodeRef(&ref) == B_OK)
		slot.node = int64(ref.node);
	*entry = slot;
	return B_OK;
}

status_t ReportFile::ReadReport(const std::string& path, BMessage* report)
{
	BFile file(path.c_str(), B_READ_ONLY);
	status_t status = file.InitCheck();
	if (status != B_OK)
		return status;
	off_t size;
	status = file.GetSize(&size);
	if (status != B_OK)
		return status;
	if (size < off_t(kHeaderSize) || size > kMaxFileSize)
		return B_BAD_DATA;
	std::vector<char> content(static_cast<size_t>(size));
	ssize_t read = file.ReadAt(0, content.data(), content.size());
	if (read != ssize_t(content.size()))
		return read < 0 ? status_t(read) : B_BAD_DATA;
	if (memcmp(content.data(), kIdentifier, strlen(kIdentifier)) != 0)
		return B_BAD_DATA;
	BMessage message;
	status = message.Unflatten(content.data() + kHeaderSize, content.size() - kHeaderSize);
	if (status != B_OK)
		return status;
	*report = std::move(message);
	return B_OK;
}
