#pragma once

// A window that keeps the messages it gets: the owner a dialog replies to.

#include <vector>

#include <app/Message.h>
#include <interface/Window.h>

class ReplyWindow : public BWindow {
public:
	ReplyWindow() : BWindow(BRect(0, 0, 99, 99), "owner", B_TITLED_WINDOW, 0) {}
	void MessageReceived(BMessage* message) override { replies.push_back(*message); }
	std::vector<BMessage> replies;
};
