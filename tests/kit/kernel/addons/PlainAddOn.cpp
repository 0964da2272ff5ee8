// A test add-on without C entry points: its one function has C++ linkage,
// so its name is mangled.

int PlainAddOnValue()
{
	return 1;
}
