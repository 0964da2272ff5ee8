#pragma once

// Add-on images: shared libraries loaded at run time (dlopen with RTLD_NOW |
// RTLD_LOCAL). An image stays loaded until unload_add_on(); objects created
// by it must be deleted before that.

#include <support/Errors.h>
#include <support/SupportDefs.h>

enum : int32 {
	B_SYMBOL_TYPE_DATA = 0x1,
	B_SYMBOL_TYPE_TEXT = 0x2,
	B_SYMBOL_TYPE_ANY = 0x5,
};

// The image id, or an error (B_ENTRY_NOT_FOUND, B_NOT_AN_EXECUTABLE,
// B_MISSING_LIBRARY) when the file cannot be loaded.
image_id load_add_on(const char* path);
status_t unload_add_on(image_id image);
// B_MISSING_SYMBOL when the image has no such symbol, B_BAD_IMAGE_ID when the
// image is not loaded.
[[nodiscard]] status_t get_image_symbol(image_id image, const char* name,
	int32 symbolType, void** location);
// The loader's last message for this thread, for logs.
const char* add_on_error_text();
