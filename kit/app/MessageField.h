#pragma once

// The in-memory form of a message's fields and delivery state, shared by
// the message's own code, its flattener and the delivery code of the kit.

#include <cstring>
#include <string>
#include <vector>

#include <app/Message.h>

// One name with its values. Fixed-size fields keep their items back to back
// (itemSize bytes each); variable-size fields keep them back to back too and
// remember where each ends, so that appending is amortised constant time for
// both kinds.
struct BMessage::Field {
	std::string name;
	type_code type = 0;
	uint32 itemSize = 0;         // 0: a variable-size field
	int32 count = 0;
	std::vector<char> data;
	std::vector<uint64> ends;    // variable-size fields only

	bool IsFixedSize() const { return itemSize != 0; }

	const char* ItemAt(int32 index, size_t* size) const
	{
		if (IsFixedSize()) {
			*size = itemSize;
			return data.data() + size_t(index) * itemSize;
		}
		uint64 start = index == 0 ? 0 : ends[size_t(index) - 1];
		*size = size_t(ends[size_t(index)] - start);
		return data.data() + start;
	}

	void Append(const void* item, size_t size)
	{
		const char* bytes = static_cast<const char*>(item);
		data.insert(data.end(), bytes, bytes + size);
		if (!IsFixedSize())
			ends.push_back(data.size());
		count++;
	}

	void Replace(int32 index, const void* item, size_t size)
	{
		size_t oldSize;
		const char* old = ItemAt(index, &oldSize);
		size_t start = size_t(old - data.data());
		if (size == oldSize) {
			memcpy(data.data() + start, item, size);
			return;
		}
		const char* bytes = static_cast<const char*>(item);
		data.erase(data.begin() + start, data.begin() + start + oldSize);
		data.insert(data.begin() + start, bytes, bytes + size);
		for (size_t i = size_t(index); i < ends.size(); i++)
			ends[i] = ends[i] - oldSize + size;
	}

	void Remove(int32 index)
	{
		size_t size;
		const char* item = ItemAt(index, &size);
		size_t start = size_t(item - data.data());
		data.erase(data.begin() + start, data.begin() + start + size);
		if (!IsFixedSize()) {
			ends.erase(ends.begin() + index);
			for (size_t i = size_t(index); i < ends.size(); i++)
				ends[i] -= size;
		}
		count--;
	}
};

// Where a delivered message came from and where its reply goes.
struct BMessage::Delivery {
	int32 targetToken = -1;      // the handler addressed; -1: preferred handler
	BMessenger replyTo;          // invalid: replies go to the application
	team_id sourceTeam = -1;     // the process that sent it
	bool delivered = false;
	bool sourceWaiting = false;
	bool replied = false;
	bool isReply = false;
	bool remote = false;
};

namespace MorvaneKit {

// The kit's own access to a message's insides.
struct MessageAccess {
	using Field = BMessage::Field;
	using Delivery = BMessage::Delivery;

	static const std::vector<BMessage::Field>& Fields(const BMessage& message)
	{
		return message.fFields;
	}
	static std::vector<BMessage::Field>& Fields(BMessage& message) { return message.fFields; }

	static BMessage::Delivery& DeliveryOf(BMessage& message)
	{
		if (!message.fDelivery)
			message.fDelivery = std::make_unique<BMessage::Delivery>();
		return *message.fDelivery;
	}
	static const BMessage::Delivery* FindDelivery(const BMessage& message)
	{
		return message.fDelivery.get();
	}
	static void ClearDelivery(BMessage& message) { message.fDelivery.reset(); }
	// The handler token a delivered message addresses; -1 for the preferred.
	static int32 TargetToken(const BMessage& message)
	{
		return message.fDelivery != nullptr ? message.fDelivery->targetToken : -1;
	}
};

using MessageField = MessageAccess::Field;
using MessageDeliveryInfo = MessageAccess::Delivery;

}	// namespace MorvaneKit
