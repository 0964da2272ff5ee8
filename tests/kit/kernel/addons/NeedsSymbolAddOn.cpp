// A test add-on that needs a function nothing defines, so that loading it
// with immediate binding fails.

extern "C" int test_function_nothing_defines();

extern "C" int test_add_on_answer()
{
	return test_function_nothing_defines();
}
