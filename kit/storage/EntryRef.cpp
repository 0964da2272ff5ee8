#include <storage/EntryRef.h>

const char* entry_ref::name() const
{
	size_t slash = path.rfind('/');
	return slash == std::string::npos ? path.c_str() : path.c_str() + slash + 1;
}

void entry_ref::set_name(const char* leaf)
{
	size_t slash = path.rfind('/');
	path.resize(slash == std::string::npos ? 0 : slash + 1);
	path += leaf != nullptr ? leaf : "";
}
