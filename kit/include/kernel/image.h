#pragma once

// Add-on images: shared libraries loaded at run time (dlopen with RTLD_NOW |
// RTLD_LOCAL). An image stays loaded until unload_add_on(); objects created
// by it must be deleted before that. All functions are thread-safe; an image
// that one thread unloads while another looks up a symbol in it closes when
// the lookup is done.

#include <support/Errors.h>
#include <support/SupportDefs.h>

enum : int32 {
	B_SYMBOL_TYPE_DATA = 0x1,
	B_SYMBOL_TYPE_TEXT = 0x2,
	B_SYMBOL_TYPE_ANY = 0x5,
};

// The image id (a small positive number), or an error: B_ENTRY_NOT_FOUND
// when there is no such file, B_NOT_AN_EXECUTABLE when it is not a shared
// object for this machine, B_MISSING_LIBRARY when a library it needs is
// missing, B_MISSING_SYMBOL when a symbol it needs is. A path without a
// slash names a file in the current folder, never one on the library path.
image_id load_add_on(const char* path);
// B_BAD_IMAGE_ID for unknown or already unloaded images.
[[nodiscard]] status_t unload_add_on(image_id image);
// The address of a symbol the image itself defines (not one of the libraries
// it uses), of the given type: B_SYMBOL_TYPE_TEXT for functions,
// B_SYMBOL_TYPE_DATA for variables, B_SYMBOL_TYPE_ANY for both. Add-on
// entry points have C linkage, so their names are not mangled.
// B_MISSING_SYMBOL when there is no such symbol, B_BAD_IMAGE_ID when the
// image is not loaded, B_BAD_VALUE for a null name or location.
[[nodiscard]] status_t get_image_symbol(image_id image, const char* name,
	int32 symbolType, void** location);
// The loader's message about the calling thread's last failed call of these
// functions, for logs; empty after a success. Valid until the thread's next
// call of them.
const char* add_on_error_text();
