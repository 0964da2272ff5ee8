// A test add-on with C entry points, as the real add-ons have, and a variable
// whose value shows whether the image was loaded afresh.

#include <kernel/OS.h>

extern "C" {

int32 test_add_on_value = 42;

int32 test_add_on_answer()
{
	return test_add_on_value;
}

// Calls into the kit, which the add-on reaches through its own RPATH.
thread_id test_add_on_current_thread()
{
	return find_thread(nullptr);
}

}
