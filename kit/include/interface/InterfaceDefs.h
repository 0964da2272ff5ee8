#pragma once

// Constants of the interface kit: how views follow their parent's size, view
// and window flags, window looks and feels, alignment, borders, keys.

#include <interface/GraphicsDefs.h>
#include <support/SupportDefs.h>

// Resizing modes: one horizontal and one vertical rule, or'ed. A rule that is
// not given keeps the view's left (top) edge and size.
enum : uint32 {
	B_FOLLOW_LEFT = 0x0001,
	B_FOLLOW_RIGHT = 0x0002,
	B_FOLLOW_LEFT_RIGHT = 0x0003,
	B_FOLLOW_H_CENTER = 0x0004,
	B_FOLLOW_TOP = 0x0010,
	B_FOLLOW_BOTTOM = 0x0020,
	B_FOLLOW_TOP_BOTTOM = 0x0030,
	B_FOLLOW_V_CENTER = 0x0040,
	B_FOLLOW_NONE = B_FOLLOW_LEFT | B_FOLLOW_TOP,
	B_FOLLOW_ALL = B_FOLLOW_LEFT_RIGHT | B_FOLLOW_TOP_BOTTOM,
	B_FOLLOW_ALL_SIDES = B_FOLLOW_ALL,
};

// View flags.
enum : uint32 {
	B_WILL_DRAW = 0x20000000,
	B_PULSE_NEEDED = 0x10000000,
	B_NAVIGABLE_JUMP = 0x08000000,
	B_FRAME_EVENTS = 0x04000000,
	B_NAVIGABLE = 0x02000000,
	B_FULL_UPDATE_ON_RESIZE = 0x80000000,
};

enum window_look {
	B_BORDERED_WINDOW_LOOK = 20,
	B_NO_BORDER_WINDOW_LOOK = 19,
	B_TITLED_WINDOW_LOOK = 1,
	B_DOCUMENT_WINDOW_LOOK = 11,
	B_MODAL_WINDOW_LOOK = 3,
	B_FLOATING_WINDOW_LOOK = 7,
};

enum window_feel {
	B_NORMAL_WINDOW_FEEL = 0,
	B_MODAL_SUBSET_WINDOW_FEEL = 2,
	B_MODAL_APP_WINDOW_FEEL = 1,
	B_MODAL_ALL_WINDOW_FEEL = 3,
	B_FLOATING_SUBSET_WINDOW_FEEL = 5,
	B_FLOATING_APP_WINDOW_FEEL = 4,
	B_FLOATING_ALL_WINDOW_FEEL = 6,
};

enum window_type {
	B_UNTYPED_WINDOW = 0,
	B_TITLED_WINDOW = 1,
	B_MODAL_WINDOW = 3,
	B_DOCUMENT_WINDOW = 11,
	B_BORDERED_WINDOW = 20,
	B_FLOATING_WINDOW = 21,
};

// Window flags.
enum : uint32 {
	B_NOT_MOVABLE = 0x00000001,
	B_NOT_CLOSABLE = 0x00000020,
	B_NOT_ZOOMABLE = 0x00000040,
	B_NOT_MINIMIZABLE = 0x00004000,
	B_NOT_RESIZABLE = 0x00000002,
	B_NOT_H_RESIZABLE = 0x00000004,
	B_NOT_V_RESIZABLE = 0x00000008,
	B_AVOID_FRONT = 0x00000080,
	B_AVOID_FOCUS = 0x00002000,
	B_WILL_ACCEPT_FIRST_CLICK = 0x00000010,
	B_ASYNCHRONOUS_CONTROLS = 0x00080000,
	B_QUIT_ON_WINDOW_CLOSE = 0x00100000,
};

constexpr uint32 B_CURRENT_WORKSPACE = 0;
constexpr uint32 B_ALL_WORKSPACES = 0xffffffff;

enum alignment {
	B_ALIGN_LEFT,
	B_ALIGN_RIGHT,
	B_ALIGN_CENTER,
};

enum border_style {
	B_PLAIN_BORDER,
	B_FANCY_BORDER,
	B_NO_BORDER,
};

// Control values.
enum : int32 {
	B_CONTROL_OFF = 0,
	B_CONTROL_ON = 1,
};

// Key bytes KeyDown() receives for keys without a character.
enum : char {
	B_BACKSPACE = 0x08,
	B_TAB = 0x09,
	B_ENTER = 0x0a,
	B_RETURN = 0x0a,
	B_ESCAPE = 0x1b,
	B_LEFT_ARROW = 0x1c,
	B_RIGHT_ARROW = 0x1d,
	B_UP_ARROW = 0x1e,
	B_DOWN_ARROW = 0x1f,
	B_SPACE = 0x20,
	B_DELETE = 0x7f,
};

// Modifier keys for shortcuts.
enum : uint32 {
	B_SHIFT_KEY = 0x00000001,
	B_COMMAND_KEY = 0x00000002,
	B_CONTROL_KEY = 0x00000004,
	B_OPTION_KEY = 0x00000040,
};

// Messages the interface kit sends.
enum : uint32 {
	B_KEY_DOWN = '_KYD',
	B_MOUSE_DOWN = '_MDN',
	B_WINDOW_ACTIVATED = '_ACT',
	B_WINDOW_MOVED = '_WMV',
	B_WINDOW_RESIZED = '_WRS',
	B_SAVE_REQUESTED = '_SVR',
	B_CONTROL_INVOKED = 'CIVK',
	B_CONTROL_MODIFIED = 'CMOD',
};

enum ui_color_which {
	B_PANEL_BACKGROUND_COLOR = 1,
	B_DOCUMENT_BACKGROUND_COLOR = 11,
	B_DOCUMENT_TEXT_COLOR = 12,
	B_CONTROL_HIGHLIGHT_COLOR = 17,
	B_PANEL_TEXT_COLOR = 10,
};

rgb_color ui_color(ui_color_which which);

constexpr rgb_color make_color(uint8 red, uint8 green, uint8 blue, uint8 alpha = 255)
{
	return rgb_color{red, green, blue, alpha};
}
