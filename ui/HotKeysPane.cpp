#include "ui/HotKeysPane.h"

#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "ui/IdleUiTexts.h"
#include "ui/QtText.h"
#include "ui/ShortcutRecorder.h"

namespace ravelong {

namespace {

// Titles of the five shortcuts, in the order of kHotKeyDefinitions.
constexpr std::array<const char*, 5> kTitles = {
    "Toggle timer:",
    "Add note:",
    "Show or hide the task list:",
    "",  // set from the note setting
    "Show recent tasks:",
};

}  // namespace

HotKeysPane::HotKeysPane(UserDefaults& defaults, AlertSound* sound, Options options,
                         QWidget* parent)
    : QWidget(parent), defaults_(defaults) {
    if (!options.registrationAvailable) {
        auto* layout = new QVBoxLayout(this);
        auto* text = new QLabel(qt(idle_ui_texts::kNoGlobalShortcuts), this);
        text->setObjectName(QStringLiteral("NoGlobalShortcuts"));
        text->setWordWrap(true);
        layout->addWidget(text);
        auto* commands = new QLabel(
            QStringLiteral("ravelong-cli hot-key toggle-timer\n"
                           "ravelong-cli hot-key add-note\n"
                           "ravelong-cli hot-key toggle-panel\n"
                           "ravelong-cli hot-key toggle-timer-and-add-note\n"
                           "ravelong-cli hot-key show-recent-tasks\n"
                           "ravelong-cli toggle TASK\nravelong-cli start TASK\nravelong-cli stop"),
            this);
        commands->setObjectName(QStringLiteral("ShortcutCommands"));
        commands->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout->addWidget(commands);
        layout->addStretch();
        return;
    }
    auto* form = new QFormLayout(this);
    for (std::size_t i = 0; i < recorders_.size(); ++i) {
        const HotKeyDefinition& definition = kHotKeyDefinitions[i];
        auto* recorder = new ShortcutRecorder(sound, this);
        recorder->setObjectName(qt(definition.defaultsKey));
        if (options.taken)
            recorder->setTakenCheck(options.taken);
        recorder->bindToDefaults(defaults, std::string(definition.defaultsKey));
        recorders_[i] = recorder;
        // A shortcut changed elsewhere (another window, a restored settings file) shows here.
        observers_.push_back(defaults_.addObserver(std::string(definition.defaultsKey),
                                                   [this, recorder](const std::string& key) {
                                                       if (!recorder->isRecording())
                                                           recorder->bindToDefaults(defaults_, key);
                                                   }));
        auto* label = new QLabel(QString::fromUtf8(kTitles[i]), this);
        if (definition.defaultsKey == "ZRToggleTimerAndAddNoteHotKey")
            toggleAndNoteLabel_ = label;
        form->addRow(label, recorder);
    }
}

HotKeysPane::~HotKeysPane() {
    for (UserDefaults::ObserverId id : observers_)
        defaults_.removeObserver(id);
}

void HotKeysPane::setToggleTimerHotKeyLabel(std::string_view label) {
    if (toggleAndNoteLabel_)
        toggleAndNoteLabel_->setText(qt(label));
}

ShortcutRecorder* HotKeysPane::recorder(std::string_view defaultsKey) const {
    for (std::size_t i = 0; i < recorders_.size(); ++i)
        if (kHotKeyDefinitions[i].defaultsKey == defaultsKey)
            return recorders_[i];
    return nullptr;
}

}  // namespace ravelong
