#include "NodeRegistry.h"

#include <sys/stat.h>

#include <deque>
#include <mutex>
#include <unordered_map>

namespace {

constexpr size_t kMaxRemembered = 16384;

struct NodeHash {
	size_t operator()(const node_ref& node) const
	{
		return std::hash<uint64>()(uint64(node.node) * 31 + uint64(node.device));
	}
};

std::mutex sLock;
std::unordered_map<node_ref, std::string, NodeHash> sPlaces;
std::deque<node_ref> sOrder;

}	// namespace


namespace MorvaneKit {

void RememberNode(const node_ref& node, const std::string& native)
{
	std::lock_guard<std::mutex> lock(sLock);
	auto [place, added] = sPlaces.insert_or_assign(node, native);
	if (!added)
		return;
	sOrder.push_back(node);
	if (sOrder.size() > kMaxRemembered) {
		sPlaces.erase(sOrder.front());
		sOrder.pop_front();
	}
}


bool FindNode(const node_ref& node, std::string* native)
{
	{
		std::lock_guard<std::mutex> lock(sLock);
		auto place = sPlaces.find(node);
		if (place == sPlaces.end())
			return false;
		*native = place->second;
	}
	// The entry may since hold another node; the volume was checked when
	// the node was remembered.
	struct stat status;
	return lstat(native->c_str(), &status) == 0 && status.st_ino == node.node;
}

}	// namespace MorvaneKit
