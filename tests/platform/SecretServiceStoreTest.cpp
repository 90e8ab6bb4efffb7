#include <gio/gio.h>
#include <gtest/gtest.h>
#include <libsecret/secret.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/SecretServiceStore.h"
#include "support/TestSupport.h"
#include "sync/SECloudFileSystem.h"

extern char** environ;

namespace ravelong {
namespace {

namespace fs = std::filesystem;

// A session bus of the test's own with a real keyring daemon on it: gnome-keyring's Secret
// Service with a login keyring made and unlocked by a password given on its standard input,
// all under a temporary home, so that nothing of the user's keyring is read or changed.
class PrivateKeyring {
public:
    PrivateKeyring() {
        for (const char* sub : {"data", "cache", "runtime"})
            fs::create_directories(home_ / sub);
        fs::permissions(home_ / "runtime", fs::perms::owner_all);
        std::vector<std::string> env = {
            "HOME=" + home_.path().string(),
            "XDG_DATA_HOME=" + (home_ / "data").string(),
            "XDG_CACHE_HOME=" + (home_ / "cache").string(),
            "XDG_RUNTIME_DIR=" + (home_ / "runtime").string(),
            "PATH=/usr/bin:/bin",
        };
        // No display: an unlock prompt fails at once instead of waiting for a click.
        // Both ends of each pipe are closed on exec; only the end handed over as the child's
        // standard input or output stays open in it, so the keyring sees the password end.
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0)
            return;
        bus_ = spawn({"dbus-daemon", "--session", "--nofork", "--print-address=1"}, env, -1,
                     out[1]);
        ::close(out[1]);
        char buffer[512] = {};
        ssize_t n = 0;
        std::string address;
        while ((n = ::read(out[0], buffer, sizeof buffer)) > 0) {
            address.append(buffer, static_cast<std::size_t>(n));
            if (address.find('\n') != std::string::npos)
                break;
        }
        ::close(out[0]);
        if (address.find('\n') == std::string::npos)
            return;
        address_ = address.substr(0, address.find('\n'));
        env.push_back("DBUS_SESSION_BUS_ADDRESS=" + address_);
        int in[2];
        if (::pipe2(in, O_CLOEXEC) != 0)
            return;
        keyring_ = spawn({"gnome-keyring-daemon", "--unlock", "--foreground", "--components=secrets"},
                         env, in[0], -1);
        ::close(in[0]);
        const std::string password = "test-password";
        (void)!::write(in[1], password.data(), password.size());
        ::close(in[1]);
        up_ = keyring_ > 0 && waitForName("org.freedesktop.secrets");
        // libsecret finds the bus through the environment of this process.
        ::setenv("DBUS_SESSION_BUS_ADDRESS", address_.c_str(), 1);
    }
    ~PrivateKeyring() {
        for (pid_t pid : {keyring_, bus_})
            if (pid > 0) {
                ::kill(pid, SIGTERM);
                ::waitpid(pid, nullptr, 0);
            }
    }

    bool isUp() const { return up_; }

private:
    static pid_t spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                       int stdinFd, int stdoutFd) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (stdinFd >= 0)
            posix_spawn_file_actions_adddup2(&actions, stdinFd, STDIN_FILENO);
        if (stdoutFd >= 0)
            posix_spawn_file_actions_adddup2(&actions, stdoutFd, STDOUT_FILENO);
        std::vector<char*> args, envp;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        for (const auto& e : env)
            envp.push_back(const_cast<char*>(e.c_str()));
        envp.push_back(nullptr);
        pid_t pid = -1;
        if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data()) != 0)
            pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    }

    // The keyring claims its name once the login keyring is open; asking before would start a
    // second daemon through bus activation, one with a locked keyring.
    bool waitForName(const char* name) const {
        GError* error = nullptr;
        GDBusConnection* connection = g_dbus_connection_new_for_address_sync(
            address_.c_str(),
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, &error);
        if (!connection) {
            g_clear_error(&error);
            return false;
        }
        bool owned = false;
        for (int i = 0; i < 200 && !owned; ++i) {
            GVariant* reply = g_dbus_connection_call_sync(
                connection, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                "org.freedesktop.DBus", "NameHasOwner", g_variant_new("(s)", name),
                G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE, 1000, nullptr, nullptr);
            if (reply) {
                gboolean has = FALSE;
                g_variant_get(reply, "(b)", &has);
                g_variant_unref(reply);
                owned = has;
            }
            if (!owned)
                std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        g_object_unref(connection);
        return owned;
    }

    testing::TemporaryDirectory home_;
    std::string address_;
    pid_t bus_ = -1;
    pid_t keyring_ = -1;
    bool up_ = false;
};

// Looks an item up as any libsecret client would, by the schema and attribute the program uses.
std::optional<std::string> lookUp(const char* schemaName, const std::string& service) {
    const SecretSchema schema = {schemaName,
                                 SECRET_SCHEMA_NONE,
                                 {{"service", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                  {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
                                 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
    gchar* secret =
        secret_password_lookup_sync(&schema, nullptr, nullptr, "service", service.c_str(), nullptr);
    if (!secret)
        return std::nullopt;
    std::string value = secret;
    secret_password_free(secret);
    return value;
}

std::size_t itemsFor(const std::string& service) {
    GHashTable* attributes = g_hash_table_new(g_str_hash, g_str_equal);
    g_hash_table_insert(attributes, const_cast<char*>("service"), const_cast<char*>(service.c_str()));
    GList* items = secret_service_search_sync(nullptr, nullptr, attributes,
                                              SECRET_SEARCH_ALL, nullptr, nullptr);
    g_hash_table_unref(attributes);
    const std::size_t count = g_list_length(items);
    g_list_free_full(items, g_object_unref);
    return count;
}

class SecretServiceStoreTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { keyring_ = new PrivateKeyring; }
    static void TearDownTestSuite() {
        delete keyring_;
        keyring_ = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(keyring_->isUp())
            << "no keyring daemon on a private bus: scripts/setup installs gnome-keyring";
    }
    static PrivateKeyring* keyring_;
};

PrivateKeyring* SecretServiceStoreTest::keyring_ = nullptr;

TEST_F(SecretServiceStoreTest, TheDropboxSignInIsNamedAfterTheProgram) {
    EXPECT_EQ(SecretServiceStore::dropboxServiceName(), "io.github.ravelong.Ravelong.dropbox.authv2");
    SecretServiceStore store(SecretServiceStore::dropboxServiceName(), "Ravelong: Dropbox");
    ASSERT_TRUE(store.save("{\"access_token\":\"t\"}").ok());
    EXPECT_EQ(lookUp("io.github.ravelong.Ravelong", SecretServiceStore::dropboxServiceName()),
                 "{\"access_token\":\"t\"}");
    // Another program's item under the same attribute is not ours, and ours is not its.
    EXPECT_EQ(lookUp("org.example.Other", SecretServiceStore::dropboxServiceName()), std::nullopt);
    ASSERT_TRUE(store.erase().ok());
}

TEST_F(SecretServiceStoreTest, SecretsOutliveTheObjectAndAreReplacedAndRemovedWhole) {
    struct Step {
        const char* what;
        std::optional<std::string> save;  // nullopt: erase
        std::optional<std::string> expected;
        std::size_t items;
    } steps[] = {
        {"first sign-in", "first", "first", 1},
        {"a refreshed token replaces it", "second", "second", 1},
        {"text that is not plain ASCII", "jeton \xc3\xa9t\xc3\xa9 \xe2\x82\xac", "jeton \xc3\xa9t\xc3\xa9 \xe2\x82\xac", 1},
        {"unlinking removes it", std::nullopt, std::nullopt, 0},
        {"unlinking twice is no failure", std::nullopt, std::nullopt, 0},
        {"a later sign-in", "third", "third", 1},
    };
    const std::string service = "io.github.ravelong.Ravelong.test.lifecycle";
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        {
            SecretServiceStore writer(service, "test");
            Status status = step.save ? writer.save(*step.save) : writer.erase();
            ASSERT_TRUE(status.ok()) << status.error().description;
            EXPECT_EQ(writer.load(), step.expected);
        }
        // A new object (the next run of the program) asks the keyring itself.
        SecretServiceStore reader(service, "test");
        auto read = reader.read();
        ASSERT_TRUE(read.ok()) << read.error().description;
        EXPECT_EQ(read.value(), step.expected);
        EXPECT_EQ(itemsFor(service), step.items);
    }
}

TEST_F(SecretServiceStoreTest, ServicesAreKeptApart) {
    SecretServiceStore a("io.github.ravelong.Ravelong.test.a", "a");
    SecretServiceStore b("io.github.ravelong.Ravelong.test.b", "b");
    ASSERT_TRUE(a.save("for a").ok());
    EXPECT_EQ(b.load(), std::nullopt);
    ASSERT_TRUE(b.save("for b").ok());
    ASSERT_TRUE(a.erase().ok());
    EXPECT_EQ(SecretServiceStore("io.github.ravelong.Ravelong.test.a", "a").load(), std::nullopt);
    EXPECT_EQ(SecretServiceStore("io.github.ravelong.Ravelong.test.b", "b").load(), "for b");
}

TEST_F(SecretServiceStoreTest, ALockedKeyringRefusesWithAClearError) {
    SecretServiceStore store("io.github.ravelong.Ravelong.test.locked", "locked");
    ASSERT_TRUE(store.save("kept").ok());
    SecretService* service = secret_service_get_sync(SECRET_SERVICE_LOAD_COLLECTIONS, nullptr, nullptr);
    ASSERT_NE(service, nullptr);
    GList* collections = secret_service_get_collections(service);
    ASSERT_NE(collections, nullptr);
    const gint locked = secret_service_lock_sync(service, collections, nullptr, nullptr, nullptr);
    g_list_free_full(collections, g_object_unref);
    g_object_unref(service);
    ASSERT_GT(locked, 0);

    // Unlocking needs the user, and there is nobody to ask here.
    Status refused = SecretServiceStore("io.github.ravelong.Ravelong.test.locked", "locked").save("new");
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().code, kSEErrorAuthorization);
    EXPECT_NE(refused.error().description.find("keyring"), std::string::npos);
}

}  // namespace
}  // namespace ravelong
