#include "ui/AddNotePanelWindow.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QVBoxLayout>

#include "core/model/ZRCDTiming.h"
#include "ui/IdleUiTexts.h"
#include "ui/QtText.h"

namespace ravelong {

namespace {

constexpr int kListWidth = 320;
constexpr int kListFontPoints = 11;

}  // namespace

AddNotePanelWindow::AddNotePanelWindow(ApplicationDelegate& delegate, UserDefaults& defaults,
                                       PanelAnchor anchor, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      controller_(std::make_unique<AddNotePanelController>(delegate, defaults, *this)),
      anchor_(std::move(anchor)),
      timings_(new QComboBox(this)),
      note_(new QLineEdit(this)) {
    setObjectName(QStringLiteral("addNotePanel"));
    QFont listFont = timings_->font();
    listFont.setPointSize(kListFontPoints);
    timings_->setFont(listFont);
    timings_->setFixedWidth(kListWidth);
    note_->setPlaceholderText(qt(idle_ui_texts::kNotePlaceholder));
    note_->setMinimumWidth(kListWidth);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(timings_);
    layout->addWidget(note_);
    connect(timings_, &QComboBox::activated, this, [this](int index) {
        if (filling_ || index < 0)
            return;
        commit();
        controller_->selectEntry(static_cast<std::size_t>(index));
        showNoteOfChosenTiming();
    });
    connect(note_, &QLineEdit::editingFinished, this, [this] {
        if (!filling_)
            commit();
    });
}

AddNotePanelWindow::~AddNotePanelWindow() = default;

void AddNotePanelWindow::bringPanelToFront() {
    raise();
    activateWindow();
    note_->setFocus();
}

void AddNotePanelWindow::openPanel() {
    if (closeOthers_)
        closeOthers_();
    showBelowAnchor(*this, anchor_, true);
    note_->setFocus();
}

void AddNotePanelWindow::showTimingList(const std::vector<AddNoteListEntry>& entries,
                                        std::size_t selected) {
    filling_ = true;
    timings_->clear();
    const QFontMetrics metrics(timings_->font());
    for (const AddNoteListEntry& entry : entries) {
        const QString suffix = qt(entry.suffix);
        const int room = kListWidth - 40 - metrics.horizontalAdvance(suffix);
        const std::string name = shortenedTaskName(entry.nameComponents, [&](const std::string& t) {
            return metrics.horizontalAdvance(qt(t)) <= room;
        });
        timings_->addItem(qt(name) + suffix);
    }
    timings_->setCurrentIndex(static_cast<int>(selected));
    showNoteOfChosenTiming();
    filling_ = false;
}

void AddNotePanelWindow::showNoteOfChosenTiming() {
    const ZRCDTiming* timing = controller_->timing();
    note_->setText(timing && timing->note() ? qt(*timing->note()) : QString());
    note_->setEnabled(timing != nullptr);
}

bool AddNotePanelWindow::invertingInputHeld() const {
    const Qt::KeyboardModifiers keys = QGuiApplication::keyboardModifiers();
    return (keys & (Qt::AltModifier | Qt::ControlModifier)) ||
           (QGuiApplication::mouseButtons() & Qt::RightButton);
}

void AddNotePanelWindow::commit() {
    controller_->commitNote(note_->text().toStdString());
}

void AddNotePanelWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        commit();
        hide();
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        filling_ = true;  // leaving by Escape stores nothing
        hide();
        filling_ = false;
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace ravelong
