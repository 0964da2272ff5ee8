// A library in the add-on folder that exports no factory at all.

extern "C" __attribute__((visibility("default"))) int morvane_test_not_a_factory()
{
	return 42;
}
