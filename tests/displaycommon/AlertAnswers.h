#pragma once

// Answers the alerts a test provokes, in order, and keeps what they said.
// An alert nobody expected fails the test and is answered with its default.

#include <deque>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <interface/Alert.h>

class AlertAnswers {
public:
	struct Shown {
		std::string title;
		std::string text;
		std::vector<std::string> buttons;
	};

	AlertAnswers()
	{
		fPrevious = BAlert::SetPresenter([this](const BAlert& alert) { return _Answer(alert); });
	}

	~AlertAnswers() { BAlert::SetPresenter(std::move(fPrevious)); }

	// The next alert is answered with the button of that label.
	void Expect(const char* buttonLabel) { fAnswers.push_back(buttonLabel); }
	const std::vector<Shown>& Alerts() const { return fShown; }

private:
	int32 _Answer(const BAlert& alert)
	{
		Shown shown{alert.Title(), alert.Text(), {}};
		for (int32 index = 0; index < alert.CountButtons(); index++)
			shown.buttons.push_back(alert.ButtonLabel(index));
		fShown.push_back(shown);
		if (fAnswers.empty()) {
			ADD_FAILURE() << "unexpected alert: " << alert.Text();
			return alert.DefaultButton();
		}
		std::string answer = fAnswers.front();
		fAnswers.pop_front();
		for (int32 index = 0; index < alert.CountButtons(); index++) {
			if (answer == alert.ButtonLabel(index))
				return index;
		}
		ADD_FAILURE() << "alert without button " << answer << ": " << alert.Text();
		return alert.DefaultButton();
	}

	BAlert::Presenter fPrevious;
	std::deque<std::string> fAnswers;
	std::vector<Shown> fShown;
};
