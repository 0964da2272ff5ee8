#include "RecipientList.h"

#include "MessageOutbox.h"

struct RecipientList::Recipient {
	explicit Recipient(const BMessenger& target)
		:
		messenger(target)
	{
		if (!target.IsTargetLocal())
			outbox = std::make_unique<MessageOutbox>(target);
	}

	BMessenger messenger;
	std::unique_ptr<MessageOutbox> outbox;
};

RecipientList::RecipientList() = default;
RecipientList::~RecipientList() = default;
RecipientList::RecipientList(RecipientList&&) noexcept = default;
RecipientList& RecipientList::operator=(RecipientList&&) noexcept = default;

bool RecipientList::Add(const BMessenger& recipient)
{
	if (!recipient.IsValid() || Contains(recipient))
		return false;
	fRecipients.emplace_back(recipient);
	return true;
}

bool RecipientList::Remove(const BMessenger& recipient)
{
	int32 index = _IndexOf(recipient);
	if (index < 0)
		return false;
	fRecipients.erase(fRecipients.begin() + index);
	return true;
}

int32 RecipientList::Count() const
{
	return int32(fRecipients.size());
}

bool RecipientList::Contains(const BMessenger& recipient) const
{
	return _IndexOf(recipient) >= 0;
}

int32 RecipientList::_IndexOf(const BMessenger& recipient) const
{
	for (size_t i = 0; i < fRecipients.size(); i++) {
		if (fRecipients[i].messenger == recipient)
			return int32(i);
	}
	return -1;
}

bool RecipientList::_Send(Recipient& recipient, const BMessage& message,
	const BMessenger& replyTo, std::shared_ptr<const BMessage>* shared)
{
	if (recipient.outbox == nullptr)
		return recipient.messenger.SendMessage(&message, replyTo, 0) != B_BAD_PORT_ID;
	// One copy serves every outbox.
	if (*shared == nullptr)
		*shared = std::make_shared<const BMessage>(message);
	return recipient.outbox->Post(*shared, replyTo);
}

void RecipientList::Send(const BMessage& message)
{
	std::shared_ptr<const BMessage> shared;
	for (size_t i = 0; i < fRecipients.size();) {
		if (!_Send(fRecipients[i], message, BMessenger(), &shared)) {
			fRecipients.erase(fRecipients.begin() + i);
			continue;
		}
		i++;
	}
}

bool RecipientList::_SendAll(Recipient& recipient,
	const std::vector<std::shared_ptr<const BMessage>>& messages)
{
	if (recipient.outbox != nullptr)
		return recipient.outbox->Post(messages);
	std::vector<const BMessage*> pointers;
	pointers.reserve(messages.size());
	for (const std::shared_ptr<const BMessage>& message : messages)
		pointers.push_back(message.get());
	return recipient.messenger.SendMessages(pointers.data(), pointers.size(), 0)
		!= B_BAD_PORT_ID;
}

void RecipientList::Send(const std::vector<std::shared_ptr<const BMessage>>& messages)
{
	for (size_t i = 0; i < fRecipients.size();) {
		if (!_SendAll(fRecipients[i], messages)) {
			fRecipients.erase(fRecipients.begin() + i);
			continue;
		}
		i++;
	}
}

bool RecipientList::SendTo(const BMessenger& recipient, const BMessage& message,
	const BMessenger& replyTo)
{
	int32 index = _IndexOf(recipient);
	std::shared_ptr<const BMessage> shared;
	if (index < 0) {
		Recipient once(recipient);
		return _Send(once, message, replyTo, &shared);
	}
	if (_Send(fRecipients[index], message, replyTo, &shared))
		return true;
	fRecipients.erase(fRecipients.begin() + index);
	return false;
}
