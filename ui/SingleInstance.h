#pragma once

#include <QObject>

namespace ravelong {

// One running program per user and session: the first start owns the session-bus name
// "app.ravelong.Ravelong" and exports an object with Activate() at "/app/ravelong/Ravelong";
// a later start finds the name taken, calls Activate on the running program (which brings its
// panel or window forward) and ends. Without a session bus every start runs on its own.
// Main thread only.
class SingleInstance final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "app.ravelong.Ravelong")

public:
    enum class Role {
        primary,        // this process owns the name, or there is no bus: run
        secondary,      // another process owns it and was asked to come forward: end
        activateFailed  // another process owns it but did not answer: end, with a message
    };

    explicit SingleInstance(QObject* parent = nullptr);
    ~SingleInstance() override;

    // Claims the name, or hands over to the owner.
    Role claim();

public slots:
    // Called over the bus by a later start.
    Q_SCRIPTABLE void Activate();

signals:
    void activateRequested();

private:
    bool registered_ = false;
};

}  // namespace ravelong
