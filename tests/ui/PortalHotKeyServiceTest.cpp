#include <gtest/gtest.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QTimer>

#include "PrivateBus.h"
#include "UiTestSupport.h"
#include "ui/PortalHotKeyService.h"

namespace portal_testing {

// A shortcut as the portal's messages carry it: (sa{sv}).
struct Shortcut {
    QString identifier;
    QVariantMap properties;
};

inline QDBusArgument& operator<<(QDBusArgument& argument, const Shortcut& shortcut) {
    argument.beginStructure();
    argument << shortcut.identifier << shortcut.properties;
    argument.endStructure();
    return argument;
}

inline const QDBusArgument& operator>>(const QDBusArgument& argument, Shortcut& shortcut) {
    argument.beginStructure();
    argument >> shortcut.identifier >> shortcut.properties;
    argument.endStructure();
    return argument;
}

}  // namespace portal_testing

Q_DECLARE_METATYPE(portal_testing::Shortcut)

namespace ravelong {
namespace {

using portal_testing::Shortcut;
using ui_testing::PrivateBus;
using ui_testing::runFor;
using ui_testing::runUntil;
using Combination = HotKeyCombination;

class FakeShortcutPortal;

// A session object of the fake portal; records its closing.
class FakeSession final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Session")

public:
    FakeSession(QStringList& closed, QString path, QObject* parent)
        : QObject(parent), closed_(closed), path_(std::move(path)) {}

public slots:
    void Close() { closed_ << path_; }

private:
    QStringList& closed_;
    QString path_;
};

// The portal's side: sessions, bindings, and the Response signal of each request. A binding is
// answered with each shortcut's preferred trigger as the trigger the desktop chose.
class FakeShortcutPortal final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.GlobalShortcuts")
    Q_PROPERTY(uint version READ version)

public:
    explicit FakeShortcutPortal(QDBusConnection bus) : bus_(std::move(bus)) {}
    uint version() const { return 1; }

    int sessions = 0;
    QStringList closed;
    QString lastSession;
    std::vector<std::map<QString, QString>> bindings;  // identifier -> preferred trigger
    uint bindAnswer = 0;                               // 1: the user cancelled

    void activate(const QString& identifier, const QString& session) {
        QDBusMessage signal = QDBusMessage::createSignal(
            QStringLiteral("/org/freedesktop/portal/desktop"),
            QStringLiteral("org.freedesktop.portal.GlobalShortcuts"), QStringLiteral("Activated"));
        signal << QVariant::fromValue(QDBusObjectPath(session)) << identifier
               << QVariant::fromValue(qulonglong(1)) << QVariantMap();
        bus_.send(signal);
    }

public slots:
    QDBusObjectPath CreateSession(const QVariantMap& options) {
        ++sessions;
        lastSession = QStringLiteral("/org/freedesktop/portal/desktop/session/") + sender() +
                      QLatin1Char('/') +
                      options.value(QStringLiteral("session_handle_token")).toString();
        bus_.registerObject(lastSession, new FakeSession(closed, lastSession, this),
                            QDBusConnection::ExportAllSlots);
        const QString token = options.value(QStringLiteral("handle_token")).toString();
        respond(token, 0, {{QStringLiteral("session_handle"), lastSession}});
        return QDBusObjectPath(requestPath(token));
    }

    QDBusObjectPath BindShortcuts(const QDBusObjectPath& session,
                                  const QList<portal_testing::Shortcut>& shortcuts, const QString&,
                                  const QVariantMap& options) {
        if (session.path() != lastSession)
            ADD_FAILURE() << "bound to an old session";
        std::map<QString, QString> bound;
        QList<Shortcut> chosen;
        for (const Shortcut& shortcut : shortcuts) {
            const QString trigger =
                shortcut.properties.value(QStringLiteral("preferred_trigger")).toString();
            bound[shortcut.identifier] = trigger;
            chosen.push_back(
                Shortcut{shortcut.identifier, {{QStringLiteral("trigger_description"), trigger}}});
        }
        bindings.push_back(bound);
        const QString token = options.value(QStringLiteral("handle_token")).toString();
        respond(token, bindAnswer, {{QStringLiteral("shortcuts"), QVariant::fromValue(chosen)}});
        return QDBusObjectPath(requestPath(token));
    }

private:
    QString sender() const {
        QString name = message().service();
        name.remove(0, 1);
        name.replace(QLatin1Char('.'), QLatin1Char('_'));
        return name;
    }
    QString requestPath(const QString& token) const {
        return QStringLiteral("/org/freedesktop/portal/desktop/request/") + sender() +
               QLatin1Char('/') + token;
    }
    // The answer comes as a signal after the call returned, as the real portal sends it.
    void respond(const QString& token, uint response, const QVariantMap& results) {
        const QString path = requestPath(token);
        QTimer::singleShot(10, this, [this, path, response, results] {
            QDBusMessage signal = QDBusMessage::createSignal(
                path, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
            signal << response << results;
            bus_.send(signal);
        });
    }

    QDBusConnection bus_;
};

class PortalHotKeyServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!bus.isUp())
            GTEST_SKIP() << "dbus-daemon did not start";
        qDBusRegisterMetaType<Shortcut>();
        qDBusRegisterMetaType<QList<Shortcut>>();
        desktop = bus.connect(QStringLiteral("portal"));
        portal = std::make_unique<FakeShortcutPortal>(desktop);
        ASSERT_TRUE(desktop.registerObject(
            QStringLiteral("/org/freedesktop/portal/desktop"), portal.get(),
            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties));
        ASSERT_TRUE(desktop.registerService(QStringLiteral("org.freedesktop.portal.Desktop")));
    }

    PrivateBus bus;
    QDBusConnection desktop{QString()};
    std::unique_ptr<FakeShortcutPortal> portal;
};

TEST_F(PortalHotKeyServiceTest, BindsTheWholeSetInAFreshSessionAndDeliversActivations) {
    PortalHotKeyService service(bus.connect(QStringLiteral("program")));
    ASSERT_TRUE(runUntil([&] { return service.hasProbed(); }, 5000));
    ASSERT_TRUE(service.isAvailable());
    std::vector<std::string> pressed;
    service.setActivationHandler([&](const std::string& id) { pressed.push_back(id); });

    // Two changes in one pass are bound together.
    ASSERT_TRUE(service
                    .registerHotKey("ToggleTimer",
                                    Combination{0x74, Combination::kControl | Combination::kAlt})
                    .ok());
    ASSERT_TRUE(service.registerHotKey("AddNote", Combination{0xffc2, Combination::kSuper}).ok());
    ASSERT_TRUE(runUntil([&] { return service.isBound(); }, 5000));
    ASSERT_EQ(portal->bindings.size(), 1u);
    EXPECT_EQ(portal->bindings[0],
              (std::map<QString, QString>{
                  {QStringLiteral("AddNote"), QStringLiteral("LOGO+F5")},
                  {QStringLiteral("ToggleTimer"), QStringLiteral("CTRL+ALT+t")}}));
    EXPECT_EQ(service.triggerDescription("ToggleTimer"), "CTRL+ALT+t");

    const QString first = portal->lastSession;
    portal->activate(QStringLiteral("ToggleTimer"), first);
    ASSERT_TRUE(runUntil([&] { return !pressed.empty(); }, 3000));
    EXPECT_EQ(pressed, std::vector<std::string>{"ToggleTimer"});

    // Clearing one rebinds the rest in a new session and closes the old one; the old session's
    // activations no longer count.
    service.unregisterHotKey("ToggleTimer");
    ASSERT_TRUE(runUntil([&] { return service.isBound(); }, 5000));
    EXPECT_EQ(portal->sessions, 2);
    EXPECT_TRUE(runUntil([&] { return portal->closed.contains(first); }, 3000));
    EXPECT_EQ(portal->bindings.back(),
              (std::map<QString, QString>{{QStringLiteral("AddNote"), QStringLiteral("LOGO+F5")}}));
    pressed.clear();
    portal->activate(QStringLiteral("ToggleTimer"), first);
    portal->activate(QStringLiteral("AddNote"), portal->lastSession);
    ASSERT_TRUE(runUntil([&] { return !pressed.empty(); }, 3000));
    runFor(50);
    EXPECT_EQ(pressed, std::vector<std::string>{"AddNote"});
}

TEST_F(PortalHotKeyServiceTest, ACancelledBindingIsReportedAndNothingIsBound) {
    portal->bindAnswer = 1;
    PortalHotKeyService service(bus.connect(QStringLiteral("program")));
    ASSERT_TRUE(service.registerHotKey("AddNote", Combination{0x6e, Combination::kControl}).ok());
    ASSERT_TRUE(runUntil([&] { return !service.lastError().empty(); }, 5000));
    EXPECT_FALSE(service.isBound());
    EXPECT_EQ(service.triggerDescription("AddNote"), "");
}

TEST(PortalHotKeyService, IsUnavailableWithoutThePortal) {
    PrivateBus bus;
    if (!bus.isUp())
        GTEST_SKIP() << "dbus-daemon did not start";
    PortalHotKeyService service(bus.connect(QStringLiteral("alone")));
    ASSERT_TRUE(runUntil([&] { return service.hasProbed(); }, 5000));
    EXPECT_FALSE(service.isAvailable());
    EXPECT_FALSE(service.registerHotKey("AddNote", Combination{0x6e, Combination::kControl}).ok());
}

}  // namespace
}  // namespace ravelong

#include "PortalHotKeyServiceTest.moc"
