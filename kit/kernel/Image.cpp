// Add-on images: load_add_on, get_image_symbol, unload_add_on.

#include <kernel/image.h>

#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "ImageTable.h"

using MorvaneKit::ImageTable;

namespace {

thread_local std::string sErrorText;

status_t Fail(status_t status, std::string text)
{
	sErrorText = std::move(text);
	return status;
}

// The ELF header the kit itself was loaded from: add-ons must match its
// class, byte order and machine.
const ElfW(Ehdr)* KitHeader()
{
	Dl_info info;
	if (dladdr(reinterpret_cast<void*>(&load_add_on), &info) == 0 || info.dli_fbase == nullptr)
		return nullptr;
	return static_cast<const ElfW(Ehdr)*>(info.dli_fbase);
}

const char* HeaderProblem(const ElfW(Ehdr)& header)
{
	if (memcmp(header.e_ident, ELFMAG, SELFMAG) != 0)
		return "not an ELF file";
	const ElfW(Ehdr)* kit = KitHeader();
	if (kit != nullptr && (header.e_ident[EI_CLASS] != kit->e_ident[EI_CLASS]
			|| header.e_ident[EI_DATA] != kit->e_ident[EI_DATA]
			|| header.e_machine != kit->e_machine))
		return "built for another kind of machine";
	if (header.e_type != ET_DYN)
		return "not a shared object";
	return nullptr;
}

// A real add-on has a few dozen program headers.
constexpr ElfW(Half) kMostProgramHeaders = 1024;

bool LiesWithin(uint64 offset, uint64 size, uint64 fileSize)
{
	return offset <= fileSize && size <= fileSize - offset;
}

// Whether what the loader maps lies inside the file. The loader maps the
// segments without checking and takes a bus error on a file cut short.
const char* SegmentProblem(int fd, const ElfW(Ehdr)& header, uint64 fileSize)
{
	if (header.e_phentsize != sizeof(ElfW(Phdr)) || header.e_phnum == 0
			|| header.e_phnum > kMostProgramHeaders)
		return "damaged program headers";
	uint64 tableSize = uint64(header.e_phnum) * sizeof(ElfW(Phdr));
	if (!LiesWithin(header.e_phoff, tableSize, fileSize))
		return "cut short";
	std::vector<ElfW(Phdr)> segments(header.e_phnum);
	if (pread(fd, segments.data(), tableSize, off_t(header.e_phoff)) != ssize_t(tableSize))
		return "cut short";
	for (const ElfW(Phdr)& segment : segments) {
		if (segment.p_type != PT_LOAD && segment.p_type != PT_DYNAMIC)
			continue;
		if (!LiesWithin(segment.p_offset, segment.p_filesz, fileSize))
			return "cut short";
		if (segment.p_type == PT_LOAD && segment.p_filesz > segment.p_memsz)
			return "damaged program headers";
	}
	return nullptr;
}

status_t SystemError(const char* path)
{
	int error = errno;
	return Fail(B_FROM_ERRNO(error), std::string(path) + ": " + strerror(error));
}

// What makes the open file unfit for the loader, or null.
const char* FileProblem(int fd)
{
	struct stat status;
	if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))
		return "not a regular file";
	ElfW(Ehdr) header;
	if (pread(fd, &header, sizeof(header), 0) != ssize_t(sizeof(header)))
		return "too short for a shared object";
	if (const char* problem = HeaderProblem(header))
		return problem;
	return SegmentProblem(fd, header, uint64(status.st_size));
}

// Checks the file before the loader sees it: the loader's answers for files
// that are not shared objects differ between versions, a device or FIFO must
// not even be opened, and a damaged file must not crash the process. Loading
// an add-on runs its code, so this guards against damage (a file cut short,
// overwritten headers), not against files built to attack the loader.
status_t CheckSharedObject(const char* path)
{
	struct stat status;
	if (stat(path, &status) != 0) {
		if (errno == ENOENT || errno == ENOTDIR)
			return Fail(B_ENTRY_NOT_FOUND, std::string(path) + ": no such file");
		return SystemError(path);
	}
	if (!S_ISREG(status.st_mode))
		return Fail(B_NOT_AN_EXECUTABLE, std::string(path) + ": not a regular file");

	int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
	if (fd < 0)
		return SystemError(path);
	const char* problem = FileProblem(fd);
	close(fd);
	if (problem != nullptr)
		return Fail(B_NOT_AN_EXECUTABLE, std::string(path) + ": " + problem);
	return B_OK;
}

// The loader's complaint as a status. Its messages name the object they are
// about first.
status_t StatusForLoaderError(const std::string& loaderPath, const std::string& text)
{
	if (text.find("undefined symbol") != std::string::npos)
		return B_MISSING_SYMBOL;
	if (text.find("cannot open shared object file") != std::string::npos) {
		// The add-on itself vanished after the check; otherwise a library it
		// needs is missing.
		if (text.compare(0, loaderPath.size() + 1, loaderPath + ":") == 0)
			return B_ENTRY_NOT_FOUND;
		return B_MISSING_LIBRARY;
	}
	// A library it needs is older than the one it was built against.
	if (text.find("version `") != std::string::npos)
		return B_MISSING_LIBRARY;
	return B_NOT_AN_EXECUTABLE;
}

bool IsTextSymbol(const ElfW(Sym)& symbol)
{
	// The type sits in the low four bits of st_info in both ELF classes.
	unsigned char type = symbol.st_info & 0xf;
	return type == STT_FUNC || type == STT_GNU_IFUNC;
}

// Whether the address dlsym() found lies in the image itself and is of the
// wanted type: dlsym() also searches the libraries the image depends on.
bool IsImageSymbol(void* handle, void* address, int32 symbolType)
{
	link_map* image = nullptr;
	if (dlinfo(handle, RTLD_DI_LINKMAP, &image) != 0)
		return false;
	Dl_info info;
	link_map* owner = nullptr;
	if (dladdr1(address, &info, reinterpret_cast<void**>(&owner), RTLD_DL_LINKMAP) == 0) {
		// Thread-local data lies outside every object's mapping.
		return symbolType != B_SYMBOL_TYPE_TEXT;
	}
	if (owner != image)
		return false;
	ElfW(Sym)* symbol = nullptr;
	if (dladdr1(address, &info, reinterpret_cast<void**>(&symbol), RTLD_DL_SYMENT) == 0
			|| symbol == nullptr)
		return symbolType == B_SYMBOL_TYPE_ANY;
	bool text = IsTextSymbol(*symbol);
	switch (symbolType) {
		case B_SYMBOL_TYPE_TEXT:
			return text;
		case B_SYMBOL_TYPE_DATA:
			return !text;
		default:
			return true;
	}
}

} // namespace

image_id load_add_on(const char* path)
{
	if (path == nullptr || *path == '\0')
		return Fail(B_BAD_VALUE, "no path given");
	status_t status = CheckSharedObject(path);
	if (status != B_OK)
		return status;

	// A name without a slash would make the loader search the library path.
	std::string loaderPath = strchr(path, '/') != nullptr ? path : std::string("./") + path;
	dlerror();
	void* handle = dlopen(loaderPath.c_str(), RTLD_NOW | RTLD_LOCAL);
	if (handle == nullptr) {
		const char* text = dlerror();
		std::string message = text != nullptr ? text : loaderPath + ": cannot be loaded";
		status = StatusForLoaderError(loaderPath, message);
		return Fail(status, std::move(message));
	}
	image_id image = ImageTable::Default().Add(handle);
	if (image < 0)
		return Fail(image, "out of memory");
	sErrorText.clear();
	return image;
}

status_t unload_add_on(image_id image)
{
	if (!ImageTable::Default().Remove(image))
		return Fail(B_BAD_IMAGE_ID, "no image " + std::to_string(image));
	return B_OK;
}

status_t get_image_symbol(image_id image, const char* name, int32 symbolType, void** location)
{
	if (name == nullptr || location == nullptr)
		return Fail(B_BAD_VALUE, "no symbol name or location given");
	if (symbolType != B_SYMBOL_TYPE_DATA && symbolType != B_SYMBOL_TYPE_TEXT
			&& symbolType != B_SYMBOL_TYPE_ANY)
		return Fail(B_BAD_VALUE, "unknown symbol type " + std::to_string(symbolType));
	std::shared_ptr<void> handle = ImageTable::Default().Find(image);
	if (!handle)
		return Fail(B_BAD_IMAGE_ID, "no image " + std::to_string(image));

	dlerror();
	void* address = dlsym(handle.get(), name);
	if (address == nullptr) {
		const char* text = dlerror();
		return Fail(B_MISSING_SYMBOL, text != nullptr ? text : std::string(name) + ": null symbol");
	}
	if (!IsImageSymbol(handle.get(), address, symbolType))
		return Fail(B_MISSING_SYMBOL, std::string(name) + ": no symbol of that kind in the image");
	*location = address;
	sErrorText.clear();
	return B_OK;
}

const char* add_on_error_text()
{
	return sErrorText.c_str();
}
