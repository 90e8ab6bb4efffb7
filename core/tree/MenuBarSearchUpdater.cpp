#include "core/tree/MenuBarSearchUpdater.h"

#include "core/chain/TaskChain.h"
#include "core/model/ZRCDTask.h"
#include "core/tree/TaskSearch.h"
#include "core/tree/TreeTexts.h"
#include "foundation/Clock.h"
#include "foundation/UserDefaults.h"
#include "store/ManagedObjectContext.h"

namespace ravelong {

MenuBarSearchUpdater::MenuBarSearchUpdater(ManagedObjectContext& context, ListHandler listHandler)
    : context_(context),
      listHandler_(std::move(listHandler)),
      self_(std::make_shared<MenuBarSearchUpdater*>(this)) {}

MenuBarSearchUpdater::~MenuBarSearchUpdater() {
    *self_ = nullptr;
    if (pending_ && pendingLoop_)
        pendingLoop_->cancel(pending_);
}

std::string MenuBarSearchUpdater::normalizedSearchTerm(std::string_view text) {
    std::string term(text);
    for (std::size_t at = term.find("  "); at != std::string::npos; at = term.find("  "))
        term.erase(at, 1);
    const char* whiteSpace = " \t\n\r\f\v";
    const std::size_t first = term.find_first_not_of(whiteSpace);
    if (first == std::string::npos)
        return {};
    const std::size_t last = term.find_last_not_of(whiteSpace);
    return term.substr(first, last - first + 1);
}

void MenuBarSearchUpdater::setSearchTerm(std::string_view text) {
    UserDefaults::standard().setString(kMenuBarSearchTermDefaultsKey, text);
    const Instant now = Clock::current().now();
    if (!updatedOnce_ || now - lastUpdate_ >= kMinimumInterval) {
        update();
        return;
    }
    if (pending_ && pendingLoop_)
        pendingLoop_->cancel(pending_);
    pendingLoop_ = &MainLoop::current();
    std::weak_ptr<MenuBarSearchUpdater*> weak = self_;
    pending_ = pendingLoop_->runAfter(kDelay, [weak] {
        auto self = weak.lock();
        if (self && *self) {
            (*self)->pending_ = 0;
            (*self)->update();
        }
    });
}

void MenuBarSearchUpdater::clearSearchTerm() {
    UserDefaults::standard().setString(kMenuBarSearchTermDefaultsKey, "");
    update();
}

void MenuBarSearchUpdater::update() {
    if (pending_ && pendingLoop_) {
        pendingLoop_->cancel(pending_);
        pending_ = 0;
    }
    updatedOnce_ = true;
    lastUpdate_ = Clock::current().now();
    const std::string term =
        normalizedSearchTerm(UserDefaults::standard().stringForKey(kMenuBarSearchTermDefaultsKey));

    FetchRequest<ZRCDTask> request;
    if (term.empty()) {
        request.predicate = [](const ZRCDTask& t) {
            return t.isVisibleInMenuBar() && !t.isArchived();
        };
    } else {
        task_search::setTasksContainingStringAndAncestorsVisibleDuringSearchAndHideOthers(term,
                                                                                          context_);
        request.predicate = [](const ZRCDTask& t) {
            return t.isVisibleDuringSearch() && !t.isArchived();
        };
    }
    const std::vector<ZRCDTask*> listed =
        task_chain::sortArrayOfTasksByViewPosition(context_.fetch(request), context_);
    if (listHandler_)
        listHandler_(listed);
}

}  // namespace ravelong
