#pragma once

#include <cstddef>
#include <unordered_map>
#include <vector>

namespace ravelong {

class ManagedObjectContext;
class ZRCDTask;

// Low-level tools that read and rewrite the display chain (prevTask / nextTask of ZRCDTask) in
// whatever state it is: one-sided links, cycles, several heads. The chain operations and the
// tree edits are built on them. Main thread (the context's thread) only.
namespace chain_links {

// Every live task of the context exactly once, in chain order as far as the links tell it:
// first each chain from a head (a task without prevTask), heads in fetch order, then the tasks
// no head reaches (cycles, tasks behind one-sided links), each run walked forward from the
// first such task in fetch order. On a sound chain this is the chain itself.
std::vector<ZRCDTask*> currentChainOrder(const ManagedObjectContext& context);

// The index of every task of `order`.
std::unordered_map<const ZRCDTask*, std::size_t> positionsOf(const std::vector<ZRCDTask*>& order);

// Relinks the tasks so that `nextTask` of each is desiredNext (nullptr when absent from the map)
// and every link is mutual. `tasks` must hold every task that is linked now or will be linked
// (normally all tasks of the context), and desiredNext must link each task at most once from
// either side. Only tasks whose links differ are written, so a chain that is already as wanted
// is left untouched. Returns whether anything was written.
bool applyNextLinks(const std::vector<ZRCDTask*>& tasks,
                    const std::unordered_map<const ZRCDTask*, ZRCDTask*>& desiredNext);

// Makes the chain exactly `order` (the first task the head, the last the tail). `order` holds
// every task of the context once. Returns whether anything was written.
bool applyChainOrder(const std::vector<ZRCDTask*>& order);

}  // namespace chain_links
}  // namespace ravelong
