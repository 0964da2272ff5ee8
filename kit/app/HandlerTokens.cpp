#include "HandlerTokens.h"

#include <mutex>
#include <unordered_map>

namespace MorvaneKit {

namespace {

struct TokenTable {
	std::mutex lock;
	std::unordered_map<int32, BHandler*> handlers;
	int32 nextToken = 1;
};

TokenTable& Table()
{
	static TokenTable* table = new TokenTable;
	return *table;
}

}	// namespace

int32 HandlerTokens::Add(BHandler* handler)
{
	TokenTable& table = Table();
	std::lock_guard<std::mutex> guard(table.lock);
	int32 token;
	do {
		token = table.nextToken;
		table.nextToken = table.nextToken == INT32_MAX ? 1 : table.nextToken + 1;
	} while (table.handlers.count(token) != 0);
	table.handlers[token] = handler;
	return token;
}

void HandlerTokens::Remove(int32 token)
{
	TokenTable& table = Table();
	std::lock_guard<std::mutex> guard(table.lock);
	table.handlers.erase(token);
}

BHandler* HandlerTokens::Find(int32 token)
{
	TokenTable& table = Table();
	std::lock_guard<std::mutex> guard(table.lock);
	auto it = table.handlers.find(token);
	return it == table.handlers.end() ? nullptr : it->second;
}

}	// namespace MorvaneKit
