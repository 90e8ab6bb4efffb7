#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "sync/SEZipCloudFileSystem.h"
#include "sync/cloudkit/CloudKitTestLoop.h"
#include "sync/cloudkit/CloudKitWebTestLoop.h"
#include "sync/dropbox/DropboxSyncBackend.h"
#include "sync/dropbox/DropboxTestLoop.h"
#include "sync/dropbox/SEDropboxV2CloudFileSystem.h"
#include "sync/engine/DelayedFolderCloud.h"
#include "sync/engine/SyncTestWorld.h"

namespace ravelong::sync_testing {

enum class BackEnd { folder, dropbox, cloudKit, cloudKitWeb };

struct SimulationCase {
    BackEnd backEnd;
    bool zipped;
};

// Where the computers of a simulation keep their files: the shared folder, the fake Dropbox
// account, an iCloud container in memory or the fake CloudKit web service, each plain or zipped
// as the program wraps it. Each computer reaches it through a client of its own, made again
// when the computer starts after a crash; its scratch and cache folders stay, as a machine's
// would. A computer cut off from the network fails the way that back-end fails: the folder
// refuses, the in-memory database answers with its network-unavailable error, and the fake
// servers drop the computer's requests unanswered.
class SimulatedClouds {
public:
    SimulatedClouds(SyncTestWorld& world, SimulationCase c)
        : world_(world), backEnd_(c.backEnd), zipped_(c.zipped) {
        switch (backEnd_) {
            case BackEnd::folder:
                break;
            case BackEnd::dropbox:
                dropbox_ = std::make_unique<testing::FakeDropboxServer>();
                break;
            case BackEnd::cloudKit:
                container_ = std::make_shared<InMemoryCloudKitContainer>();
                break;
            case BackEnd::cloudKitWeb:
                cloudKit_ = std::make_unique<testing::FakeCloudKitServer>();
                break;
        }
        world.repliesFromOtherThreads = dropbox_ || cloudKit_;
        world.makeCloud = [this](MainLoop& loop, const std::string& name) {
            return make(loop, name);
        };
        world.cloudGone = [this](const std::string& name) {
            Computer& c = computers_[name];
            c.folder = nullptr;
            c.memory.reset();
            c.dropbox.reset();
            c.web.reset();
        };
    }

    // Seconds the in-memory database takes to answer each call.
    double databaseDelay = 0;
    testing::FakeDropboxServer* dropboxServer() { return dropbox_.get(); }
    InMemoryCloudKitContainer* container() { return container_.get(); }

    bool online(const std::string& name) { return computers_[name].online; }

    void setOnline(const std::string& name, bool online) {
        Computer& c = computers_[name];
        c.online = online;
        if (c.folder)
            c.folder->online = online;
        if (c.memory) {
            if (online)
                c.memory->clearFailures();
            else
                c.memory->failNextCalls(
                    {CKErrorCode::networkUnavailable, "The network is unavailable.", {}, 0},
                    SIZE_MAX);
        }
        if (dropbox_)
            dropbox_->setReachable(token(name), online);
        if (cloudKit_)
            cloudKit_->setReachable(token(name), online);
    }

private:
    struct Computer {
        bool online = true;
        testing::TemporaryDirectory scratch, cacheHome;
        DelayedFolderCloud* folder = nullptr;
        std::shared_ptr<InMemoryCloudKitDatabase> memory;
        std::unique_ptr<testing::DropboxComputerClient> dropbox;
        std::unique_ptr<testing::CloudKitWebComputerClient> web;
    };

    static std::string token(const std::string& name) { return "token-" + name; }

    std::unique_ptr<SECloudFileSystem> make(MainLoop& loop, const std::string& name) {
        Computer& c = computers_[name];
        std::unique_ptr<SECloudFileSystem> cloud;
        switch (backEnd_) {
            case BackEnd::folder: {
                auto folder = std::make_unique<DelayedFolderCloud>(
                    loop, world_.clock, world_.cloudFolder, &world_.random,
                    &world_.maximumArrivalDelay);
                c.folder = folder.get();
                cloud = std::move(folder);
                break;
            }
            case BackEnd::dropbox: {
                c.dropbox =
                    std::make_unique<testing::DropboxComputerClient>(loop, *dropbox_, token(name));
                auto dropbox =
                    std::make_unique<SEDropboxV2CloudFileSystem>(loop, c.dropbox->clients);
                dropbox->setRelativePathToRootInDropbox(DropboxSyncBackend::kRootFolder);
                dropbox->partitionDataFilesBetweenSubdirectories = true;
                cloud = std::move(dropbox);
                break;
            }
            case BackEnd::cloudKit:
            case BackEnd::cloudKitWeb: {
                std::shared_ptr<CloudKitDatabase> database;
                if (backEnd_ == BackEnd::cloudKit) {
                    c.memory = std::make_shared<InMemoryCloudKitDatabase>(
                        loop, container_, CloudKitDatabase::Scope::privateScope, "alice");
                    c.memory->delay = databaseDelay;
                    database = c.memory;
                } else {
                    c.web = std::make_unique<testing::CloudKitWebComputerClient>(loop, *cloudKit_,
                                                                                 token(name));
                    database = c.web->database;
                }
                cloud = testing::privateCloudKitFileSystem(loop, database, c.cacheHome.path(),
                                                           "iCloud.org.ravelong.simulation");
                break;
            }
        }
        if (zipped_)
            cloud = std::make_unique<SEZipCloudFileSystem>(std::move(cloud), c.scratch.path());
        setOnline(name, c.online);
        return cloud;
    }

    SyncTestWorld& world_;
    BackEnd backEnd_;
    bool zipped_;
    std::unique_ptr<testing::FakeDropboxServer> dropbox_;
    std::unique_ptr<testing::FakeCloudKitServer> cloudKit_;
    std::shared_ptr<InMemoryCloudKitContainer> container_;
    std::map<std::string, Computer> computers_;
};

}  // namespace ravelong::sync_testing
