// A library that the add-on NeedsLibraryAddOn finds beside itself.

extern "C" int test_dependency_value()
{
	return 5;
}
