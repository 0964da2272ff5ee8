// A test add-on that needs a library found through its $ORIGIN run path:
// loaded from anywhere else, the library is missing.

extern "C" int test_dependency_value();

extern "C" int test_add_on_answer()
{
	return test_dependency_value();
}
