#include <gtest/gtest.h>

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QMenu>
#include <QPalette>

#include "PrivateBus.h"
#include "ui/ClockIcon.h"
#include "ui/DBusMenuExporter.h"
#include "ui/StatusNotifierItem.h"
#include "ui/TrayItem.h"
#include "ui/UiTestSupport.h"

namespace ravelong {
namespace {

using ui_testing::PrivateBus;
using ui_testing::runFor;
using ui_testing::runUntil;

// The watcher side of a panel: records which items registered.
class FakeWatcher final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")

public:
    QStringList registered;

public slots:
    void RegisterStatusNotifierItem(const QString& service) { registered.append(service); }
};

// Counts the signals an item sends.
class SignalCounter final : public QObject {
    Q_OBJECT

public:
    int newIcon = 0;
    int newToolTip = 0;
    QStringList labels;

public slots:
    void onNewIcon() { ++newIcon; }
    void onNewToolTip() { ++newToolTip; }
    void onNewLabel(const QString& label, const QString&) { labels.append(label); }
};

QVariant property(QDBusConnection& bus, const QString& service, const QString& name) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        service, QStringLiteral("/StatusNotifierItem"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    call << QStringLiteral("org.kde.StatusNotifierItem") << name;
    const QDBusMessage reply = bus.call(call, QDBus::BlockWithGui, 3000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return reply.arguments().front().value<QDBusVariant>().variant();
}

class StatusNotifierItemOnBus : public ::testing::Test {
protected:
    void SetUp() override {
        if (!bus.isUp())
            GTEST_SKIP() << "dbus-daemon did not start";
        panel = bus.connect(QStringLiteral("panel"));
        ASSERT_TRUE(panel.isConnected());
        app = bus.connect(QStringLiteral("app"));
        ASSERT_TRUE(app.isConnected());
        registerStatusNotifierTypes();
    }
    void startWatcher() {
        ASSERT_TRUE(panel.registerService(QStringLiteral("org.kde.StatusNotifierWatcher")));
        ASSERT_TRUE(panel.registerObject(QStringLiteral("/StatusNotifierWatcher"), &watcher,
                                         QDBusConnection::ExportAllSlots));
    }

    PrivateBus bus;
    QDBusConnection panel{QString()};
    QDBusConnection app{QString()};
    FakeWatcher watcher;
};

TEST_F(StatusNotifierItemOnBus, WithoutAWatcherTheItemSaysSo) {
    EXPECT_FALSE(StatusNotifierItem::watcherAvailable(app));
    StatusNotifierItem item(app, QStringLiteral("ravelong"));
    EXPECT_FALSE(item.registerItem());
    EXPECT_FALSE(item.errorString().isEmpty());
}

TEST_F(StatusNotifierItemOnBus, RegistersAndShowsItsPropertiesToTheHost) {
    startWatcher();
    ASSERT_TRUE(StatusNotifierItem::watcherAvailable(app));
    StatusNotifierItem item(app, QStringLiteral("ravelong"));
    item.setTitle(QStringLiteral("Ravelong"));
    item.setIcon({clockImage(ClockIconLook{true, false, {}}, 22)});
    item.setToolTip(QStringLiteral("Design"), QStringLiteral("Today: 1h 5m"));
    item.setLabel(QStringLiteral("Design 1h 5m"), QStringLiteral("Design 1h 5m"));
    ASSERT_TRUE(item.registerItem()) << item.errorString().toStdString();
    ASSERT_TRUE(runUntil([&] { return !watcher.registered.isEmpty(); }));
    const QString service = watcher.registered.front();
    EXPECT_EQ(service, item.serviceName());

    EXPECT_EQ(property(panel, service, QStringLiteral("Id")).toString(), "ravelong");
    EXPECT_EQ(property(panel, service, QStringLiteral("Category")).toString(), "ApplicationStatus");
    EXPECT_EQ(property(panel, service, QStringLiteral("Title")).toString(), "Ravelong");
    EXPECT_EQ(property(panel, service, QStringLiteral("Status")).toString(), "Active");
    EXPECT_EQ(property(panel, service, QStringLiteral("ItemIsMenu")).toBool(), false);
    EXPECT_EQ(property(panel, service, QStringLiteral("XAyatanaLabel")).toString(), "Design 1h 5m");

    const QVariant pixmaps = property(panel, service, QStringLiteral("IconPixmap"));
    SniPixmapList list;
    pixmaps.value<QDBusArgument>() >> list;
    ASSERT_EQ(list.size(), 1);
    EXPECT_EQ(list[0].width, 22);
    EXPECT_EQ(list[0].bytes.size(), 22 * 22 * 4);
    // The face is drawn: some pixel is not transparent.
    const QImage image = list[0].toImage();
    bool drawn = false;
    for (int y = 0; y < image.height() && !drawn; ++y)
        for (int x = 0; x < image.width() && !drawn; ++x)
            drawn = qAlpha(image.pixel(x, y)) > 0;
    EXPECT_TRUE(drawn);

    SniToolTip tip;
    property(panel, service, QStringLiteral("ToolTip")).value<QDBusArgument>() >> tip;
    EXPECT_EQ(tip.title, "Design");
    EXPECT_EQ(tip.text, "Today: 1h 5m");
}

TEST_F(StatusNotifierItemOnBus, SignalsChangesOfIconLabelAndToolTipOnly) {
    startWatcher();
    StatusNotifierItem item(app, QStringLiteral("ravelong"));
    item.setIcon({clockImage(ClockIconLook{true, false, {}}, 22)});
    ASSERT_TRUE(item.registerItem());
    ASSERT_TRUE(runUntil([&] { return !watcher.registered.isEmpty(); }));
    SignalCounter counter;
    const QString service = item.serviceName();
    const QString path = QStringLiteral("/StatusNotifierItem");
    const QString iface = QStringLiteral("org.kde.StatusNotifierItem");
    ASSERT_TRUE(panel.connect(service, path, iface, QStringLiteral("NewIcon"), &counter,
                              SLOT(onNewIcon())));
    ASSERT_TRUE(panel.connect(service, path, iface, QStringLiteral("NewToolTip"), &counter,
                              SLOT(onNewToolTip())));
    ASSERT_TRUE(panel.connect(service, path, iface, QStringLiteral("XAyatanaNewLabel"), &counter,
                              SLOT(onNewLabel(QString, QString))));

    // Same look again: nothing; a badge: a new icon.
    item.setIcon({clockImage(ClockIconLook{true, false, {}}, 22)});
    item.setIcon({clockImage(ClockIconLook{true, false, QStringLiteral("2")}, 22)});
    item.setLabel(QStringLiteral("Write 0h 5m"), {});
    item.setLabel(QStringLiteral("Write 0h 5m"), {});
    item.setToolTip(QStringLiteral("Write"), {});
    ASSERT_TRUE(runUntil([&] {
        return counter.newIcon > 0 && !counter.labels.isEmpty() && counter.newToolTip > 0;
    }));
    runFor(100);
    EXPECT_EQ(counter.newIcon, 1);
    EXPECT_EQ(counter.newToolTip, 1);
    EXPECT_EQ(counter.labels, QStringList{QStringLiteral("Write 0h 5m")});
}

TEST_F(StatusNotifierItemOnBus, HostCallsBecomeSignals) {
    startWatcher();
    StatusNotifierItem item(app, QStringLiteral("ravelong"));
    ASSERT_TRUE(item.registerItem());
    QList<QPoint> menus;
    QList<QPoint> clicks;
    QList<int> scrolls;
    QObject::connect(&item, &StatusNotifierItem::contextMenuRequested,
                     [&](QPoint p) { menus.append(p); });
    QObject::connect(&item, &StatusNotifierItem::activated, [&](QPoint p) { clicks.append(p); });
    QObject::connect(&item, &StatusNotifierItem::scrolled,
                     [&](int delta, Qt::Orientation) { scrolls.append(delta); });
    auto call = [&](const QString& method, const QVariantList& arguments) {
        QDBusMessage message = QDBusMessage::createMethodCall(
            item.serviceName(), QStringLiteral("/StatusNotifierItem"),
            QStringLiteral("org.kde.StatusNotifierItem"), method);
        message.setArguments(arguments);
        return panel.asyncCall(message);
    };
    call(QStringLiteral("ContextMenu"), {10, 20});
    call(QStringLiteral("Activate"), {30, 40});
    call(QStringLiteral("Scroll"), {3, QStringLiteral("vertical")});
    call(QStringLiteral("Scroll"), {3, QStringLiteral("sideways")});  // ignored
    ASSERT_TRUE(
        runUntil([&] { return !menus.isEmpty() && !clicks.isEmpty() && !scrolls.isEmpty(); }));
    runFor(100);
    EXPECT_EQ(menus, QList<QPoint>{QPoint(10, 20)});
    EXPECT_EQ(clicks, QList<QPoint>{QPoint(30, 40)});
    EXPECT_EQ(scrolls, QList<int>{3});
}

TEST_F(StatusNotifierItemOnBus, TrayItemShowsTheDisplayAndPopsUpItsMenu) {
    startWatcher();
    QMenu menu;
    menu.addAction(QStringLiteral("Quit Ravelong"));
    TrayItem tray(&menu, app);
    ASSERT_TRUE(tray.usesStatusNotifierItem());
    int clicks = 0;
    QObject::connect(&tray, &TrayItem::clicked, [&] { ++clicks; });
    tray.show();
    ASSERT_TRUE(runUntil([&] { return !watcher.registered.isEmpty(); }));
    const QString service = watcher.registered.front();

    StatusItemDisplay display;
    display.taskName = display.currentTaskName = "Design";
    display.timeText = "1h 5m";
    display.totalLine = "Today: 1h 5m";
    display.badgeText = "3";
    display.runningLine = "3 timers running";
    display.running = true;
    tray.setDisplay(display);
    EXPECT_EQ(property(panel, service, QStringLiteral("XAyatanaLabel")).toString(), "Design 1h 5m");
    SniToolTip tip;
    property(panel, service, QStringLiteral("ToolTip")).value<QDBusArgument>() >> tip;
    EXPECT_EQ(tip.title, "Design");
    EXPECT_EQ(tip.text, "Today: 1h 5m\n3 timers running");

    EXPECT_EQ(property(panel, service, QStringLiteral("Title")).toString(), "Ravelong");
    // Every usual size; the badge is drawn into the icon.
    auto icons = [&] {
        SniPixmapList list;
        property(panel, service, QStringLiteral("IconPixmap")).value<QDBusArgument>() >> list;
        return list;
    };
    const SniPixmapList badged = icons();
    ASSERT_EQ(badged.size(), 5);
    EXPECT_EQ(badged[0].width, 16);
    EXPECT_EQ(badged[4].width, 48);

    // Names hidden in the label: the tool tip still names the task.
    display.taskName.clear();
    display.badgeText.clear();
    tray.setDisplay(display);
    const SniPixmapList plain = icons();
    ASSERT_EQ(plain.size(), 5);
    EXPECT_NE(plain[4].bytes, badged[4].bytes) << "the badge went away";
    EXPECT_EQ(property(panel, service, QStringLiteral("XAyatanaLabel")).toString(), "1h 5m");
    property(panel, service, QStringLiteral("ToolTip")).value<QDBusArgument>() >> tip;
    EXPECT_EQ(tip.title, "Design");

    auto call = [&](const QString& method) {
        QDBusMessage message =
            QDBusMessage::createMethodCall(service, QStringLiteral("/StatusNotifierItem"),
                                           QStringLiteral("org.kde.StatusNotifierItem"), method);
        message.setArguments({40, 2});
        panel.asyncCall(message);
    };
    call(QStringLiteral("ContextMenu"));
    EXPECT_TRUE(runUntil([&] { return menu.isVisible(); }));
    menu.hide();
    call(QStringLiteral("Activate"));
    EXPECT_TRUE(runUntil([&] { return clicks == 1; }));
    EXPECT_EQ(tray.geometry().topLeft(), QPoint(40, 2)) << "the panel opens where the click was";
}

TEST_F(StatusNotifierItemOnBus, TrayIconFollowsTheDesktopsColourScheme) {
    startWatcher();
    QMenu menu;
    TrayItem tray(&menu, app);
    ASSERT_TRUE(tray.usesStatusNotifierItem());
    const QPalette original = QApplication::palette();
    QPalette light = original;
    light.setColor(QPalette::Window, Qt::white);
    QApplication::setPalette(light);
    runFor(50);
    const SniPixmapList onLight = tray.statusNotifierItem()->iconPixmaps();
    QPalette dark = original;
    dark.setColor(QPalette::Window, QColor(0x20, 0x20, 0x20));
    QApplication::setPalette(dark);
    runFor(50);
    const SniPixmapList onDark = tray.statusNotifierItem()->iconPixmaps();
    QApplication::setPalette(original);
    ASSERT_FALSE(onLight.isEmpty());
    ASSERT_EQ(onLight.size(), onDark.size());
    EXPECT_NE(onLight[0].bytes, onDark[0].bytes) << "light ink on a dark panel";
}

TEST_F(StatusNotifierItemOnBus, TrayItemWithoutAWatcherIsAnXEmbedIcon) {
    QMenu menu;
    TrayItem tray(&menu, app);
    EXPECT_FALSE(tray.usesStatusNotifierItem());
}

TEST_F(StatusNotifierItemOnBus, MenuIsExportedForHostsThatDrawItThemselves) {
    QMenu menu;
    int reads = 0;
    QObject::connect(menu.addAction(QStringLiteral("Read && Review\t2")), &QAction::triggered,
                     [&] { ++reads; });
    menu.addSeparator();
    QMenu* assign = menu.addMenu(QStringLiteral("Assign to Task"));
    QObject::connect(assign, &QMenu::aboutToShow, [assign] {
        assign->clear();
        assign->addAction(QStringLiteral("Admin"));
    });
    menu.addAction(QStringLiteral("Undo"))->setEnabled(false);
    DBusMenuExporter exporter(app, &menu);
    ASSERT_TRUE(exporter.exportMenu());
    const QString service = app.baseService();

    auto call = [&](const QString& method, const QVariantList& arguments) {
        QDBusMessage message = QDBusMessage::createMethodCall(
            service, QStringLiteral("/MenuBar"), QStringLiteral("com.canonical.dbusmenu"), method);
        message.setArguments(arguments);
        return panel.call(message, QDBus::BlockWithGui, 3000);
    };
    auto layoutOf = [&](int id) {
        const QDBusMessage reply = call(QStringLiteral("GetLayout"), {id, -1, QStringList()});
        DBusMenuLayoutItem layout;
        if (reply.arguments().size() == 2)
            reply.arguments()[1].value<QDBusArgument>() >> layout;
        return layout;
    };

    const DBusMenuLayoutItem root = layoutOf(0);
    ASSERT_EQ(root.children.size(), 4);
    EXPECT_EQ(root.children[0].properties.value("label").toString(), "Read & Review");
    EXPECT_EQ(root.children[1].properties.value("type").toString(), "separator");
    EXPECT_EQ(root.children[2].properties.value("children-display").toString(), "submenu");
    EXPECT_EQ(root.children[3].properties.value("enabled"), QVariant(false));

    const int assignId = root.children[2].id;
    const QDBusMessage shown = call(QStringLiteral("AboutToShow"), {assignId});
    ASSERT_EQ(shown.arguments().size(), 1);
    EXPECT_TRUE(shown.arguments()[0].toBool()) << "the submenu filled itself";
    const DBusMenuLayoutItem filled = layoutOf(assignId);
    ASSERT_EQ(filled.children.size(), 1);
    EXPECT_EQ(filled.children[0].properties.value("label").toString(), "Admin");
    EXPECT_EQ(layoutOf(0).children[0].id, root.children[0].id) << "ids stay put";

    call(QStringLiteral("Event"), {root.children[0].id, QStringLiteral("clicked"),
                                   QVariant::fromValue(QDBusVariant(0)), 0u});
    EXPECT_EQ(reads, 1);
    // A disabled item and an unknown id do nothing.
    call(QStringLiteral("Event"), {root.children[3].id, QStringLiteral("clicked"),
                                   QVariant::fromValue(QDBusVariant(0)), 0u});
    call(QStringLiteral("Event"),
         {9999, QStringLiteral("clicked"), QVariant::fromValue(QDBusVariant(0)), 0u});
    EXPECT_EQ(reads, 1);
}

TEST(SniPixmap, RoundTripsThroughTheWireFormatInNetworkByteOrder) {
    QImage image(2, 1, QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgba(0x11, 0x22, 0x33, 0xff));
    image.setPixel(1, 0, qRgba(0x44, 0x55, 0x66, 0x80));
    const SniPixmap pixmap = SniPixmap::fromImage(image);
    ASSERT_EQ(pixmap.bytes.size(), 8);
    EXPECT_EQ(pixmap.bytes.left(4), QByteArray::fromHex("ff112233"));  // A R G B
    EXPECT_EQ(pixmap.toImage(), image);
    SniPixmap broken = pixmap;
    broken.bytes.chop(1);
    EXPECT_TRUE(broken.toImage().isNull());
}

}  // namespace
}  // namespace ravelong

#include "StatusNotifierItemTest.moc"
