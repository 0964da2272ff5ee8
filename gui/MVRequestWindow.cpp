#include "MVRequestWindow.h"

#include <interface/Button.h>
#include <interface/TextView.h>

#include "GuiProtocol.h"

namespace {

constexpr float kWidth = 420;
constexpr float kHeight = 150;

}	// namespace


MVRequestWindow::MVRequestWindow(const char* title, const char* text,
	const char* const labels[3], int32 type, const BMessage& reply, BMessenger mainWindow)
	:
	BWindow(BRect(200, 200, 200 + kWidth - 1, 200 + kHeight - 1), title, B_TITLED_WINDOW,
		B_NOT_ZOOMABLE | B_NOT_RESIZABLE),
	fTitleText(title != nullptr ? title : ""),
	fReply(reply),
	fMainWindow(mainWindow)
{
	auto* background = new BView(Bounds(), "bkg_view", B_FOLLOW_ALL, B_WILL_DRAW);
	AddChild(background);
	auto* textView = new BTextView(BRect(10, 10, kWidth - 11, kHeight - 48), "request_text",
		BRect(0, 0, kWidth - 22, kHeight - 58), B_FOLLOW_ALL, B_WILL_DRAW);
	textView->SetText(text);
	textView->MakeEditable(false);
	textView->SetWordWrap(true);
	background->AddChild(textView);
	int32 count = 0;
	while (count < 3 && labels[count] != nullptr)
		count++;
	float right = kWidth - 10;
	for (int32 index = count - 1; index >= 0; index--) {
		BMessage* message = new BMessage(kCmdRequestAnswer);
		message->AddInt32("which", index);
		std::string name = "btn_answer" + std::to_string(index);
		auto* button = new BButton(BRect(right - 110, kHeight - 36, right, kHeight - 12),
			name.c_str(), labels[index], message);
		background->AddChild(button);
		if (index == count - 1)
			SetDefaultButton(button);
		right -= 120;
	}
}


void MVRequestWindow::MessageReceived(BMessage* message)
{
	if (message->what != kCmdRequestAnswer) {
		BWindow::MessageReceived(message);
		return;
	}
	fChosen = message->GetInt32("which", -1);
	(void)PostMessage(B_QUIT_REQUESTED);
}


void MVRequestWindow::Quit()
{
	BMessage closed(kMsgRequestWindowClosed);
	closed.AddString("title", fTitleText.c_str());
	if (fChosen >= 0) {
		BMessage answer(fReply);
		answer.SetInt32("which", fChosen);
		closed.AddMessage("answer", &answer);
	}
	(void)fMainWindow.SendMessage(&closed);
	BWindow::Quit();
}
