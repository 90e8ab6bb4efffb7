#pragma once

namespace ravelong {

class ManagedObjectContext;
class SyncReplica;

// Mends the display chain after a merge so that every computer holding the same replica ends
// with the same chain.
//
// Two computers that each add or move tasks at one place of the chain send links that do not
// fit together (two tasks followed by the same one, a task followed by none). The chain repair
// of the tree editing mends such a chain, but by the order the records happen to have in the
// context, which differs from computer to computer: each would mend it differently and send its
// own mending, for ever. Here the order comes from the replica's links alone, ties broken by
// uuid: the chains are walked from their heads in uuid order (then whatever no head reaches),
// a parent cycle loses the parent of its task with the smallest uuid, and the tasks are laid
// out depth first with siblings in that walked order. A sound chain is its own walk, so it is
// left as it is. Returns whether anything was written.
bool mendChainAfterMerge(const SyncReplica& replica, ManagedObjectContext& context);

}  // namespace ravelong
